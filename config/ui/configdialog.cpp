#include "config/ui/configdialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>

namespace qova::config {

namespace {
bool isEnter(const QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<const QKeyEvent *>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}
} // namespace

ConfigDialog::ConfigDialog(ui::SharedState &state, QWidget *parent) : QDialog(parent), state_(state)
{
    setModal(true);
}

void ConfigDialog::tell(const QString &text, ui::Icon icon, const QString &detail)
{
    state_.op->message(this, QStringLiteral("QOVA"), text, icon, ui::Buttons::Ok, detail);
}

void ConfigDialog::reject()
{
    if (!sending_)
        QDialog::reject();
}

void ConfigDialog::enterMovesTo(QWidget *from, QWidget *to)
{
    enterTargets_[from] = to;
    from->installEventFilter(this);
}

bool ConfigDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (isEnter(event)) {
        const auto it = enterTargets_.find(watched);
        if (it != enterTargets_.end()) {
            it->second->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ConfigDialog::keyPressEvent(QKeyEvent *event)
{
    // A focused button takes Enter itself; Enter anywhere else must not send by surprise.
    if (isEnter(event)) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ConfigDialog::closeEvent(QCloseEvent *event)
{
    if (sending_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

ConfigDialog::WaitCursor::WaitCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

ConfigDialog::WaitCursor::~WaitCursor()
{
    QApplication::restoreOverrideCursor();
}

} // namespace qova::config
