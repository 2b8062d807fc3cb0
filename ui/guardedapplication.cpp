#include "ui/guardedapplication.h"

#include "ui/keyboardentry.h"

#include <QThread>
#include <exception>

namespace qova::ui {

GuardedApplication::GuardedApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    SelectTextOnKeyboardEntry(*this);
}

bool GuardedApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        tellOperator(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        tellOperator(QStringLiteral("an error of unknown kind"));
    }
    return false;
}

void GuardedApplication::tellOperator(const QString &what)
{
    const QString text = QStringLiteral("The last action stopped on an error: %1").arg(what);
    // The box runs an event loop of its own. A handler that throws again while it is open
    // (a paint that fails on every repaint) would stack boxes without end, and a box
    // belongs to the thread of the windows: in either case the error is only logged.
    if (telling_ || QThread::currentThread() != thread()) {
        qWarning("QOVA: %s", qPrintable(text));
        return;
    }
    telling_ = true;
    op_->message(activeWindow(), QStringLiteral("QOVA"), text, Icon::Stop, Buttons::Ok);
    telling_ = false;
}

} // namespace qova::ui
