#include "ui/analyserprompt.h"

#include "ui/operator.h"

namespace qova::ui {

namespace {

Icon iconOf(link::PromptIcon icon)
{
    switch (icon) {
    case link::PromptIcon::Stop:
        return Icon::Stop;
    case link::PromptIcon::Information:
        return Icon::Information;
    case link::PromptIcon::Question:
        return Icon::Question;
    }
    return Icon::None;
}

} // namespace

void AskAnalyserPrompt(Operator &op, QWidget *parent, link::LiveSession &session, const link::Prompt &prompt)
{
    const bool yesNo = prompt.buttons == link::PromptButtons::YesNo;
    const Answer answer =
        op.message(parent, prompt.caption, prompt.text, iconOf(prompt.icon), yesNo ? Buttons::YesNo : Buttons::Ok);
    session.answer(!yesNo || answer == Answer::Yes);
}

} // namespace qova::ui
