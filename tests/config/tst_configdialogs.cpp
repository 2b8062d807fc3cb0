#include "config/configframes.h"
#include "config/ui/calibrationdialog.h"
#include "config/ui/headerdialog.h"
#include "config/ui/setupdialog.h"
#include "tests/support/fakedevice.h"
#include "tests/support/scriptedoperator.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace qova;
using Bytes = std::vector<std::uint8_t>;

namespace {

// The program's shared state over scripted devices, with an analyser that answers every
// complete frame with `answer` (none: silence).
struct Rig {
    link::VirtualPause clock;
    test::ScriptedOperator op;
    std::vector<std::unique_ptr<test::FakeDevice>> devices;
    std::optional<std::uint8_t> answer = 'O';
    bool failOpen = false;
    // What the cursor was while the frame went out, and while each box was shown.
    std::vector<bool> waitCursorOnWrite;
    std::vector<bool> waitCursorOnMessage;
    ui::SharedState state{[this](int) -> std::unique_ptr<link::ByteDevice> {
                              devices.push_back(std::make_unique<test::FakeDevice>(clock));
                              auto &d = *devices.back();
                              d.failOpen = failOpen;
                              d.onWrite = [this](std::uint8_t, test::FakeDevice &dev) {
                                  waitCursorOnWrite.push_back(waitCursor());
                                  const std::size_t n = dev.written().size();
                                  const bool header = dev.written().front().byte == config::kHeaderCommand;
                                  if (n % (header ? 43 : 11) == 0 && answer)
                                      dev.queue({*answer});
                              };
                              return std::make_unique<test::DeviceProxy>(d);
                          },
                          clock, op};

    Rig()
    {
        state.now = [] { return QDateTime(QDate(2026, 12, 8), QTime(4, 16, 37)); };
        op.onMessage = [this](const test::ScriptedOperator::Shown &) { waitCursorOnMessage.push_back(waitCursor()); };
    }
    static bool waitCursor()
    {
        const QCursor *c = QGuiApplication::overrideCursor();
        return c != nullptr && c->shape() == Qt::WaitCursor;
    }
    // The digital display's open port, which setup and calibration use.
    void openPortAsTheDisplayDoes()
    {
        QVERIFY(link::OpenPort(state.port).ok());
        QVERIFY(state.port.PortOpen);
    }
    Bytes written() const { return devices.empty() ? Bytes() : devices.back()->writtenBytes(); }
};

void showAndActivate(QWidget &w)
{
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
}

QWidget *focused()
{
    return QApplication::focusWidget();
}

} // namespace

class TestConfigDialogs : public QObject {
    Q_OBJECT
private slots:
    void setupStartsWithThePartsChoices();
    void setupGasolineInUsLocale();
    void setupSendsTheChoices_data();
    void setupSendsTheChoices();
    void setupFailureStaysOpenAndChoicesSurviveCancelAndReopening();
    void setupKeyboard();

    void calibrationStartTexts();
    void calibrationRefusesWhatIsNoValue_data();
    void calibrationRefusesWhatIsNoValue();
    void calibrationSendsAndCloses_data();
    void calibrationSendsAndCloses();
    void calibrationEnterWalksTheBoxes();

    void headerStartTexts();
    void headerEditsTake24AndSend20();
    void headerEnterWalksToSendAndPressesIt();
    void headerOutcomes_data();
    void headerOutcomes();

    void screenshots();
};

// ---- Setup --------------------------------------------------------------------------------

void TestConfigDialogs::setupStartsWithThePartsChoices()
{
    Rig rig;
    config::TSETUP d(rig.state);
    QCOMPARE(d.windowTitle(), QStringLiteral("SETUP"));
    QCOMPARE(d.Label1->text(), QStringLiteral("Date and Time Same AS PC"));
    QVERIFY(d.Label1->font().bold());
    QCOMPARE(d.GroupBox1->title(), QStringLiteral("FUEL"));
    QCOMPARE(d.GroupBox3->title(), QStringLiteral("DISPLAY"));
    QCOMPARE(d.EFF->title(), QStringLiteral("EFF"));
    QCOMPARE(d.TEMP->title(), QStringLiteral("TEMP"));
    QStringList captions;
    for (QRadioButton *b : {d.RadioButton1, d.RadioButton2, d.RadioButton3, d.RadioButton7, d.RadioButton8,
                            d.RadioButton9, d.RadioButton10, d.RadioButton11, d.RadioButton12, d.RadioButton13})
        captions << b->text() + (b->isChecked() ? QStringLiteral("*") : QString());
    QCOMPARE(captions,
             QStringList({"PETROL*", "CNG", "LPG", "LINE*", "4 PAGE", "8 PAGE", "LAMBDA*", "AFR", "C*", "F"}));
    QCOMPARE(d.Label2->text(), QStringLiteral("RPM"));
    QVERIFY(d.ComboBox1->isEditable());
    QCOMPARE(d.ComboBox1->maxVisibleItems(), 9);
    QStringList items;
    for (int i = 0; i < d.ComboBox1->count(); ++i)
        items << d.ComboBox1->itemText(i);
    QCOMPARE(items, QStringList({" 2 Stroke", " 4 Stroke", " /2", " /3", " /4", " /5", " /6", " /8", " /12"}));
    QCOMPARE(d.ComboBox1->currentText(), QStringLiteral(" 2 Stroke"));
    QCOMPARE(d.Button1->text(), QStringLiteral("&SEND"));
    QCOMPARE(d.Button2->text(), QStringLiteral("&CANCEL"));
    QCOMPARE(int(d.SetupFlags()), 0x05);
}

void TestConfigDialogs::setupGasolineInUsLocale()
{
    Rig rig;
    config::TSETUP d(rig.state);
    rig.state.UsLocale = true; // the main window learns the locale after the windows exist
    d.show();
    QCOMPARE(d.RadioButton1->text(), QStringLiteral("GASOLINE"));
    d.RadioButton2->click();
    d.RadioButton1->click();
    QCOMPARE(int(d.SetupFlags()), 0x05);
}

void TestConfigDialogs::setupSendsTheChoices_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QString>("rpm"); // text put in the box; empty: leave it
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("mode");
    QTest::newRow("start") << QStringList() << QString() << 0x05 << 0;
    QTest::newRow("cng_8page_afr_f") << QStringList{"RadioButton2", "RadioButton9", "RadioButton11", "RadioButton13"}
                                     << QString() << 0xE6 << 0;
    QTest::newRow("lpg_line_lambda_c") << QStringList{"RadioButton3", "RadioButton7", "RadioButton10", "RadioButton12"}
                                       << QString() << 0x04 << 0;
    QTest::newRow("4page_back_to_petrol")
        << QStringList{"RadioButton3", "RadioButton8", "RadioButton1"} << QString() << 0x15 << 0;
    QTest::newRow("mode_12") << QStringList() << QStringLiteral(" /12") << 0x05 << 8;
    QTest::newRow("mode_4_stroke") << QStringList() << QStringLiteral(" 4 Stroke") << 0x05 << 1;
    QTest::newRow("typed_not_an_item") << QStringList() << QStringLiteral("/12") << 0x05 << 0xFF;
}

void TestConfigDialogs::setupSendsTheChoices()
{
    QFETCH(QStringList, clicks);
    QFETCH(QString, rpm);
    QFETCH(int, flags);
    QFETCH(int, mode);
    Rig rig;
    rig.openPortAsTheDisplayDoes();
    config::TSETUP d(rig.state);
    d.show();
    for (const QString &name : clicks) {
        auto *button = d.findChild<QRadioButton *>(name);
        QVERIFY2(button != nullptr, qPrintable(name));
        button->click();
    }
    if (!rpm.isNull())
        d.ComboBox1->setEditText(rpm);
    QCOMPARE(int(d.SetupFlags()), flags);

    d.Button1->click();
    const Bytes sent = rig.written();
    QCOMPARE(sent.size(), std::size_t(11));
    QCOMPARE(int(sent[0]), 0x77);
    QCOMPARE(int(sent[1]), flags);
    QCOMPARE(int(sent[2]), mode);
    QCOMPARE(Bytes(sent.begin() + 3, sent.begin() + 9), (Bytes{0x37, 0x16, 0x04, 0x08, 0x12, 0x1A}));
    QVERIFY(!d.isVisible());
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QVERIFY(rig.op.shown.empty());
    QCOMPARE(rig.devices.size(), std::size_t(1)); // the display's port, not a new one
}

void TestConfigDialogs::setupFailureStaysOpenAndChoicesSurviveCancelAndReopening()
{
    Rig rig;
    rig.openPortAsTheDisplayDoes();
    rig.answer.reset();
    config::TSETUP d(rig.state);
    d.show();
    d.RadioButton2->click();
    d.RadioButton11->click();
    d.ComboBox1->setCurrentIndex(4);
    const std::int64_t start = rig.clock.nowMs();
    d.Button1->click();

    QCOMPARE(rig.op.texts(), QStringList{QStringLiteral("Communication failed try again 2")});
    QCOMPARE(rig.op.shown.front().caption, QStringLiteral("QOVA"));
    QVERIFY(rig.clock.nowMs() - start >= 3000); // both waits in full when nothing answers
    QVERIFY(d.isVisible());
    QCOMPARE(rig.waitCursorOnWrite, std::vector<bool>(11, true));
    QCOMPARE(rig.waitCursorOnMessage, std::vector<bool>{false});

    d.Button2->click();
    QVERIFY(!d.isVisible());
    QCOMPARE(rig.written().size(), std::size_t(11));

    d.show();
    QVERIFY(d.RadioButton2->isChecked());
    QVERIFY(d.RadioButton11->isChecked());
    QVERIFY(d.RadioButton7->isChecked());
    QCOMPARE(d.ComboBox1->currentText(), QStringLiteral(" /4"));
    QCOMPARE(int(d.SetupFlags()), 0x46);

    rig.answer = 'O';
    d.Button1->click();
    QVERIFY(!d.isVisible());
    const Bytes sent = rig.written();
    QCOMPARE(sent.size(), std::size_t(22));
    QCOMPARE(int(sent[12]), 0x46);
    QCOMPARE(int(sent[13]), 4);
    QCOMPARE(rig.op.shown.size(), std::size_t(1));
}

void TestConfigDialogs::setupKeyboard()
{
    Rig rig;
    rig.openPortAsTheDisplayDoes();
    config::TSETUP d(rig.state);
    showAndActivate(d);
    d.RadioButton8->click();
    d.ComboBox1->setEditText(QStringLiteral(" /7"));
    for (QWidget *w : std::initializer_list<QWidget *>{d.RadioButton8, d.ComboBox1}) {
        w->setFocus();
        QTest::keyClick(focused(), Qt::Key_Return);
        QVERIFY2(rig.written().empty(), qPrintable(w->objectName()));
        QVERIFY(d.isVisible());
    }
    // Enter in the box did not add what was typed to the list.
    QCOMPARE(d.ComboBox1->count(), 9);
    d.ComboBox1->setCurrentIndex(2);
    // The arrow keys move the check within a group, and the flags follow.
    d.RadioButton10->setFocus();
    QTest::keyClick(focused(), Qt::Key_Down);
    QVERIFY(d.RadioButton11->isChecked());
    QCOMPARE(int(d.SetupFlags()), 0x55);
    d.Button1->setFocus();
    QTest::keyClick(focused(), Qt::Key_Return);
    const Bytes sent = rig.written();
    QCOMPARE(sent.size(), std::size_t(11));
    QCOMPARE(int(sent[1]), 0x55);
    QCOMPARE(int(sent[2]), 2);
    QVERIFY(!d.isVisible());
}

// ---- Calibration ----------------------------------------------------------------------------

void TestConfigDialogs::calibrationStartTexts()
{
    Rig rig;
    config::TForm10 d(rig.state);
    QCOMPARE(d.windowTitle(), QStringLiteral("CALIBRATION"));
    QCOMPARE(d.Label1->text(), QStringLiteral("Enter Gas Cylinder Values as Follows:-"));
    QVERIFY(d.Label1->font().bold());
    QCOMPARE(d.Label2->text(), QStringLiteral("Cylinder Value                     Enter"));
    QCOMPARE(d.Label3->text(), QStringLiteral("CO                  3.50%                         350"));
    QCOMPARE(d.Label4->text(), QStringLiteral("CO2                13.80%                        1380"));
    QCOMPARE(d.Label5->text(), QStringLiteral("HC(Propane)   2200ppm                     2200"));
    QCOMPARE(d.Label6->text(), QStringLiteral("NO                   1000ppm                    1000"));
    QStringList names;
    for (QLabel *l : {d.StaticText1, d.StaticText2, d.StaticText3, d.StaticText4}) {
        QVERIFY(l->font().bold());
        names << l->text();
    }
    QCOMPARE(names, QStringList({"CO", "CO2", "HC", "NO"}));
    for (QLineEdit *e : {d.Edit1, d.Edit2, d.Edit3, d.Edit4})
        QCOMPARE(e->text(), QStringLiteral("0000"));
    QCOMPARE(d.Button1->text(), QStringLiteral("&SEND"));
    QCOMPARE(d.Button2->text(), QStringLiteral("&CANCEL"));
}

void TestConfigDialogs::calibrationRefusesWhatIsNoValue_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("refused");
    QTest::addColumn<QString>("message");
    QTest::newRow("co_as_percent") << QStringList{"3.50", "1380", "2200", "1000"} << 0
                                   << QStringLiteral("CO must be a whole number from 0 to 65535");
    QTest::newRow("co2_too_big") << QStringList{"350", "70000", "2200", "1000"} << 1
                                 << QStringLiteral("CO2 must be a whole number from 0 to 65535");
    QTest::newRow("hc_empty") << QStringList{"350", "1380", "", "1000"} << 2
                              << QStringLiteral("HC must be a whole number from 0 to 65535");
    QTest::newRow("no_negative") << QStringList{"350", "1380", "2200", "-1"} << 3
                                 << QStringLiteral("NO must be a whole number from 0 to 65535");
    QTest::newRow("first_of_two") << QStringList{"350", "abc", "2200", "1e3"} << 1
                                  << QStringLiteral("CO2 must be a whole number from 0 to 65535");
}

void TestConfigDialogs::calibrationRefusesWhatIsNoValue()
{
    QFETCH(QStringList, texts);
    QFETCH(int, refused);
    QFETCH(QString, message);
    Rig rig;
    rig.openPortAsTheDisplayDoes();
    config::TForm10 d(rig.state);
    showAndActivate(d);
    const std::array<QLineEdit *, 4> edits = {d.Edit1, d.Edit2, d.Edit3, d.Edit4};
    for (int i = 0; i < 4; ++i)
        edits[std::size_t(i)]->setText(texts[i]);
    d.Button1->setFocus();
    d.Button1->click();

    QCOMPARE(rig.op.texts(), QStringList{message});
    QVERIFY(rig.written().empty());
    QCOMPARE(rig.clock.nowMs(), std::int64_t(0)); // not even the pre-send wait
    QVERIFY(d.isVisible());
    QCOMPARE(focused(), edits[std::size_t(refused)]);
    QCOMPARE(edits[std::size_t(refused)]->text(), texts[refused]);
}

void TestConfigDialogs::calibrationSendsAndCloses_data()
{
    QTest::addColumn<bool>("answered");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("result");
    QTest::newRow("acknowledged") << true << QStringList() << int(QDialog::Accepted);
    QTest::newRow("silent") << false << QStringList{"Communication failed try again 3"} << int(QDialog::Rejected);
}

void TestConfigDialogs::calibrationSendsAndCloses()
{
    QFETCH(bool, answered);
    QFETCH(QStringList, messages);
    QFETCH(int, result);
    Rig rig;
    rig.openPortAsTheDisplayDoes();
    if (!answered)
        rig.answer.reset();
    config::TForm10 d(rig.state);
    d.show();
    d.Edit1->setText(QStringLiteral("350"));
    d.Edit2->setText(QStringLiteral(" 1380"));
    d.Edit3->setText(QStringLiteral("2200"));
    d.Edit4->setText(QStringLiteral("1000"));
    d.Button1->click();

    QCOMPARE(rig.written(), (Bytes{0x99, 0x5E, 0x01, 0x64, 0x05, 0x98, 0x08, 0xE8, 0x03, 0xAD, 0xFD}));
    QCOMPARE(rig.op.texts(), messages);
    QVERIFY(!d.isVisible());
    QCOMPARE(d.result(), result);
    QCOMPARE(rig.waitCursorOnWrite, std::vector<bool>(11, true));
    QVERIFY(!Rig::waitCursor());
    QCOMPARE(rig.devices.size(), std::size_t(1));

    d.show(); // the values stay for the next opening
    QCOMPARE(d.Edit2->text(), QStringLiteral(" 1380"));
}

void TestConfigDialogs::calibrationEnterWalksTheBoxes()
{
    Rig rig;
    rig.openPortAsTheDisplayDoes();
    config::TForm10 d(rig.state);
    showAndActivate(d);
    d.Edit1->setFocus();
    const std::vector<QWidget *> order = {d.Edit2, d.Edit3, d.Edit4, d.Button1};
    for (QWidget *next : order) {
        QTest::keyClick(focused(), Qt::Key_Return);
        QCOMPARE(focused(), next);
    }
    for (QLineEdit *e : {d.Edit1, d.Edit2, d.Edit3, d.Edit4})
        QCOMPARE(e->text(), QStringLiteral("0000"));
    QVERIFY(rig.written().empty());
    QVERIFY(d.isVisible());
    QTest::keyClick(focused(), Qt::Key_Return); // on SEND: sends
    QCOMPARE(rig.written().size(), std::size_t(11));
    QVERIFY(!d.isVisible());
}

// ---- Header lines -------------------------------------------------------------------------------

void TestConfigDialogs::headerStartTexts()
{
    Rig rig;
    config::TForm6 d(rig.state);
    QCOMPARE(d.windowTitle(), QStringLiteral("QOVA"));
    QCOMPARE(d.StaticText1->text(), QStringLiteral("LINE1"));
    QCOMPARE(d.StaticText2->text(), QStringLiteral("LINE2"));
    QCOMPARE(d.Edit1->text(), QStringLiteral("       "));
    QCOMPARE(d.Edit2->text(), QStringLiteral("  "));
    QCOMPARE(d.Button1->text(), QStringLiteral("&SEND"));
    QCOMPARE(d.Button1->palette().color(QPalette::ButtonText), QColor(Qt::yellow));
    QVERIFY(!(d.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(d.windowFlags() & Qt::WindowMaximizeButtonHint));
}

void TestConfigDialogs::headerEditsTake24AndSend20()
{
    Rig rig;
    config::TForm6 d(rig.state);
    showAndActivate(d);
    d.Edit1->clear();
    QTest::keyClicks(d.Edit1, QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123"));
    QCOMPARE(d.Edit1->text(), QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWX"));
    QTest::keyClicks(d.Edit2, QStringLiteral("x"));
    QCOMPARE(d.Edit2->text(), QStringLiteral("  x"));
    d.Button1->click();
    const Bytes sent = rig.written();
    QCOMPARE(sent.size(), std::size_t(43));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(sent.data()) + 1, 40),
             QByteArray("ABCDEFGHIJKLMNOPQRST  x                 "));
    QCOMPARE(d.Edit1->text().size(), 24); // what was not sent stays in the box
}

void TestConfigDialogs::headerEnterWalksToSendAndPressesIt()
{
    Rig rig;
    config::TForm6 d(rig.state);
    showAndActivate(d);
    d.Edit1->setFocus();
    QTest::keyClick(focused(), Qt::Key_Return);
    QCOMPARE(focused(), d.Edit2);
    QTest::keyClick(focused(), Qt::Key_Enter);
    QCOMPARE(focused(), d.Button1);
    QCOMPARE(d.Edit1->text(), QStringLiteral("       "));
    QCOMPARE(d.Edit2->text(), QStringLiteral("  "));
    QVERIFY(rig.devices.empty());
    QVERIFY(d.isVisible());
    QTest::keyClick(focused(), Qt::Key_Return);
    QCOMPARE(rig.written().size(), std::size_t(43));
    QVERIFY(!d.isVisible());
}

void TestConfigDialogs::headerOutcomes_data()
{
    QTest::addColumn<bool>("failOpen");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("written");
    QTest::addColumn<bool>("portOpen");
    QTest::newRow("acknowledged") << false << true << QStringList() << 43 << true;
    QTest::newRow("silent") << false << false << QStringList{"Communication failed try again 2"} << 43 << true;
    QTest::newRow("port_fails") << true << true << QStringList{"Communication failed try again 1"} << 0 << false;
}

void TestConfigDialogs::headerOutcomes()
{
    QFETCH(bool, failOpen);
    QFETCH(bool, answered);
    QFETCH(QStringList, messages);
    QFETCH(int, written);
    QFETCH(bool, portOpen);
    Rig rig;
    rig.failOpen = failOpen;
    if (!answered)
        rig.answer.reset();
    config::TForm6 d(rig.state);
    d.show();
    const std::int64_t start = rig.clock.nowMs();
    d.Button1->click();

    QCOMPARE(rig.op.texts(), messages);
    for (const auto &s : rig.op.shown) {
        QCOMPARE(s.caption, QStringLiteral("QOVA"));
        QCOMPARE(s.buttons, ui::Buttons::Ok);
    }
    if (failOpen)
        QVERIFY(!rig.op.shown.front().detail.isEmpty()); // the system's reason, for whoever looks
    QCOMPARE(int(rig.written().size()), written);
    QCOMPARE(rig.state.port.PortOpen, portOpen);
    QVERIFY(!d.isVisible());
    QVERIFY(std::none_of(rig.waitCursorOnWrite.begin(), rig.waitCursorOnWrite.end(), [](bool b) { return b; }));
    if (!answered)
        QVERIFY(rig.clock.nowMs() - start >= 2500);
}

void TestConfigDialogs::screenshots()
{
    const QString dir = qEnvironmentVariable("QOVA_SCREENSHOTS");
    if (dir.isEmpty())
        QSKIP("set QOVA_SCREENSHOTS to a folder to render the dialogs");
    Rig rig;
    config::TSETUP setup(rig.state);
    config::TForm10 calibration(rig.state);
    config::TForm6 header(rig.state);
    const std::pair<QWidget *, const char *> shots[] = {
        {&setup, "setup.png"}, {&calibration, "calibration.png"}, {&header, "header.png"}};
    for (const auto &[w, name] : shots) {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QVERIFY(w->grab().toImage().save(QDir(dir).filePath(QString::fromLatin1(name))));
        w->hide();
    }
}

QTEST_MAIN(TestConfigDialogs)
#include "tst_configdialogs.moc"
