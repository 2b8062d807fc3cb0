// Every window of the program survives the window system moving and resizing it from the
// moment its native window exists. Windows does this at once: asking for the maximised
// state in a constructor creates the native window and delivers the new size before the
// constructor has gone on to make the controls. The offscreen and X11 platforms wait for
// the show, so this test plays the prompt platform itself.
#include "app/ui/programwindows.h"
#include "tests/support/scriptedoperator.h"

#include <QApplication>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <set>

using namespace qova;

namespace {

// Answers every event a top-level widget receives with a geometry change of the given size,
// delivered at once, as the Windows platform does for WM_SIZE and WM_MOVE. Windows can do so
// from the moment the native window exists; `evenUncreated` goes further, so that no window
// depends on when its native window happens to be made.
class PromptPlatform : public QObject {
public:
    PromptPlatform(QSize size, bool evenUncreated) : size_(size), evenUncreated_(evenUncreated)
    {
        qApp->installEventFilter(this);
    }
    ~PromptPlatform() override { qApp->removeEventFilter(this); }

    const std::set<QWidget *> &resized() const { return resized_; }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *widget = qobject_cast<QWidget *>(watched);
        // The program's windows, not Qt's own (a combo box's list is a window of its own).
        if (delivering_ || widget == nullptr || !widget->isWindow() ||
            !QByteArray(widget->metaObject()->className()).startsWith("qova::") ||
            (!evenUncreated_ && !widget->testAttribute(Qt::WA_WState_Created)))
            return false;
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::Move:
        case QEvent::Destroy:
        case QEvent::DeferredDelete:
            return false;
        default:
            break;
        }
        delivering_ = true;
        const QSize oldSize = widget->size();
        const QPoint oldPos = widget->pos();
        // A hidden widget only records the new geometry; the platform's events carry it.
        widget->setGeometry(QRect(QPoint(8, 30), size_));
        widget->setAttribute(Qt::WA_PendingResizeEvent, false);
        widget->setAttribute(Qt::WA_PendingMoveEvent, false);
        QMoveEvent move(widget->pos(), oldPos);
        QCoreApplication::sendEvent(widget, &move);
        QResizeEvent resize(size_, oldSize);
        QCoreApplication::sendEvent(widget, &resize);
        resized_.insert(widget);
        delivering_ = false;
        return false;
    }

private:
    QSize size_;
    bool evenUncreated_;
    bool delivering_ = false;
    std::set<QWidget *> resized_;
};

struct Program {
    QTemporaryDir dir;
    link::VirtualPause clock;
    test::ScriptedOperator op;
    ui::SharedState state{link::DeviceFactory{}, clock, op};
    app::ProgramWindows windows{
        state, dir.filePath(QStringLiteral("SETUP.EA2")), false,
        [this] { return std::make_unique<QSettings>(dir.filePath(QStringLiteral("h.ini")), QSettings::IniFormat); },
        [](const app::HistorySettings &) { return qova::Done(); }};
};

} // namespace

class TestEarlyGeometry : public QObject {
    Q_OBJECT

private slots:
    void resizedWhileBuilding_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("evenUncreated");
        QTest::newRow("maximised on a wide screen") << QSize(1920, 1040) << false;
        QTest::newRow("maximised on the smallest screen") << QSize(800, 570) << false;
        QTest::newRow("made very small") << QSize(120, 40) << false;
        QTest::newRow("minimised to nothing") << QSize(0, 0) << false;
        QTest::newRow("any window, from its first event") << QSize(1024, 740) << true;
        QTest::newRow("any window, from its first event, to nothing") << QSize(0, 0) << true;
    }

    void resizedWhileBuilding()
    {
        QFETCH(QSize, size);
        QFETCH(bool, evenUncreated);
        PromptPlatform platform(size, evenUncreated);
        Program program;
        // The test reproduces what Windows does only if the digital display, which asks
        // for the maximised state while it is built, was resized before it was finished.
        QVERIFY(platform.resized().contains(&program.windows.form2));
        // Once built, each window takes the same geometry with every control in place.
        for (const auto &[name, window] : program.windows.all()) {
            QResizeEvent again(size, window->size());
            QCoreApplication::sendEvent(window, &again);
        }
        // The digital display's status bar follows the window's bottom edge.
        const auto *statusBar = program.windows.form2.findChild<QWidget *>(QStringLiteral("StatusBar1"));
        QVERIFY(statusBar != nullptr);
        QCOMPARE(statusBar->geometry().bottom(), program.windows.form2.height() - 1);
    }
};

QTEST_MAIN(TestEarlyGeometry)
#include "tst_earlygeometry.moc"
