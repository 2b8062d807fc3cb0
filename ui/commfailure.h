#pragma once

#include "link/serialport.h"
#include "result/result.h"
#include "ui/operator.h"

#include <QString>

class QWidget;

namespace qova::ui {

// What a "Communication failed try again" box says under its fixed text: the port's problem
// (the device, the system's reason, where the operator changes or tests the connection).
QString FailureDetail(const Problem &problem);
// The same for a port that opened but whose analyser did not answer.
QString NoAnswerDetail(const link::PortState &port);

// The box a window shows when the live session could not start. The live windows keep the
// fixed text; a window may say instead what could not happen, and what to do next.
struct SessionFailureBox {
    QString caption = QStringLiteral("QOVA");
    QString text = QStringLiteral("Communication failed try again");
    Icon icon = Icon::None;
    QString nextStep;
};
void TellSessionFailure(Operator &op, QWidget *parent, const Problem &problem, const SessionFailureBox &box = {});

} // namespace qova::ui
