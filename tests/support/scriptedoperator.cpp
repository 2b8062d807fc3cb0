#include "scriptedoperator.h"

namespace qova::test {

QStringList ScriptedOperator::texts() const
{
    QStringList out;
    for (const auto &s : shown_)
        out << s.text;
    return out;
}

ui::Answer ScriptedOperator::message(QWidget *, const QString &caption, const QString &text, ui::Icon icon,
                                     ui::Buttons buttons, const QString &detail)
{
    shown_.push_back({caption, text, icon, buttons, detail});
    if (onMessage)
        onMessage(shown_.back());
    if (!answers.empty()) {
        const ui::Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    return buttons == ui::Buttons::YesNo ? ui::Answer::No : ui::Answer::Ok;
}

QString ScriptedOperator::nextFile()
{
    ++fileDialogs_;
    if (files.empty())
        return {};
    QString f = files.front();
    files.pop_front();
    return f;
}

QString ScriptedOperator::openFileName(QWidget *, const ui::FileRequest &)
{
    return nextFile();
}

QString ScriptedOperator::saveFileName(QWidget *, const ui::FileRequest &)
{
    return nextFile();
}

} // namespace qova::test
