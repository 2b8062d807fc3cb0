#pragma once

#include "ui/operator.h"
#include "ui/sharedstate.h"

#include <QDialog>
#include <map>

namespace qova::config {

// What the three configuration dialogs have in common: Enter presses only the button
// that has the focus (never a default button from inside another box), some boxes pass
// the focus on with Enter, and nothing closes the dialog while a send is under way.
class ConfigDialog : public QDialog {
    Q_OBJECT
public:
    ConfigDialog(ui::SharedState &state, QWidget *parent);

    bool sending() const { return sending_; }
    void reject() override;

protected:
    // A plain box captioned with the program's name, OK to close it.
    void tell(const QString &text, ui::Icon icon = ui::Icon::None, const QString &detail = {});

    // Enter in `from` never reaches it; the focus moves to `to` instead.
    void enterMovesTo(QWidget *from, QWidget *to);

    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

    // The send keeps the windows painting while it waits; a close asked for meanwhile
    // would leave the dialog closed under a send that still reports to it.
    class SendGuard {
    public:
        explicit SendGuard(ConfigDialog &dialog) : d_(dialog) { d_.sending_ = true; }
        ~SendGuard() { d_.sending_ = false; }
        SendGuard(const SendGuard &) = delete;
        SendGuard &operator=(const SendGuard &) = delete;

    private:
        ConfigDialog &d_;
    };

    // The hourglass for as long as it lives.
    class WaitCursor {
    public:
        WaitCursor();
        ~WaitCursor();
        WaitCursor(const WaitCursor &) = delete;
        WaitCursor &operator=(const WaitCursor &) = delete;
    };

    ui::SharedState &state_;

private:
    bool sending_ = false;
    std::map<QObject *, QWidget *> enterTargets_;
};

} // namespace qova::config
