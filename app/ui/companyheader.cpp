#include "app/ui/companyheader.h"

#include "app/settingsfile.h"
#include "settings/validatedsettings.h"
#include "ui/operator.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <limits>

namespace qova::app {

namespace {
const QString kHeaderValue = QStringLiteral("header");
}

std::unique_ptr<QSettings> CompanyHeaderSettings()
{
    return std::make_unique<QSettings>(QStringLiteral("Qovaks"), QStringLiteral("gas"));
}

QString TrimCompanyHeader(const QString &text)
{
    return text.left(kCompanyHeaderLength);
}

TForm7::TForm7(ui::SharedState &state, SettingsOpener settings, QWidget *parent)
    : QDialog(parent), state_(state), settings_(std::move(settings))
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("QOVA"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto *inner = new QVBoxLayout(panel);
    Label1 = new QLabel(QStringLiteral("ENTER COMPANY HEADER"), panel);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    Edit1 = new QLineEdit(panel);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setMaxLength(40);
    // Wide enough to show a full header of capitals without scrolling.
    Edit1->setMinimumWidth(
        Edit1->fontMetrics().horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ ABCDEFGHIJKL")) + 16);
    inner->addWidget(Label1);
    inner->addWidget(Edit1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(panel);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Enter closes the dialog; the key goes no further.
    connect(Edit1, &QLineEdit::returnPressed, this, [this] { done(QDialog::Accepted); });

    FormCreate();
}

void TForm7::FormCreate()
{
    QString text;
    QStringList ignored;
    if (const auto settings = settings_()) {
        settings::ValidatedSettings read(*settings);
        // Longer headers were always cut to the printer's line, so length is no fault here.
        text = read.text({kHeaderValue, QString(), std::numeric_limits<int>::max()});
        ignored = read.messages();
        ReadDeviceChoice(*settings, &ignored);
    }
    Edit1->setText(text);
    const QStringList notices = settings::NoticesNotYetGiven(ignored);
    if (!notices.isEmpty() && state_.op)
        state_.op->message(this, QStringLiteral("QOVA"), QStringLiteral("Some settings were ignored."),
                           ui::Icon::Warning, ui::Buttons::Ok,
                           notices.join(QLatin1Char('\n')) +
                               QStringLiteral("\nCorrect or remove them there, or set them again in the program."));
    state_.CompanyHeader = TrimCompanyHeader(Edit1->text());
}

void TForm7::SERIALNO1Click()
{
    Label1->setText(QStringLiteral("ENTER COMPANY HEADER"));
    exec();
}

void TForm7::done(int result)
{
    // The close box, Escape and Enter all keep what was typed.
    storeHeader();
    QDialog::done(result);
}

void TForm7::storeHeader()
{
    state_.CompanyHeader = TrimCompanyHeader(Edit1->text());
    if (const auto settings = settings_()) {
        settings->setValue(kHeaderValue, state_.CompanyHeader);
        settings->sync();
    }
}

} // namespace qova::app
