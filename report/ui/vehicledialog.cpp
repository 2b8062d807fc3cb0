#include "report/ui/vehicledialog.h"

#include "ui/placed.h"
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace qova::report {

TForm8::TForm8(QWidget *parent) : OkCancelDialog(parent)
{
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("VEHICLE TYPE"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(329, 280);

    QFont bold = font();
    bold.setBold(true);

    StaticText1 = ui::Placed<QLabel>("StaticText1", {40, 28, 250, 20}, QStringLiteral("VEHICLE TYPE MODEL"), this);
    StaticText1->setFont(bold);
    Edit1 = ui::Placed<QLineEdit>("Edit1", {40, 52, 250, 26}, QStringLiteral("FORD ESCORT"), this);

    StaticText2 =
        ui::Placed<QLabel>("StaticText2", {40, 104, 250, 20}, QStringLiteral("VEHICLE REGISTRATION NUMBER"), this);
    StaticText2->setFont(bold);
    Edit2 = ui::Placed<QLineEdit>("Edit2", {40, 128, 250, 26}, QStringLiteral("J123ABC"), this);

    Button1 = ui::Placed<QPushButton>("Button1", {56, 200, 90, 30}, QStringLiteral("&OK"), this);
    Button2 = ui::Placed<QPushButton>("Button2", {184, 200, 90, 30}, QStringLiteral("&Cancel"), this);

    LastResult = ui::Placed<QLabel>("LastResult", {40, 158, 270, 38}, this);
    LastResult->setWordWrap(true);
    LastResult->hide();

    Edit1->installEventFilter(this);
    Edit2->installEventFilter(this);
    connectButtons();
}

void TForm8::setLastResult(std::function<void(const QString &)> lookUp, std::function<void()> prepare)
{
    lastResult_ = std::move(lookUp);
    prepare_ = std::move(prepare);
    disconnect(Edit2, &QLineEdit::textChanged, this, nullptr);
    if (lastResult_)
        connect(Edit2, &QLineEdit::textChanged, this, [this] { showLastResult(); });
}

void TForm8::showLastResult()
{
    if (lastResult_)
        lastResult_(Edit2->text());
    else
        lastResultFound({});
}

void TForm8::lastResultFound(const QString &text)
{
    LastResult->setText(text);
    LastResult->setVisible(!text.isEmpty());
}

bool TForm8::acceptable()
{
    if (!Edit2->text().trimmed().isEmpty())
        return true;
    LastResult->setText(
        QStringLiteral("Type the vehicle's registration: the report is kept in a file named after it."));
    LastResult->show();
    Edit2->setFocus();
    return false;
}

void TForm8::showEvent(QShowEvent *event)
{
    if (prepare_)
        prepare_();
    showLastResult();
    QDialog::showEvent(event);
}

// Enter in either box moves on to the next control instead of closing the dialog.
bool TForm8::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == Edit1 || watched == Edit2) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            focusNextChild();
            return true;
        }
    }
    return OkCancelDialog::eventFilter(watched, event);
}

} // namespace qova::report
