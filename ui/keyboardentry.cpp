#include "ui/keyboardentry.h"

#include <QFocusEvent>
#include <QLineEdit>

namespace qova::ui {

bool KeyboardEntrySelects::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::FocusIn)
        return false;
    auto *field = qobject_cast<QLineEdit *>(watched);
    if (field == nullptr || field->isReadOnly() || !field->inputMask().isEmpty())
        return false;
    switch (static_cast<QFocusEvent *>(event)->reason()) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
    // The field that has the focus when its window opens, or when the window comes back
    // from a box it showed: the operator has not placed a cursor in it.
    case Qt::ActiveWindowFocusReason:
    case Qt::OtherFocusReason:
        field->selectAll();
        break;
    default: // a click places the cursor; a closed popup menu leaves the selection as it was
        break;
    }
    return false;
}

void SelectTextOnKeyboardEntry(QObject &application)
{
    application.installEventFilter(new KeyboardEntrySelects(&application));
}

} // namespace qova::ui
