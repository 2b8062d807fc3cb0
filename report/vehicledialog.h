#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qova::report {

// Asks for the vehicle's type and registration before a report. Made once and kept, so
// the two boxes hold the last vehicle until the program ends.
class TForm8 : public QDialog {
    Q_OBJECT
public:
    explicit TForm8(QWidget *parent = nullptr);

    // Whether OK closed the dialog last. The close box and Escape count as Cancel.
    bool okPressed() const { return OkPressed; }
    void reject() override;

    QLabel *StaticText1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QLabel *StaticText2 = nullptr;
    QLineEdit *Edit2 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    // The last result of the registration typed, under its box; empty (and the dialog as it
    // always was) for a registration without history.
    QLabel *LastResult = nullptr;

    // Where the last result comes from: the text to show for a registration, or none.
    void setLastResult(std::function<QString(const QString &registration)> lookup);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showLastResult();
    std::function<QString(const QString &)> lastResult_;

private:
    void Button1Click();
    void Button2Click();

    bool OkPressed = false;
};

} // namespace qova::report
