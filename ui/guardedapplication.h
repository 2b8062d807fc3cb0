#pragma once

#include "ui/operator.h"

#include <QApplication>

namespace qova::ui {

// The program's application object. An exception that leaves an event handler would
// otherwise end the program with the operator's work unsaved; here it ends only that
// handler: the operator is told what went wrong, and the event loop goes on. A one-line
// field entered from the keyboard selects its text (keyboardentry.h) in every window.
class GuardedApplication final : public QApplication {
    Q_OBJECT
public:
    GuardedApplication(int &argc, char **argv);

    // Where the error box goes: the real message boxes until a test puts its own here.
    // Not owned; it must outlive every event the application delivers.
    void setOperator(Operator *op) { op_ = op ? op : &boxes_; }

    bool notify(QObject *receiver, QEvent *event) override;

private:
    void tellOperator(const QString &what);

    WidgetOperator boxes_;
    Operator *op_ = &boxes_;
    bool telling_ = false;
};

} // namespace qova::ui
