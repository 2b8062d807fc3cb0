#include "report/ui/vehicledialog.h"

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

    StaticText1 = new QLabel(QStringLiteral("VEHICLE TYPE MODEL"), this);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    StaticText1->setFont(bold);
    StaticText1->setGeometry(40, 28, 250, 20);
    Edit1 = new QLineEdit(QStringLiteral("FORD ESCORT"), this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(40, 52, 250, 26);

    StaticText2 = new QLabel(QStringLiteral("VEHICLE REGISTRATION NUMBER"), this);
    StaticText2->setObjectName(QStringLiteral("StaticText2"));
    StaticText2->setFont(bold);
    StaticText2->setGeometry(40, 104, 250, 20);
    Edit2 = new QLineEdit(QStringLiteral("J123ABC"), this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(40, 128, 250, 26);

    Button1 = new QPushButton(QStringLiteral("&OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(56, 200, 90, 30);
    Button2 = new QPushButton(QStringLiteral("&Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(184, 200, 90, 30);

    LastResult = new QLabel(this);
    LastResult->setObjectName(QStringLiteral("LastResult"));
    LastResult->setGeometry(40, 158, 270, 38);
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
