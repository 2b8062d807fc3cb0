// A printed report is also saved to the history, and a save that fails costs the operator
// one message and nothing else: the page and the registration file are as without it.
#include "history/testarchive.h"
#include "report/reporthistory.h"
#include "report/testreport.h"
#include "report/ui/printreport.h"
#include "report/ui/vehicledialog.h"
#include "tests/report/reportfixtures.h"
#include "tests/support/filecontents.h"
#include "tests/support/pdfprinting.h"
#include "tests/support/scriptedoperator.h"
#include "tests/support/windowrig.h"
#include "ui/sharedstate.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace qova;

namespace {
const QDateTime kNow(QDate(2024, 3, 5), QTime(14, 7, 9), QTimeZone(3600));
} // namespace

class TestReportHistory : public QObject, test::WindowRig {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void printedReportIsSavedWithItsPage_data();
    void printedReportIsSavedWithItsPage();
    void failedSaveIsOneMessageAndKeepsTheTest();
    void vehicleDialogShowsTheLastResult_data();
    void vehicleDialogShowsTheLastResult();

private:
    void print(const link::LiveReading &reading, const QString &registration);

    QWidget window_;
};

void TestReportHistory::init()
{
    setUpWindows(QStringLiteral("page.pdf"));
    state_->now = [] { return kNow; };
    openHistory(QStringLiteral("sqlite://") + dir_->filePath(QStringLiteral("data/history.db")),
                dir_->filePath(QStringLiteral("data/pending-tests.json")));
}

void TestReportHistory::cleanup()
{
    tearDownWindows();
}

void TestReportHistory::print(const link::LiveReading &reading, const QString &registration)
{
    report::TForm8 dialog;
    dialog.Edit2->setText(registration);
    QTimer::singleShot(0, &dialog, [&dialog] { dialog.Button1->click(); });
    report::PrintTestReport(*state_, &window_, reading, dialog);
    archive_->settle();
}

void TestReportHistory::printedReportIsSavedWithItsPage_data()
{
    QTest::addColumn<int>("modeFlags");
    QTest::addColumn<int>("efficiency");
    QTest::addColumn<int>("co");
    QTest::addColumn<int>("printedEfficiency");
    QTest::addColumn<int>("printedCo");
    QTest::addColumn<bool>("afr");
    QTest::addColumn<bool>("fahrenheit");
    QTest::newRow("lambda, degC") << 0 << 1002 << 123 << 1002 << 123 << false << false;
    QTest::newRow("lambda out of range") << 0 << 400 << 123 << 9999 << 123 << false << false;
    QTest::newRow("AFR, degF") << int(link::AfrMode | link::Fahrenheit) << 1470 << 45 << 1470 << 45 << true << true;
}

void TestReportHistory::printedReportIsSavedWithItsPage()
{
    QFETCH(int, modeFlags);
    QFETCH(int, efficiency);
    QFETCH(int, co);
    QFETCH(int, printedEfficiency);
    QFETCH(int, printedCo);
    QFETCH(bool, afr);
    QFETCH(bool, fahrenheit);
    link::LiveReading reading = test::SampleReading();
    reading.ModeFlags = static_cast<std::uint8_t>(modeFlags);
    reading.Efficiency = static_cast<std::int16_t>(efficiency);
    reading.Co = static_cast<std::int16_t>(co);
    print(reading, QStringLiteral("ab12 cde"));

    QVERIFY2(op_.shown.empty(), op_.shown.empty() ? "" : qPrintable(op_.shown[0].text));
    QCOMPARE(printing_->jobs, 1);
    history::HistoryDatabase *db = &readHistory();
    QVERIFY(db->isOpen());
    const std::vector<history::TestEntry> found = db->search(QStringLiteral("AB12CDE"), 10).valueOr({});
    QCOMPARE(found.size(), std::size_t(1));
    const history::TestEntry &saved = found.front();
    QCOMPARE(saved.registration, QStringLiteral("ab12 cde"));
    QCOMPARE(saved.companyHeader, QStringLiteral("ACME MOTORS"));
    QCOMPARE(saved.kind, QStringLiteral("report"));
    QVERIFY(saved.verdict.isNull());
    QCOMPARE(saved.takenAt, kNow);
    QCOMPARE(saved.printed.efficiency, printedEfficiency);
    QCOMPARE(saved.printed.co, printedCo);
    QCOMPARE(saved.afr, afr);
    QCOMPARE(saved.fahrenheit, fahrenheit);
    // The kept texts make the same file text, hence the same page, again.
    QCOMPARE(report::RegistrationFileText(saved.pageLines), test::FileContents(QStringLiteral("ab12 cde.TXT")));
}

void TestReportHistory::failedSaveIsOneMessageAndKeepsTheTest()
{
    const QString damaged = dir_->filePath(QStringLiteral("data/history.db"));
    QVERIFY(test::WriteFileContents(damaged, QByteArray(4096, 'x')));
    print(test::SampleReading(), QStringLiteral("J123ABC"));
    QCOMPARE(printing_->jobs, 1);
    QVERIFY(test::FileContents(QStringLiteral("J123ABC.TXT")).startsWith("ACME MOTORS "));
    QCOMPARE(op_.shown.size(), std::size_t(1));
    QVERIFY2(op_.shown[0].text.startsWith(
                 QStringLiteral("The history file %1 is damaged or not a history database").arg(damaged)),
             qPrintable(op_.shown[0].text));
    QVERIFY2(op_.shown[0].text.contains(QStringLiteral("(1 waiting)")), qPrintable(op_.shown[0].text));
    QCOMPARE(op_.shown[0].icon, ui::Icon::Warning);
    QCOMPARE(archive_->pendingCount(), 1);
    QCOMPARE(test::FileContents(damaged), QByteArray(4096, 'x'));
}

void TestReportHistory::vehicleDialogShowsTheLastResult_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("as saved") << "AB12CDE"
                              << "Last test 2024-03-05 14:07: CO 0.45%, HC 120 ppm, Lambda 1.021";
    QTest::newRow("case and blanks") << "ab12 cde"
                                     << "Last test 2024-03-05 14:07: CO 0.45%, HC 120 ppm, Lambda 1.021";
    QTest::newRow("cut to nine") << "AB12CDE99Z"
                                 << "";
    QTest::newRow("no history") << "ZZ99ZZZ"
                                << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestReportHistory::vehicleDialogShowsTheLastResult()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    link::LiveReading reading = test::SampleReading();
    reading.Co = 99;
    state_->now = [] { return kNow.addDays(-7); };
    print(reading, QStringLiteral("AB12CDE"));
    reading.Co = 45;
    reading.Hc = 120;
    reading.Efficiency = 1021;
    state_->now = [] { return kNow; };
    print(reading, QStringLiteral("AB12CDE"));
    QVERIFY(archive_->reachable());

    report::TForm8 dialog;
    dialog.setLastResult([this, &dialog](const QString &registration) {
        archive_->lookUpLast(registration.left(report::kRegistrationLength), &dialog,
                             [&dialog](const history::TestArchive::LastResult &found) {
                                 dialog.lastResultFound(found.test ? report::LastResultText(*found.test) : QString());
                             });
    });
    dialog.show();
    dialog.Edit2->setText(typed);
    QVERIFY(archive_->settle());
    QCOMPARE(dialog.LastResult->text(), shown);
    QCOMPARE(dialog.LastResult->isVisible(), !shown.isEmpty());
}

QTEST_MAIN(TestReportHistory)
#include "tst_reporthistory.moc"
