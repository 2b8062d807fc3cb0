#include "ui/commfailure.h"

namespace qova::ui {

QString FailureDetail(const Problem &problem)
{
    // One line per part, as the box has always shown it.
    return QStringLiteral("%1: %2\n%3").arg(problem.what, problem.why, problem.fix);
}

QString NoAnswerDetail(const link::PortState &port)
{
    return QStringLiteral("%1 opened, but the analyser did not answer: check that it is switched on and its cable "
                          "is in.\n%2")
        .arg(link::ShownDeviceName(port), link::kConnectionFix);
}

void TellSessionFailure(Operator &op, QWidget *parent, const Problem &problem, const SessionFailureBox &box)
{
    QString detail = FailureDetail(problem);
    if (!box.nextStep.isEmpty())
        detail += QLatin1Char('\n') + box.nextStep;
    op.message(parent, box.caption, box.text, box.icon, Buttons::Ok, detail);
}

} // namespace qova::ui
