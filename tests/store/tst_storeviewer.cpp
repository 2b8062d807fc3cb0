#include "link/pause.h"
#include "sim/demoanalyser.h"
#include "sim/simdevice.h"
#include "store/storedtest.h"
#include "store/storefile.h"
#include "store/storegraph.h"
#include "store/ui/storemenu.h"
#include "store/ui/storeviewer.h"
#include "store/ui/uploadprogress.h"
#include "tests/store/storefiles.h"
#include "tests/store/uploadanalyser.h"
#include "tests/support/datarows.h"
#include "tests/support/fakedevice.h"
#include "tests/support/pdfprinting.h"
#include "tests/support/scriptedoperator.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListView>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>
#include <deque>

using namespace qova;

namespace {

void writeFile(const QString &path, const QByteArray &data)
{
    QCOMPARE(test::WriteFile(path, data), data.size());
}

// The upload's store, from an analyser on a 9600-baud line in virtual time.
struct Rig {
    link::VirtualPause clock;
    test::ScriptedOperator op;
    std::vector<std::uint8_t> store = test::SampleStore(120);
    ui::SharedState state{[this](int) -> std::unique_ptr<link::ByteDevice> {
                              return std::make_unique<sim::SimDevice>(clock,
                                                                      std::make_unique<test::UploadAnalyser>(store));
                          },
                          clock, op};
    store::TForm11 viewer{state};
    QWidget parent;
    store::StoreMenu menu{state, viewer, &parent};
    int shown = 0;
    QTemporaryDir dir;

    Rig()
    {
        state.now = [] { return QDateTime(QDate(2026, 5, 14), QTime(9, 0)); };
        menu.showViewer = [this](store::TForm11 &) { ++shown; };
    }
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    // The viewer on an upload of `records` sample tests.
    void showSample(int records)
    {
        state.StoreData = test::BytesOf(test::SampleStore(records));
        state.StoreRecordCount = records;
        viewer.showRecords(2026);
    }
};

int countColour(const QImage &image, QRgb colour, const QRect &area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF))
                ++n;
    return n;
}

} // namespace

class TestStoreViewer : public QObject {
    Q_OBJECT
private slots:
    void uncheckingRemovesOnlyThatTrace();
    void oneRecordDrawsNoLine();
    void layoutFollowsTheClientSize();
    void shownMaximizedFillsTheScreen_data();
    void shownMaximizedFillsTheScreen();
    void listRowsAreTheExportRows();
    void viewAsksEveryTimeAndShowsTheName();
    void viewMessages_data();
    void viewMessages();
    void uploadOpensTheViewer();
    void uploadFailureShowsTheMessage_data();
    void uploadFailureShowsTheMessage();
    void uploadOnAPortThatDoesNotOpenNamesDeviceAndReason();
    void progressWindowDuringTheUpload();
    void exportMessage();
    void mainMenuReleasesTheData();
    void printsTheWindow();
    void screenshotOfAnUpload();
};

void TestStoreViewer::uncheckingRemovesOnlyThatTrace()
{
    Rig rig;
    rig.showSample(50);
    rig.viewer.resize(1000, 700);
    const QRect plot(126, 21, 938 - 126, 378 - 21);
    const QImage before = rig.viewer.grab().toImage();
    const int red = countColour(before, qRgb(255, 0, 0), plot);
    const int blue = countColour(before, qRgb(0, 0, 255), plot);
    QVERIFY(red > 0);
    QVERIFY(blue > 0);
    rig.viewer.CheckBoxes[0]->click();
    const QImage without = rig.viewer.grab().toImage();
    QCOMPARE(countColour(without, qRgb(255, 0, 0), plot), 0);
    QVERIFY(countColour(without, qRgb(0, 0, 255), plot) >= blue); // no longer partly covered
    rig.viewer.CheckBoxes[0]->click();
    QCOMPARE(rig.viewer.grab().toImage().copy(plot), before.copy(plot));
}

void TestStoreViewer::oneRecordDrawsNoLine()
{
    Rig rig;
    rig.showSample(1);
    rig.viewer.resize(1000, 700);
    const QImage image = rig.viewer.grab().toImage();
    const QRect plot(126, 21, 938 - 126, 378 - 21);
    QCOMPARE(countColour(image, qRgb(255, 255, 255), plot), plot.width() * plot.height());
    QCOMPARE(rig.viewer.model()->rowCount(), 1);
}

void TestStoreViewer::layoutFollowsTheClientSize()
{
    Rig rig;
    rig.viewer.show();
    rig.viewer.resize(1000, 700);
    QCOMPARE(rig.viewer.ListBox1->pos(), QPoint((1000 - 449) / 2, 700 * 7 / 11));
    QCOMPARE(rig.viewer.ListBox1->width(), 449);
    QCOMPARE(rig.viewer.Label1->pos(), QPoint((1000 - 449) / 2, 700 * 7 / 11 - 18));
    QCOMPARE(rig.viewer.Button1->pos(), QPoint(50, 445));
    QCOMPARE(rig.viewer.Button2->pos(), QPoint(50, 480));
    // Twelve whole rows fit the list.
    rig.showSample(40);
    QCOMPARE(rig.viewer.ListBox1->sizeHintForRow(0), 14);
    QCOMPARE(rig.viewer.ListBox1->viewport()->height(), 12 * 14);
}

void TestStoreViewer::listRowsAreTheExportRows()
{
    Rig rig;
    const QString path = rig.path("MAY.QVS");
    writeFile(path, test::BytesOf(test::SampleStore(25)) + QByteArray(17, '\x35')); // a partial record at the end
    rig.state.StoreFileName = path;
    QCOMPARE(rig.menu.LoadStoredTests(), QString());
    QCOMPARE(rig.viewer.Label1->text(), QStringLiteral("  Date      time    HC  CO   CO2  O2   NO  RPM  OIL"));
    rig.op.openNames = {path};
    QCOMPARE(rig.menu.ExportStoredTests(), QStringLiteral("done  MAY.QVS---> MAY.txt"));
    QFile text(rig.path("MAY.txt"));
    QVERIFY(text.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = text.readAll().split('\n');
    QCOMPARE(rig.viewer.model()->rowCount(), 25);
    QCOMPARE(lines.size(), 25 + 3);
    for (int i = 0; i < 25; ++i)
        QCOMPARE(lines[i + 2], rig.viewer.model()->index(i).data().toString().toLatin1() + '\r');
}

void TestStoreViewer::viewAsksEveryTimeAndShowsTheName()
{
    Rig rig;
    const QString path = rig.path("MAY.QVS");
    writeFile(path, test::BytesOf(test::SampleStore(3)));
    rig.state.StoreFileName = path;
    rig.op.openNames = {path};
    rig.menu.VIEW1Click();
    QCOMPARE(rig.op.fileRequests.size(), std::size_t(1));
    QCOMPARE(rig.op.fileRequests[0].defaultSuffix, QStringLiteral("qvs"));
    QCOMPARE(rig.shown, 1);
    QCOMPARE(rig.viewer.windowTitle(), QStringLiteral("MAY.QVS"));
    QCOMPARE(rig.viewer.model()->rowCount(), 3);
    QVERIFY(rig.op.shown.empty());
}

void TestStoreViewer::viewMessages_data()
{
    QTest::addColumn<int>("size"); // -1: no file; -2: cancel
    QTest::addColumn<QString>("expected");
    QTest::newRow("cancel") << -2 << QStringLiteral("user Canceled");
    QTest::newRow("missing") << -1 << QStringLiteral("Can not open file %1");
    QTest::newRow("29 bytes") << 29 << QStringLiteral("No data in file %1");
}

void TestStoreViewer::viewMessages()
{
    QFETCH(int, size);
    QFETCH(QString, expected);
    Rig rig;
    const QString path = rig.path("MAY.QVS");
    if (size >= 0)
        writeFile(path, QByteArray(size, '\x11'));
    if (size != -2)
        rig.op.openNames = {path};
    rig.menu.VIEW1Click();
    QCOMPARE(rig.op.texts(), QStringList{expected.contains(QLatin1String("%1")) ? expected.arg(path) : expected});
    QCOMPARE(rig.shown, 0);
}

void TestStoreViewer::uploadOpensTheViewer()
{
    Rig rig;
    const QString path = rig.path("JUNE.QVS");
    rig.op.saveNames = {path};
    rig.menu.UPLOAD2Click();
    QCOMPARE(rig.op.texts(), QStringList());
    QCOMPARE(rig.shown, 1);
    QCOMPARE(rig.viewer.windowTitle(), QStringLiteral("JUNE.QVS"));
    QCOMPARE(rig.state.StoreRecordCount, 120);
    QCOMPARE(rig.viewer.model()->rowCount(), 120);
    QCOMPARE(rig.op.fileRequests.size(), std::size_t(1)); // the upload's dialog only
    QCOMPARE(rig.op.fileRequests[0].confirmOverwrite, true);
    QCOMPARE(rig.viewer.model()->index(0).data().toString(), store::FormatStoredTestRow(rig.store.data(), 2026));
}

void TestStoreViewer::uploadFailureShowsTheMessage_data()
{
    QTest::addColumn<int>("storeBytes");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty store") << 0 << false << QStringLiteral("    No Data   ");
    QTest::newRow("cancelled") << 60 << true << QStringLiteral("User Canceled");
    QTest::newRow("fewer than 30 bytes") << 20 << false << QStringLiteral("No data in file %1");
}

void TestStoreViewer::uploadFailureShowsTheMessage()
{
    QFETCH(int, storeBytes);
    QFETCH(bool, cancel);
    QFETCH(QString, expected);
    Rig rig;
    rig.store.resize(static_cast<std::size_t>(storeBytes));
    const QString path = rig.path("JUNE.QVS");
    if (!cancel)
        rig.op.saveNames = {path};
    rig.menu.UPLOAD2Click();
    QCOMPARE(rig.op.texts(), QStringList{expected.contains(QLatin1String("%1")) ? expected.arg(path) : expected});
    QCOMPARE(rig.shown, 0);
}

void TestStoreViewer::uploadOnAPortThatDoesNotOpenNamesDeviceAndReason()
{
    Rig rig;
    rig.state.port.factory = [&rig](int) -> std::unique_ptr<link::ByteDevice> {
        auto device = std::make_unique<test::FakeDevice>(rig.clock);
        device->failOpen = true;
        device->reason = QStringLiteral("No such file or directory");
        return device;
    };
    rig.op.saveNames = {rig.path("JUNE.QVS")};
    rig.menu.UPLOAD2Click();
    QCOMPARE(rig.op.texts(), QStringList{store::kPortFailed});
    QCOMPARE(rig.op.shown.back().detail,
             QStringLiteral("COM1 (/dev/fake0): No such file or directory\n") + link::kConnectionFix);
    QCOMPARE(rig.shown, 0);
}

namespace {
// Looks at the screen each time the workstation sends a byte to the analyser.
class WatchingAnalyser final : public sim::Analyser {
public:
    explicit WatchingAnalyser(std::vector<std::uint8_t> store) : inner_(std::move(store), 100) {}
    std::vector<std::uint8_t> receive(std::uint8_t byte, std::int64_t nowMs) override
    {
        store::UploadProgressWindow *window = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *p = qobject_cast<store::UploadProgressWindow *>(w); p != nullptr && p->isVisible())
                window = p;
        seen << QStringLiteral("%1:%2:%3")
                    .arg(QChar(byte))
                    .arg(window != nullptr ? window->Received->text() : QStringLiteral("-"))
                    .arg(QApplication::overrideCursor() != nullptr ? QStringLiteral("busy") : QStringLiteral("idle"));
        if (window != nullptr && shot.isNull())
            shot = window->grab().toImage();
        return inner_.receive(byte, nowMs);
    }
    QStringList seen;
    QImage shot;

private:
    test::UploadAnalyser inner_;
};
} // namespace

void TestStoreViewer::progressWindowDuringTheUpload()
{
    Rig rig;
    WatchingAnalyser *watcher = nullptr;
    rig.state.port.factory = [&](int) -> std::unique_ptr<link::ByteDevice> {
        auto model = std::make_unique<WatchingAnalyser>(test::SampleStore(10)); // 300 bytes in blocks of 100
        watcher = model.get();
        return std::make_unique<sim::SimDevice>(rig.clock, std::move(model));
    };
    rig.op.saveNames = {rig.path("MAY.QVS")};
    QCOMPARE(rig.menu.UploadStoredTests(), QString());
    QVERIFY(watcher != nullptr);
    // "D" goes out before the window and the busy cursor; at each reply the window shows
    // the bytes of the blocks before.
    QCOMPARE(watcher->seen, (QStringList{QStringLiteral("D:-:idle"), QStringLiteral("O:0:busy"),
                                         QStringLiteral("O:100:busy"), QStringLiteral("O:200:busy")}));
    QVERIFY(QApplication::overrideCursor() == nullptr);
    for (QWidget *w : QApplication::topLevelWidgets())
        QVERIFY(w->objectName() != QLatin1String("UploadProgress") || !w->isVisible());
    const QByteArray dir = qgetenv("QOVA_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        QVERIFY(watcher->shot.save(QString::fromLocal8Bit(dir) + QStringLiteral("/upload-progress.png")));
}

void TestStoreViewer::exportMessage()
{
    Rig rig;
    rig.op.openNames = {};
    rig.menu.EXPORT1Click();
    QCOMPARE(rig.op.texts(), QStringList{QStringLiteral("user Canceled")});
    const QString path = rig.path("MAY.QVS");
    writeFile(path, test::BytesOf(test::SampleStore(2)));
    rig.op.openNames = {path};
    rig.menu.EXPORT1Click();
    QCOMPARE(rig.op.texts().last(), QStringLiteral("done  MAY.QVS---> MAY.txt"));
    QVERIFY(rig.state.StoreFileName.isEmpty()); // the export leaves the viewer's file alone
}

void TestStoreViewer::mainMenuReleasesTheData()
{
    Rig rig;
    rig.showSample(5);
    rig.viewer.show();
    rig.viewer.Button1->click();
    QVERIFY(rig.state.StoreData.isEmpty());
    QCOMPARE(rig.viewer.model()->rowCount(), 0);
    QVERIFY(!rig.viewer.isVisible());
    rig.viewer.grab(); // paints safely with nothing loaded
}

void TestStoreViewer::printsTheWindow()
{
    Rig rig;
    test::PdfPrinting printing(rig.path("viewer.pdf"));
    rig.state.printing = &printing;
    rig.showSample(30);
    rig.viewer.resize(800, 600);
    rig.viewer.Button2->click();
    QVERIFY(QFileInfo(printing.path()).size() > 1000);
    rig.state.printing = nullptr;
    rig.viewer.Button2->click(); // no printer: nothing happens
}

void TestStoreViewer::shownMaximizedFillsTheScreen_data()
{
    test::BoolRows("maximized", "normal keeps its size", "maximized, as the menu shows it");
}

// Without a window manager nothing honours the maximized state but the window itself. The
// offscreen platform maximizes by itself; run under a bare X server
// (xvfb-run env QT_QPA_PLATFORM=xcb) this shows the window at its design size otherwise.
void TestStoreViewer::shownMaximizedFillsTheScreen()
{
    QFETCH(bool, maximized);
    Rig rig;
    rig.showSample(30);
    if (maximized)
        rig.viewer.setWindowState(Qt::WindowMaximized);
    rig.viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.viewer));
    if (!maximized) {
        QCOMPARE(rig.viewer.size(), QSize(616, 471));
        rig.viewer.hide();
        return;
    }
    QCOMPARE(rig.viewer.frameGeometry(), rig.viewer.screen()->availableGeometry());
    const store::StoreGraphGeometry g =
        store::StoreGraphGeometry::compute(rig.viewer.width(), rig.viewer.height(), rig.state.StoreRecordCount);
    const QRect plot = store::StoreGraphFrameFor(g).plot;
    QVERIFY(!rig.viewer.Button1->geometry().intersects(rig.viewer.ListBox1->geometry()));
    QVERIFY(!rig.viewer.Button2->geometry().intersects(rig.viewer.ListBox1->geometry()));
    QVERIFY(!rig.viewer.Panel1->geometry().intersects(plot));
    rig.viewer.hide();
}

void TestStoreViewer::screenshotOfAnUpload()
{
    Rig rig;
    // The simulated analyser itself, with its store cut into blocks of its own choosing.
    sim::DemoOptions options;
    options.storedTests = 120;
    auto analyser = std::make_shared<sim::DemoAnalyser>(options);
    rig.state.port.factory = [&](int) { return std::make_unique<sim::SimDevice>(rig.clock, analyser); };
    rig.op.saveNames = {rig.path("MAY.QVS")};
    rig.menu.UPLOAD2Click();
    QCOMPARE(rig.shown, 1);
    rig.viewer.resize(1000, 700);
    rig.viewer.ListBox1->setCurrentIndex(rig.viewer.model()->index(2));
    const QImage image = rig.viewer.grab().toImage();
    QCOMPARE(image.size(), QSize(1000, 700));
    QCOMPARE(rig.state.StoreData, QByteArray(reinterpret_cast<const char *>(analyser->store().data()), 120 * 30));
    const QByteArray dir = qgetenv("QOVA_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        QVERIFY(image.save(QString::fromLocal8Bit(dir) + QStringLiteral("/viewer.png")));
}

QTEST_MAIN(TestStoreViewer)
#include "tst_storeviewer.moc"
