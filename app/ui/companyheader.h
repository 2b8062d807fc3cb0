#pragma once

#include "ui/sharedstate.h"

#include <QDialog>
#include <QSettings>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;

namespace qova::app {

// Where the company header is kept between runs: organisation "Qovaks", application
// "gas", value "header" (on Windows HKEY_CURRENT_USER\Software\Qovaks\gas). The COMM
// dialog keeps a connection outside COM1 to COM4 there too.
using SettingsOpener = std::function<std::unique_ptr<QSettings>()>;
std::unique_ptr<QSettings> CompanyHeaderSettings();

// What the report prints at its head: at most 39 characters.
inline constexpr int kCompanyHeaderLength = 39;
QString TrimCompanyHeader(const QString &text);

// FILE > COMPANY HEADER. However the dialog is closed, the text typed is kept, in the
// shared state for the report and in the settings for the next run.
class TForm7 : public QDialog {
    Q_OBJECT
public:
    explicit TForm7(ui::SharedState &state, SettingsOpener settings = CompanyHeaderSettings, QWidget *parent = nullptr);

    // Shows the dialog modally; the header is stored when it closes.
    void SERIALNO1Click();

    QLabel *Label1 = nullptr;
    QLineEdit *Edit1 = nullptr;

public slots:
    void done(int result) override;

private:
    void FormCreate();
    void storeHeader();

    ui::SharedState &state_;
    SettingsOpener settings_;
};

} // namespace qova::app
