#include "ui/commfailure.h"

namespace qova::ui {

namespace {
const QString kWhereToFix = QStringLiteral("Choose the connection, or test it, in FILE > COMM.");
} // namespace

QString FailureDetail(const link::SessionFailure &failure)
{
    return QStringLiteral("%1: %2\n%3").arg(failure.device, failure.reason, kWhereToFix);
}

QString PortFailureDetail(const link::PortState &port)
{
    return FailureDetail(link::FailureOf(port));
}

QString NoAnswerDetail(const link::PortState &port)
{
    return QStringLiteral("%1 opened, but the analyser did not answer: check that it is switched on and its cable "
                          "is in.\n%2")
        .arg(link::FailureOf(port).device, kWhereToFix);
}

void TellSessionFailure(Operator &op, QWidget *parent, const link::SessionFailure &failure,
                        const SessionFailureBox &box)
{
    QString detail = FailureDetail(failure);
    if (!box.nextStep.isEmpty())
        detail += QLatin1Char('\n') + box.nextStep;
    op.message(parent, box.caption, box.text, box.icon, Buttons::Ok, detail);
}

} // namespace qova::ui
