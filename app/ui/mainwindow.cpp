#include "app/ui/mainwindow.h"

#include "app/settingsfile.h"
#include "app/statustexts.h"
#include "history/testarchive.h"
#include "link/qserialdevice.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QMenuBar>
#include <QResizeEvent>
#include <QStatusBar>
#include <QVBoxLayout>

namespace qova::app {

TForm1::TForm1(ui::SharedState &state, QWidget *parent) : QMainWindow(parent), state_(state)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));

    buildMenu();

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

    ConnectionStatus = new QLabel(this);
    ConnectionStatus->setObjectName(QStringLiteral("ConnectionStatus"));
    ConnectionStatus->setAccessibleName(QStringLiteral("Connection"));
    HistoryStatus = new QLabel(this);
    HistoryStatus->setObjectName(QStringLiteral("HistoryStatus"));
    HistoryStatus->setAccessibleName(QStringLiteral("History database"));
    statusBar()->addWidget(ConnectionStatus);
    statusBar()->addWidget(HistoryStatus, 1);
    statusBar()->setSizeGripEnabled(false);
    // The caption names the port whenever FILE > COMM changes it; the history says when a
    // connection attempt ended; the database chosen in its dialog shows once it closes.
    connect(this, &QWidget::windowTitleChanged, this, &TForm1::showStatus);
    if (state_.history != nullptr)
        connect(state_.history, &history::TestArchive::attemptEnded, this, &TForm1::showStatus);
    showStatus();

    setGeometry(270, 217, 536, 382);
}

void TForm1::showStatus()
{
    const link::PortState &port = state_.port;
    const QString chosen = port.namedFactory ? port.PortDevice : QString();
    ConnectionStatus->setText(ConnectionStatusText(port.PortNumber, chosen, link::PortDeviceName(port.PortNumber)));
    ConnectionStatus->setAccessibleDescription(ConnectionStatus->text());
    HistoryStatus->setVisible(state_.history != nullptr);
    if (state_.history == nullptr)
        return;
    history::TestArchive &archive = *state_.history;
    // Before the worker's first word there is neither an open database nor a reason.
    const HistoryReach reach = archive.reachable()           ? HistoryReach::Open
                               : archive.problem().isEmpty() ? HistoryReach::Connecting
                                                             : HistoryReach::NotReachable;
    HistoryStatus->setText(HistoryStatusText(archive.settings().url, reach, archive.problem()));
    HistoryStatus->setAccessibleDescription(HistoryStatus->text());
}

void TForm1::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // Back from a dialog that may have changed either.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        showStatus();
}

void TForm1::buildMenu()
{
    for (const MenuLine &line : MenuLines()) {
        QMenu *in = line.in == Menu::Bar ? nullptr : menus_.at(line.in);
        const QString caption = QString::fromLatin1(line.caption);
        switch (line.kind) {
        case MenuLine::Kind::Menu: {
            QMenu *menu = in == nullptr ? menuBar()->addMenu(caption) : in->addMenu(caption);
            menu->setObjectName(QString::fromLatin1(line.objectName));
            menus_[line.menu] = menu;
            if (line.submenu != nullptr)
                this->*line.submenu = menu;
            break;
        }
        case MenuLine::Kind::Item: {
            QAction *action = in->addAction(caption);
            action->setObjectName(QString::fromLatin1(line.objectName));
            action->setShortcut(QKeySequence(QString::fromLatin1(line.shortcut)));
            action->setEnabled(false);
            actions_[line.item] = action;
            this->*line.action = action;
            break;
        }
        case MenuLine::Kind::Separator:
            in->addSeparator()->setObjectName(QString::fromLatin1(line.objectName));
            break;
        }
    }
    setHandler(Item::Exit, [this] { close(); });
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

QMenu *TForm1::menu(Menu menu) const
{
    return menus_.at(menu);
}

void TForm1::FormCreate(bool usLocale, const QString &portFile, const QString &deviceChoice)
{
    state_.UsLocale = usLocale;
    state_.port.PortNumber = ReadPortFile(portFile);
    state_.port.PortDevice = deviceChoice;
    setWindowTitle(StartupCaption(link::PortCaptionName(state_.port)));
    state_.Recording = false;
}

void TForm1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    Formchnge();
}

void TForm1::Formchnge()
{
    if (client_ != nullptr && Panel1 != nullptr)
        Panel1->move(CentredPosition(client_->size(), Panel1->size()));
}

} // namespace qova::app
