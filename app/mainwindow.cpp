#include "mainwindow.h"

#include "settingsfile.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QMenuBar>
#include <QResizeEvent>
#include <QVBoxLayout>

namespace qova::app {

TForm1::TForm1(ui::SharedState &state, QWidget *parent) : QMainWindow(parent), state_(state)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));

    QMenu *file = menuBar()->addMenu(QStringLiteral("FILE"));
    HADER1 = addItem(file, QStringLiteral("&HEADER"), QStringLiteral("HADER1"), QKeySequence(QStringLiteral("Ctrl+H")),
                     Item::Header);
    DIGITAL1 = addItem(file, QStringLiteral("&DIGITAL"), QStringLiteral("DIGITAL1"),
                       QKeySequence(QStringLiteral("Ctrl+D")), Item::Digital);
    GRAPH1 = addItem(file, QStringLiteral("&GRAPH"), QStringLiteral("GRAPH1"), QKeySequence(QStringLiteral("Ctrl+G")),
                     Item::Graph);
    UPLOAD1 = file->addMenu(QStringLiteral("&STORE"));
    UPLOAD1->setObjectName(QStringLiteral("UPLOAD1"));
    UPLOAD2 = addItem(UPLOAD1, QStringLiteral("&UPLOAD"), QStringLiteral("UPLOAD2"), {}, Item::Upload);
    VIEW1 = addItem(UPLOAD1, QStringLiteral("&VIEW"), QStringLiteral("VIEW1"), {}, Item::View);
    EXPORT1 = addItem(UPLOAD1, QStringLiteral("&EXPORT"), QStringLiteral("EXPORT1"), {}, Item::Export);
    file->addSeparator()->setObjectName(QStringLiteral("N1"));
    COMM1 = addItem(file, QStringLiteral("&COMM"), QStringLiteral("COMM1"), QKeySequence(QStringLiteral("Ctrl+C")),
                    Item::Comm);
    Printersetup1 = addItem(file, QStringLiteral("&PRINTER SETUP"), QStringLiteral("Printersetup1"),
                            QKeySequence(QStringLiteral("Ctrl+P")), Item::PrinterSetup);
    SERIALNO1 = addItem(file, QStringLiteral("C&OMPANY HEADER"), QStringLiteral("SERIALNO1"),
                        QKeySequence(QStringLiteral("Ctrl+O")), Item::CompanyHeader);
    file->addSeparator()->setObjectName(QStringLiteral("N2"));
    EXIT1 = file->addAction(QStringLiteral("E&XIT"));
    EXIT1->setObjectName(QStringLiteral("EXIT1"));
    EXIT1->setShortcut(QKeySequence(QStringLiteral("Ctrl+X")));
    connect(EXIT1, &QAction::triggered, this, &QWidget::close);

    QMenu *help = menuBar()->addMenu(QStringLiteral("HELP"));
    ABOUT1 = addItem(help, QStringLiteral("ABOUT"), QStringLiteral("ABOUT1"), {}, Item::About);

    client_ = new QWidget(this);
    client_->setAutoFillBackground(true);
    setCentralWidget(client_);

    Panel1 = new QFrame(client_);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->resize(433, 249);
    auto *makerLayout = new QVBoxLayout(Panel1);
    for (const char *line : {"VESK", "INSTRUMENTS"}) {
        auto *text = new QLabel(QString::fromLatin1(line), Panel1);
        QFont font = text->font();
        font.setPointSize(28);
        font.setBold(true);
        text->setFont(font);
        text->setStyleSheet(QStringLiteral("color: blue"));
        text->setAlignment(Qt::AlignCenter);
        makerLayout->addWidget(text);
    }
    Panel1->hide();

    Label1 = new QLabel(QStringLiteral("Ver. 2"), client_);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(480, 312 - menuBar()->sizeHint().height());
    Label1->adjustSize();

    setGeometry(270, 217, 536, 382);
}

QAction *TForm1::addItem(QMenu *menu, const QString &caption, const QString &objectName, const QKeySequence &shortcut,
                         Item item)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(objectName);
    action->setShortcut(shortcut);
    action->setEnabled(false);
    actions_[item] = action;
    return action;
}

void TForm1::setHandler(Item item, std::function<void()> handler)
{
    QAction *act = actions_.at(item);
    act->disconnect(this);
    act->setEnabled(static_cast<bool>(handler));
    if (handler)
        connect(act, &QAction::triggered, this, [h = std::move(handler)] { h(); });
}

QAction *TForm1::action(Item item) const
{
    return actions_.at(item);
}

void TForm1::FormCreate(bool usLocale, const QString &portFile)
{
    state_.UsLocale = usLocale;
    state_.port.PortNumber = ReadPortFile(portFile);
    setWindowTitle(StartupCaption(state_.port.PortNumber));
    state_.Recording = false;
}

void TForm1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    Formchnge();
}

void TForm1::Formchnge()
{
    if (client_ != nullptr)
        Panel1->move(CentredPosition(client_->size(), Panel1->size()));
}

} // namespace qova::app
