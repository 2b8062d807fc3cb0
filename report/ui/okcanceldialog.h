#pragma once

#include <QDialog>

class QPushButton;

namespace qova::report {

// A dialog that tells its opener whether OK closed it: Button1 is OK, Button2 Cancel.
// The dialog makes the two buttons where it wants them, then calls connectButtons().
class OkCancelDialog : public QDialog {
    Q_OBJECT
public:
    explicit OkCancelDialog(QWidget *parent = nullptr);

    // Whether OK closed the dialog last. The close box and Escape count as Cancel.
    bool okPressed() const { return OkPressed; }
    void reject() override;

    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;

protected:
    void connectButtons();
    // Asked when OK is pressed: false keeps the dialog open (it says why itself).
    virtual bool acceptable() { return true; }

private:
    void Button1Click();
    void Button2Click();

    bool OkPressed = false;
};

} // namespace qova::report
