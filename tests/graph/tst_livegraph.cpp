#include "display/graphreading.h"
#include "display/ui/livegraph.h"
#include "link/frame.h"
#include "tests/support/fakedevice.h"
#include "tests/support/pdfprinting.h"
#include "tests/support/scriptedoperator.h"

#include <QCheckBox>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace qova;
using display::TForm3;
using link::LiveReading;

namespace {

// The analyser at the far end: answers every poll with a frame of `reading`, or with a
// corrupted one while `corrupt` is set.
struct Rig {
    test::FakeLink fake;
    test::ScriptedOperator op;
    ui::SharedState state{fake.port.factory, fake.clock, op};
    LiveReading reading;
    bool corrupt = false;
    TForm3 form{state};

    Rig()
    {
        fake.prepare = [this](test::FakeDevice &device) {
            device.onWrite = [this](std::uint8_t byte, test::FakeDevice &d) {
                if (byte != link::kPollCommand)
                    return;
                auto frame = link::EncodeLiveFrame(reading);
                if (corrupt)
                    frame[5] ^= 0x40;
                d.queue({frame.begin(), frame.end()});
            };
        };
    }
    int polls() const
    {
        int n = 0;
        for (const auto &d : fake.devices)
            for (auto b : d->writtenBytes())
                n += b == link::kPollCommand ? 1 : 0;
        return n;
    }
    bool onlyPolls() const
    {
        for (const auto &d : fake.devices)
            for (auto b : d->writtenBytes())
                if (b != link::kPollCommand)
                    return false;
        return true;
    }
    const display::GraphColumn &lastColumn() const
    {
        const auto *g = form.PerformanceGraph1;
        return g->column(g->LastY(g->currentIndex()));
    }
};

} // namespace

class TestLiveGraph : public QObject {
    Q_OBJECT
private slots:
    void showOpensThePortAndPolls();
    void openFailureTellsTheOperator();
    void traceValuesFromClampedReadings_data();
    void traceValuesFromClampedReadings();
    void panelTextsAndCaption();
    void uncheckedBoxesAddEmptyColumns();
    void invalidFrameChangesNothing();
    void vanishedPortReopensOncePerTick();
    void pollIntervalFollowsTheGraphWidth_data();
    void pollIntervalFollowsTheGraphWidth();
    void bottomBarStaysReachable();
    void everyWayOutClosesThePort_data();
    void everyWayOutClosesThePort();
    void historySurvivesReopening();
    void paintingDoesNoSerialIo();
    void printNeedsAPrinter();
    void printsTheWindowOnOnePage();
};

void TestLiveGraph::showOpensThePortAndPolls()
{
    Rig rig;
    rig.state.port.PortNumber = 3;
    QVERIFY(rig.form.FormShow());
    QCOMPARE(rig.form.windowTitle(), QStringLiteral("QOVA    COM3"));
    QVERIFY(rig.state.port.PortOpen);
    QVERIFY(rig.form.polling());
    QVERIFY(rig.form.reading() != nullptr);
    QCOMPARE(rig.fake.device().writtenBytes(), std::vector<std::uint8_t>{link::kPollCommand});
    for (int i = 0; i < 5; ++i)
        rig.state.session.tick();
    // every tick reads the answer to the last poll and leaves one poll outstanding
    QCOMPARE(rig.polls(), 6);
    QVERIFY(rig.onlyPolls());
    QVERIFY(rig.form.polling());
    rig.form.FormClose();
}

void TestLiveGraph::openFailureTellsTheOperator()
{
    Rig rig;
    rig.fake.prepare = [](test::FakeDevice &d) { d.failOpen = true; };
    QVERIFY(!rig.form.FormShow());
    QCOMPARE(rig.op.texts(), QStringList{QStringLiteral("Communication failed try again")});
    // The box says which device failed, why, and where to choose another.
    for (const char *says : {"/dev/fake0", "Permission denied", "FILE > COMM"})
        QVERIFY2(rig.op.shown[0].detail.contains(QLatin1String(says)), qPrintable(rig.op.shown[0].detail));
    QVERIFY(!rig.form.polling());
    QVERIFY(!rig.state.port.PortOpen);
    QCOMPARE(rig.polls(), 0);
    rig.state.session.tick(); // a stray tick does nothing
    QCOMPARE(rig.polls(), 0);
}

void TestLiveGraph::traceValuesFromClampedReadings_data()
{
    QTest::addColumn<int>("hc");
    QTest::addColumn<int>("co2");
    QTest::addColumn<int>("o2");
    QTest::addColumn<int>("efficiency");
    QTest::addColumn<bool>("afr");
    QTest::addColumn<QList<int>>("expected"); // CO CO2 HC O2 NO LAM RPM OIL
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("hcPanel");
    QTest::newRow("over range") << 2600 << 150 << 2090 << 1470 << true << QList<int>{0, 75, 100, 100, 0, 73, 0, 0}
                                << QStringLiteral("AFR") << QStringLiteral("HC:  2000");
    QTest::newRow("lambda") << 57 << 145 << 210 << 1000 << false << QList<int>{0, 72, 2, 10, 0, 50, 0, 0}
                            << QStringLiteral("LMB") << QStringLiteral("HC:  0057");
    QTest::newRow("below zero") << -5 << -3 << -1 << -400 << false << QList<int>{0, 0, 0, 0, 0, -20, 0, 0}
                                << QStringLiteral("LMB") << QStringLiteral("HC:  0000");
}

void TestLiveGraph::traceValuesFromClampedReadings()
{
    QFETCH(int, hc);
    QFETCH(int, co2);
    QFETCH(int, o2);
    QFETCH(int, efficiency);
    QFETCH(bool, afr);
    QFETCH(QList<int>, expected);
    Rig rig;
    rig.reading.Hc = static_cast<std::int16_t>(hc);
    rig.reading.Co2 = static_cast<std::int16_t>(co2);
    rig.reading.O2 = static_cast<std::int16_t>(o2);
    rig.reading.Efficiency = static_cast<std::int16_t>(efficiency);
    rig.reading.ModeFlags = afr ? link::AfrMode : 0;
    QVERIFY(rig.form.FormShow());
    rig.state.session.tick();
    const display::GraphColumn &c = rig.lastColumn();
    QCOMPARE(c.PointCount, 8);
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(c.PointColors[i], display::kTraceColors[i]);
        QCOMPARE(c.PointValues[i], expected[i]);
    }
    QTEST(rig.form.CheckBox6->text(), "caption");
    QTEST(rig.form.Panel3->text(), "hcPanel");
    // the window keeps the reading as it clamped it
    QCOMPARE(int(rig.form.reading()->Hc), std::clamp(hc, 0, 2000));
    rig.form.FormClose();
}

void TestLiveGraph::panelTextsAndCaption()
{
    Rig rig;
    rig.state.UsLocale = true;
    rig.reading = {};
    rig.reading.Battery = 87;
    rig.reading.TimeToZero = 12;
    rig.reading.Efficiency = 1470;
    rig.reading.ModeFlags = link::AfrMode | link::Fahrenheit;
    rig.reading.Hc = 61;
    rig.reading.Co = 150;
    rig.reading.Co2 = 145;
    rig.reading.Nox = 2500;
    rig.reading.Rpm = 850;
    rig.reading.OilTemp = 250;
    rig.reading.O2 = 2090;
    rig.reading.FuelCode = 1;
    QCOMPARE(rig.form.CheckBox6->text(), QStringLiteral("LAM"));
    QCOMPARE(rig.form.Panel1->text(), QStringLiteral("CO"));
    QVERIFY(rig.form.FormShow());
    rig.state.session.tick();
    QCOMPARE(rig.form.CheckBox6->text(), QStringLiteral("AFR"));
    QCOMPARE(rig.form.Panel1->text(), QStringLiteral("CO:  1.50"));
    QCOMPARE(rig.form.Panel2->text(), QStringLiteral("CO2:  14.5"));
    QCOMPARE(rig.form.Panel3->text(), QStringLiteral("HC:  0061"));
    QCOMPARE(rig.form.Panel4->text(), QStringLiteral("O2:  20.00"));
    QCOMPARE(rig.form.Panel13->text(), QStringLiteral("NO:  2000"));
    QCOMPARE(rig.form.Panel6->text(), QStringLiteral("AFR      14.70"));
    QCOMPARE(rig.form.Panel7->text(), QString::fromUtf8("OIL \u00B0F    77.0"));
    QCOMPARE(rig.form.Panel8->text(), QStringLiteral("BATTERY %  087"));
    QCOMPARE(rig.form.Panel9->text(), QStringLiteral("RPM     0850"));
    QCOMPARE(rig.form.Panel10->text(), QStringLiteral("FUEL  GASOLINE"));
    QCOMPARE(rig.form.Panel11->text(), QStringLiteral("TIME TO ZERO 12"));
    rig.reading.ModeFlags = 0;
    rig.reading.Efficiency = 980;
    rig.state.session.tick(); // the answer to the poll sent before the change
    QCOMPARE(rig.form.CheckBox6->text(), QStringLiteral("AFR"));
    rig.state.session.tick();
    QCOMPARE(rig.form.CheckBox6->text(), QStringLiteral("LMB"));
    QCOMPARE(rig.form.Panel6->text(), QStringLiteral("LAMBDA   0.980"));
    QCOMPARE(rig.form.Panel7->text(), QString::fromUtf8("OIL \u00B0C    25.0"));
    rig.form.FormClose();
}

void TestLiveGraph::uncheckedBoxesAddEmptyColumns()
{
    Rig rig;
    rig.reading.Co = 150;
    rig.reading.Hc = 600;
    rig.reading.Rpm = 850;
    QVERIFY(rig.form.FormShow());
    rig.state.session.tick();
    auto *graph = rig.form.PerformanceGraph1;
    QCOMPARE(graph->Scale(), 100);

    rig.form.CheckBox1->setChecked(false);
    rig.state.session.tick();
    QCOMPARE(rig.lastColumn().PointCount, 7);
    QCOMPARE(rig.lastColumn().PointColors[0], display::kTraceColors[1]); // CO left out, order kept

    for (QCheckBox *box : rig.form.CheckBoxes)
        box->setChecked(false);
    const int ring = graph->historyCount();
    for (int n = 1; n < ring - 1; ++n) {
        const int before = graph->currentIndex();
        rig.state.session.tick();
        QCOMPARE(graph->currentIndex(), (before + 1) % ring);
        QCOMPARE(rig.lastColumn().PointCount, 0);
    }
    QCOMPARE(graph->Scale(), 100); // the 7-point column is still in the ring
    rig.state.session.tick();
    QCOMPARE(graph->Scale(), 0);
    // the picture is cleared to white
    const QImage img = graph->image();
    QCOMPARE(img.pixel(img.width() / 2, img.height() / 2), qRgb(255, 255, 255));
    QCOMPARE(img.pixel(img.width() - 1, img.height() - 1), qRgb(255, 255, 255));
    rig.form.FormClose();
}

void TestLiveGraph::invalidFrameChangesNothing()
{
    Rig rig;
    auto *graph = rig.form.PerformanceGraph1;
    rig.reading.Hc = 300;
    QVERIFY(rig.form.FormShow());
    rig.state.session.tick();
    rig.reading.Hc = 900;
    rig.state.session.tick(); // reads 300, polls for 900
    rig.corrupt = true;
    rig.state.session.tick(); // reads 900, polls for a corrupted frame
    QCOMPARE(rig.form.Panel3->text(), QStringLiteral("HC:  0900"));
    const int column = graph->currentIndex();
    const QImage picture = graph->image();
    rig.state.session.tick();
    rig.state.session.tick();
    QCOMPARE(rig.form.Panel3->text(), QStringLiteral("HC:  0900"));
    QCOMPARE(graph->currentIndex(), column);
    QCOMPARE(graph->image(), picture);
    QVERIFY(rig.form.polling());
    QCOMPARE(rig.polls(), 6); // polling goes on
    rig.corrupt = false;
    rig.state.session.tick(); // the last poll was answered corrupted too
    rig.state.session.tick();
    QCOMPARE(graph->currentIndex(), (column + 1) % graph->historyCount());
    rig.form.FormClose();
}

void TestLiveGraph::vanishedPortReopensOncePerTick()
{
    Rig rig;
    auto *graph = rig.form.PerformanceGraph1;
    QVERIFY(rig.form.FormShow());
    rig.state.session.tick();
    rig.state.session.tick(); // a working port is never reopened
    QCOMPARE(rig.fake.devices.size(), std::size_t(1));
    const int column = graph->currentIndex();

    rig.fake.device().close(); // as the serial device does on a vanished adapter
    auto onWrite = rig.fake.prepare;
    rig.fake.prepare = [](test::FakeDevice &d) { d.failOpen = true; };
    for (int tick = 1; tick <= 4; ++tick) {
        rig.state.session.tick();
        QCOMPARE(rig.fake.devices.size(), std::size_t(1 + tick)); // one attempt per tick, no more
        QVERIFY(rig.form.polling());
    }
    QVERIFY(rig.op.texts().isEmpty()); // the graph tells nobody of failed opens
    QCOMPARE(graph->currentIndex(), column);

    rig.fake.prepare = onWrite; // plugged back in
    rig.reading.Hc = 321;
    rig.state.session.tick(); // opens and polls; nothing to read yet
    QVERIFY(rig.state.port.PortOpen);
    QCOMPARE(graph->currentIndex(), column);
    rig.state.session.tick();
    QCOMPARE(rig.form.Panel3->text(), QStringLiteral("HC:  0321"));
    QCOMPARE(graph->currentIndex(), (column + 1) % graph->historyCount());
    rig.form.FormClose();
    QVERIFY(!rig.fake.device().isOpen());
}

void TestLiveGraph::pollIntervalFollowsTheGraphWidth_data()
{
    QTest::addColumn<int>("clientWidth");
    QTest::addColumn<int>("graphWidth");
    QTest::addColumn<int>("interval");
    QTest::newRow("763 pixels") << 1016 << 763 << 1428;
    QTest::newRow("1800 pixels") << 2400 << 1800 << 600;
    QTest::newRow("narrower than 18") << 20 << 16 << 2000;
}

void TestLiveGraph::pollIntervalFollowsTheGraphWidth()
{
    QFETCH(int, clientWidth);
    Rig rig;
    QVERIFY(rig.form.FormShow());
    rig.form.show();
    rig.form.resize(clientWidth, 700);
    QTEST(rig.form.PerformanceGraph1->width(), "graphWidth");
    QTEST(rig.form.pollInterval(), "interval");
    QVERIFY(rig.form.polling());
    // the graph keeps a column of history for each column it shows
    QCOMPARE(rig.form.PerformanceGraph1->historyCount(), rig.form.PerformanceGraph1->width() / 3 + 2);
    rig.form.close();
}

void TestLiveGraph::bottomBarStaysReachable()
{
    Rig rig;
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    const QPoint home((screen.width() - 417) / 2, screen.height() - 130);
    rig.form.show();
    rig.form.resize(screen);
    QCOMPARE(rig.form.Panel5->pos(), home);
    QCOMPARE(rig.form.Panel5->width(), 417);
    rig.form.resize(screen.width(), screen.height() - 100); // a title bar and a task bar
    QCOMPARE(rig.form.Panel5->x(), home.x());
    QCOMPARE(rig.form.Panel5->geometry().bottom(), screen.height() - 100 - 1);
    rig.form.resize(300, 200);
    QCOMPARE(rig.form.Panel5->pos(), QPoint(0, 200 - rig.form.Panel5->height()));
    QVERIFY(rig.form.Button1->isVisibleTo(&rig.form));
    rig.form.close();
}

void TestLiveGraph::everyWayOutClosesThePort_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("main menu") << QStringLiteral("button");
    QTest::newRow("close box") << QStringLiteral("close");
    QTest::newRow("escape") << QStringLiteral("reject");
    QTest::newRow("hidden") << QStringLiteral("hide");
}

void TestLiveGraph::everyWayOutClosesThePort()
{
    QFETCH(QString, way);
    Rig rig;
    QVERIFY(rig.form.FormShow());
    rig.form.show();
    rig.state.session.tick();
    if (way == QLatin1String("button"))
        rig.form.Button1->click();
    else if (way == QLatin1String("close"))
        rig.form.close();
    else if (way == QLatin1String("reject"))
        QTest::keyClick(&rig.form, Qt::Key_Escape);
    else
        rig.form.hide();
    QVERIFY(!rig.form.isVisible());
    QVERIFY(!rig.state.port.PortOpen);
    QCOMPARE(rig.fake.device().closes(), 1);
    QVERIFY(!rig.form.polling());
    QVERIFY(rig.form.reading() == nullptr);
    const int polls = rig.polls();
    rig.state.session.tick(); // a tick already queued does nothing
    QCOMPARE(rig.polls(), polls);
    QVERIFY(rig.onlyPolls()); // nothing is sent on closing
}

void TestLiveGraph::historySurvivesReopening()
{
    Rig rig;
    rig.reading.Hc = 1000;
    QVERIFY(rig.form.FormShow());
    for (int i = 0; i < 4; ++i)
        rig.state.session.tick();
    rig.form.Button1Click();
    const QImage before = rig.form.PerformanceGraph1->image();
    const int current = rig.form.PerformanceGraph1->currentIndex();
    QVERIFY(rig.form.FormShow());
    QCOMPARE(rig.fake.devices.size(), size_t(2));
    QCOMPARE(rig.form.PerformanceGraph1->currentIndex(), current);
    QCOMPARE(rig.form.PerformanceGraph1->image(), before);
    rig.state.session.tick();
    QCOMPARE(rig.lastColumn().PointValues[2], 50);
    rig.form.FormClose();
}

void TestLiveGraph::paintingDoesNoSerialIo()
{
    Rig rig;
    QVERIFY(rig.form.FormShow());
    rig.form.show();
    rig.form.resize(900, 600);
    rig.state.session.tick();
    const auto written = rig.fake.device().written().size();
    const int reads = rig.fake.device().reads();
    const QImage shot = rig.form.grab().toImage();
    rig.form.repaint();
    rig.form.PerformanceGraph1->Refresh();
    QCoreApplication::processEvents();
    QCOMPARE(rig.fake.device().written().size(), written);
    QCOMPARE(rig.fake.device().reads(), reads);
    // the axes are drawn: the baseline runs black from the graph's left to the right scale
    const int base = 600 - 5 * (600 / 20);
    QCOMPARE(shot.pixelColor(150 + 50, base), QColor(Qt::black));
    QVERIFY(!shot.isNull());
    rig.form.close();
}

void TestLiveGraph::printNeedsAPrinter()
{
    Rig rig;
    QVERIFY(rig.form.FormShow());
    QVERIFY(!rig.form.Button2->isEnabled());
    rig.form.Button2Click(); // nothing to print on, nothing happens
    QVERIFY(rig.form.polling());
    rig.form.FormClose();
}

void TestLiveGraph::printsTheWindowOnOnePage()
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("graph.pdf"));
    test::PdfPrinting printing(pdf);
    Rig rig;
    rig.state.printing = &printing;
    rig.reading.Hc = 800;
    QVERIFY(rig.form.FormShow());
    QVERIFY(rig.form.Button2->isEnabled());
    rig.form.show();
    rig.state.session.tick();
    const int polls = rig.polls();
    rig.form.Button2->click();
    QCOMPARE(printing.jobs, 1);
    QVERIFY(QFileInfo(pdf).size() > 1000);
    QFile f(pdf);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll().count("/Type /Page\n") + 0, 1);
    QCOMPARE(rig.polls(), polls); // printing talks to nobody
    QVERIFY(rig.form.polling());
    rig.form.close();
}

QTEST_MAIN(TestLiveGraph)
#include "tst_livegraph.moc"
