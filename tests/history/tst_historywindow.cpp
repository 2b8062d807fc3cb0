// The History window and the database dialog over a real SQLite file.
#include "app/ui/programwindows.h"
#include "history/historydatabase.h"
#include "history/testarchive.h"
#include "history/testlisting.h"
#include "history/ui/historydialog.h"
#include "history/ui/historywindow.h"
#include "report/ui/printreport.h"
#include "report/ui/vehicledialog.h"
#include "tests/history/pgcluster.h"
#include "tests/report/reportfixtures.h"
#include "tests/support/filecontents.h"
#include "tests/support/pdfprinting.h"
#include "tests/support/scriptedoperator.h"
#include "tests/support/windowrig.h"
#include "ui/sharedstate.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace qova;

namespace {
QString pdfText(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    p.waitForFinished(20000);
    return QString::fromUtf8(p.readAllStandardOutput());
}
} // namespace

class TestHistoryWindow : public QObject, test::WindowRig {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void searchListsTheRegistrationNewestFirst_data();
    void searchListsTheRegistrationNewestFirst();
    void printAgainGivesTheSamePage();
    void exportWritesTheListedTests();
    void waitingTestsAreCounted();
    void failedSearchIsSaidAndKeepsTheList_data();
    void failedSearchIsSaidAndKeepsTheList();
    void connectionTestSaysWhatItFound_data();
    void connectionTestSaysWhatItFound();
    void okKeepsTheChoiceAndUsesIt();
    void okTestsTheConnectionFirst_data();
    void okTestsTheConnectionFirst();
    void serverThatNeverAnswersNeverHoldsTheWindows();
    void vehicleDialogShowsTheLastResultOnceTheServerAnswers();
    void cleanupTestCase();

private:
    void printReport(const QString &registration, const QDateTime &when, int co, bool wait = true);

    QString url_;
};

void TestHistoryWindow::init()
{
    setUpWindows(QStringLiteral("first.pdf"));
    url_ = QStringLiteral("sqlite://") + dir_->filePath(QStringLiteral("history.db"));
    openHistory(url_, dir_->filePath(QStringLiteral("pending-tests.json")));
}

void TestHistoryWindow::cleanup()
{
    tearDownWindows();
}

void TestHistoryWindow::printReport(const QString &registration, const QDateTime &when, int co, bool wait)
{
    state_->now = [when] { return when; };
    link::LiveReading reading = test::SampleReading();
    reading.Co = static_cast<std::int16_t>(co);
    report::TForm8 dialog;
    dialog.Edit2->setText(registration);
    QTimer::singleShot(0, &dialog, [&dialog] { dialog.Button1->click(); });
    report::PrintTestReport(*state_, nullptr, reading, dialog);
    if (wait)
        QVERIFY(archive_->settle());
}

void TestHistoryWindow::searchListsTheRegistrationNewestFirst_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("listed"); // registration and CO, top to bottom
    QTest::newRow("blanks and case") << "ab12 cde" << QStringList{"AB12CDE 0.03", "ab12cde 0.01"};
    QTest::newRow("other") << "X1" << QStringList{"X1 0.02"};
    QTest::newRow("blank lists all") << "" << QStringList{"AB12CDE 0.03", "X1 0.02", "ab12cde 0.01"};
    QTest::newRow("none") << "NOPE" << QStringList{};
}

void TestHistoryWindow::searchListsTheRegistrationNewestFirst()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, listed);
    printReport(QStringLiteral("ab12cde"), QDateTime(QDate(2026, 1, 1), QTime(9, 0)), 1);
    printReport(QStringLiteral("X1"), QDateTime(QDate(2026, 1, 2), QTime(9, 0)), 2);
    printReport(QStringLiteral("AB12CDE"), QDateTime(QDate(2026, 1, 3), QTime(9, 0)), 3);
    history::HistoryWindow window(*state_);
    window.search->setText(typed);
    window.find->click();
    QVERIFY(archive_->settle());
    QStringList seen;
    const int registration = static_cast<int>(history::ListedColumnNames().indexOf(QStringLiteral("Registration")));
    const int co = static_cast<int>(history::ListedColumnNames().indexOf(QStringLiteral("CO %")));
    for (int row = 0; row < window.list->rowCount(); ++row)
        seen << window.list->item(row, registration)->text() + u' ' + window.list->item(row, co)->text();
    QCOMPARE(seen, listed);
    if (listed.isEmpty()) {
        QCOMPARE(window.details->toPlainText(), QStringLiteral("No tests found."));
    } else {
        QVERIFY(window.details->toPlainText().contains(QStringLiteral("EXHAUST EMISSIONS TEST REPORT")));
        QVERIFY(window.details->toPlainText().contains(QStringLiteral("As received: CO ")));
    }
}

void TestHistoryWindow::printAgainGivesTheSamePage()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed, so the printed pages cannot be read back");
    printReport(QStringLiteral("J123ABC"), QDateTime(QDate(2026, 1, 1), QTime(9, 0)), 250);
    const QString first = pdfText(printing_->path());
    QVERIFY(first.contains(QStringLiteral("2.50%")));
    test::PdfPrinting again(dir_->filePath(QStringLiteral("again.pdf")));
    state_->printing = &again;
    state_->now = [] { return QDateTime(QDate(2027, 6, 6), QTime(18, 0)); }; // a later day changes nothing
    history::HistoryWindow window(*state_);
    window.refresh();
    QVERIFY(archive_->settle());
    window.print->click();
    QCOMPARE(again.jobs, 1);
    QCOMPARE(again.lastTitle, QStringLiteral("Qova Analyzer"));
    QCOMPARE(pdfText(again.path()), first);
}

void TestHistoryWindow::exportWritesTheListedTests()
{
    printReport(QStringLiteral("AB12CDE"), QDateTime(QDate(2026, 1, 1), QTime(9, 0), QTimeZone(0)), 1);
    printReport(QStringLiteral("OTHER"), QDateTime(QDate(2026, 1, 2), QTime(9, 0), QTimeZone(0)), 2);
    history::HistoryWindow window(*state_);
    window.search->setText(QStringLiteral("ab12cde"));
    window.refresh();
    QVERIFY(archive_->settle());
    const QString path = dir_->filePath(QStringLiteral("tests.csv"));
    op_.saveNames.push_back(path);
    window.exportButton->click();
    QVERIFY(archive_->settle());
    QCOMPARE(op_.fileRequests.back().defaultSuffix, QStringLiteral("csv"));
    const QList<QByteArray> lines = test::FileContents(path).split('\n');
    QCOMPARE(lines.size(), 3); // header, one test, the empty rest after the last CRLF
    QVERIFY(lines[0].startsWith("\xEF\xBB\xBFid,kind,taken_at,registration,"));
    QVERIFY2(lines[1].contains(",report,2026-01-01T09:00:00+00:00,AB12CDE,"), lines[1].constData());
    QCOMPARE(window.status->text(), QStringLiteral("1 test(s) written to %1.").arg(path));

    op_.saveNames.push_back(QStringLiteral("/proc/tests.csv"));
    window.exportButton->click();
    QVERIFY(archive_->settle());
    QCOMPARE(op_.shown.size(), std::size_t(1));
    QCOMPARE(op_.shown[0].text, QStringLiteral("The tests could not be written to /proc/tests.csv"));
    QVERIFY(!op_.shown[0].detail.isEmpty());
}

void TestHistoryWindow::waitingTestsAreCounted()
{
    QVERIFY(test::WriteFileContents(dir_->filePath(QStringLiteral("history.db")), "this is no database"));
    printReport(QStringLiteral("W1"), QDateTime(QDate(2026, 1, 1), QTime(9, 0)), 1);
    printReport(QStringLiteral("W2"), QDateTime(QDate(2026, 1, 1), QTime(9, 5)), 1);
    QCOMPARE(op_.shown.size(), std::size_t(2)); // one message per failed save
    history::HistoryWindow window(*state_);
    window.refresh();
    QVERIFY(archive_->settle());
    QVERIFY2(window.status->text().endsWith(QStringLiteral("2 test(s) waiting to be saved.")),
             qPrintable(window.status->text()));
    QVERIFY2(window.status->text().contains(dir_->filePath(QStringLiteral("history.db"))),
             qPrintable(window.status->text()));
    QCOMPARE(window.list->rowCount(), 0);
    // The file is moved away and the next look saves both.
    QVERIFY(QFile::rename(dir_->filePath(QStringLiteral("history.db")), dir_->filePath(QStringLiteral("old.db"))));
    window.refresh();
    QVERIFY(archive_->settle());
    QCOMPARE(window.status->text(), QStringLiteral("No tests waiting to be saved."));
    QCOMPARE(window.list->rowCount(), 2);
}

void TestHistoryWindow::failedSearchIsSaidAndKeepsTheList_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("breaking"); // run on the file by another connection
    QTest::addColumn<QString>("why");          // the database's own words, in the status
    QTest::newRow("table dropped, all asked")
        << "" << QStringList{"DROP VIEW test_results", "DROP TABLE tests"} << "no such table: tests";
    QTest::newRow("column renamed, one asked")
        << "X1" << QStringList{"ALTER TABLE tests RENAME COLUMN registration_key TO moved_key"}
        << "no such column: registration_key";
}

void TestHistoryWindow::failedSearchIsSaidAndKeepsTheList()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, breaking);
    QFETCH(QString, why);
    printReport(QStringLiteral("AB12CDE"), QDateTime(QDate(2026, 1, 1), QTime(9, 0)), 1);
    printReport(QStringLiteral("X1"), QDateTime(QDate(2026, 1, 2), QTime(9, 0)), 2);
    history::HistoryWindow window(*state_);
    window.refresh();
    QVERIFY(archive_->settle());
    QCOMPARE(window.list->rowCount(), 2);
    const QString detailsBefore = window.details->toPlainText();
    QVERIFY(!detailsBefore.isEmpty());
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("breaker"));
        other.setDatabaseName(dir_->filePath(QStringLiteral("history.db")));
        QVERIFY(other.open());
        for (const QString &statement : breaking) {
            QSqlQuery q(other);
            QVERIFY2(q.exec(statement), qPrintable(statement));
        }
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("breaker"));

    window.search->setText(typed);
    window.find->click();
    QVERIFY(archive_->settle());
    const QString said = window.status->text();
    QVERIFY2(said.startsWith(QStringLiteral("The history at %1 cannot be searched: %2").arg(url_, why)),
             qPrintable(said));
    QVERIFY2(said.contains(QStringLiteral("HISTORY > DATABASE")), qPrintable(said));
    QVERIFY2(said.endsWith(QStringLiteral(". No tests waiting to be saved.")), qPrintable(said));
    QVERIFY2(!said.contains(QStringLiteral("..")), qPrintable(said));
    QCOMPARE(window.list->rowCount(), 2);
    const int registration = static_cast<int>(history::ListedColumnNames().indexOf(QStringLiteral("Registration")));
    QCOMPARE(window.list->item(0, registration)->text(), QStringLiteral("X1"));
    QCOMPARE(window.list->item(1, registration)->text(), QStringLiteral("AB12CDE"));
    QCOMPARE(window.details->toPlainText(), detailsBefore);
    QVERIFY(op_.shown.empty()); // said in the window; no box to wait on
}

void TestHistoryWindow::connectionTestSaysWhatItFound_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("tableGone"); // a history made, then its table of tests dropped
    QTest::newRow("new file") << "sqlite://%1/new.db"
                              << "Connected to sqlite://%1/new.db: 0 test(s) in the history." << false;
    QTest::newRow("not a URL") << "history.db"
                               << "The history's location \"history.db\" cannot be used: it is neither "
                                  "sqlite:///path nor postgresql://user@host:port/dbname."
                               << false;
    QTest::newRow("no server") << "postgresql://qova@/qova?host=%1/nothing-here"
                               << "The history at postgresql://qova@/qova?host=%1/nothing-here cannot be opened: "
                               << false;
    QTest::newRow("opens, cannot be read")
        << "sqlite://%1/broken.db"
        << "The tests in the history at sqlite://%1/broken.db cannot be counted: no such table: tests" << true;
}

void TestHistoryWindow::connectionTestSaysWhatItFound()
{
    QFETCH(QString, url);
    QFETCH(QString, shown);
    QFETCH(bool, tableGone);
    if (tableGone) {
        {
            history::HistoryDatabase made;
            QVERIFY(made.open(url.arg(dir_->path())).ok());
            QSqlQuery drop(made.connection());
            QVERIFY(drop.exec(QStringLiteral("DROP VIEW test_results")));
            QVERIFY(drop.exec(QStringLiteral("DROP TABLE tests")));
        }
    }
    app::HistorySettingsDialog dialog(*state_, [](const app::HistorySettings &) { return qova::Done(); });
    dialog.url->setText(url.arg(dir_->path()));
    dialog.test->click();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.testing(), 10000);
    QVERIFY(dialog.test->isEnabled());
    QVERIFY2(dialog.result->text().startsWith(shown.arg(dir_->path())), qPrintable(dialog.result->text()));
}

void TestHistoryWindow::okKeepsTheChoiceAndUsesIt()
{
    std::vector<app::HistorySettings> stored;
    app::HistorySettingsDialog dialog(*state_, [&](const app::HistorySettings &s) {
        stored.push_back(s);
        return qova::Done();
    });
    const QString other = QStringLiteral("sqlite://") + dir_->filePath(QStringLiteral("bay2.db"));
    dialog.url->setText(QStringLiteral("  ") + other);
    dialog.password->setText(QStringLiteral("pw"));
    qunsetenv("QOVA_DATABASE");
    dialog.ok->click();
    QTRY_COMPARE_WITH_TIMEOUT(stored.size(), std::size_t(1), 10000);
    QCOMPARE(stored[0].url, other);
    QCOMPARE(stored[0].password, QStringLiteral("pw"));
    QCOMPARE(archive_->settings().url, other);
    printReport(QStringLiteral("B2"), QDateTime(QDate(2026, 1, 1), QTime(9, 0)), 1);
    QVERIFY(archive_->settle());
    QVERIFY(QFile::exists(dir_->filePath(QStringLiteral("bay2.db"))));

    dialog.url->setText(QStringLiteral("ftp://nowhere"));
    dialog.ok->click();
    QCOMPARE(stored.size(), std::size_t(1));
    QVERIFY2(dialog.result->text().startsWith(QStringLiteral("\"ftp://nowhere\" cannot be used")),
             qPrintable(dialog.result->text()));
}

void TestHistoryWindow::okTestsTheConnectionFirst_data()
{
    QTest::addColumn<QString>("typed"); // %1: the test's folder
    QTest::addColumn<int>("answer");    // to "keep it all the same?"; -1: not asked
    QTest::addColumn<bool>("kept");
    QTest::addColumn<QString>("keptUrl");
    QTest::addColumn<QString>("keptPassword");
    QTest::newRow("answers") << QStringLiteral("sqlite://%1/bay3.db") << -1 << true
                             << QStringLiteral("sqlite://%1/bay3.db") << QString();
    QTest::newRow("silent, operator says no") << QStringLiteral("postgresql://qova@/qova?host=%1/nothing-here")
                                              << int(ui::Answer::No) << false << QString() << QString();
    QTest::newRow("silent, operator keeps it")
        << QStringLiteral("postgresql://qova@/qova?host=%1/nothing-here") << int(ui::Answer::Yes) << true
        << QStringLiteral("postgresql://qova@/qova?host=%1/nothing-here") << QString();
    // A password typed into the URL goes to the password, never into the kept URL or a message.
    QTest::newRow("password in the URL") << QStringLiteral("postgresql://qova:hunter2@/qova?host=%1/nothing-here")
                                         << int(ui::Answer::Yes) << true
                                         << QStringLiteral("postgresql://qova@/qova?host=%1/nothing-here")
                                         << QStringLiteral("hunter2");
    QTest::newRow("password in the query")
        << QStringLiteral("postgresql://qova@/qova?password=hunter2&host=%1/nothing-here") << int(ui::Answer::Yes)
        << true << QStringLiteral("postgresql://qova@/qova?host=%1/nothing-here") << QStringLiteral("hunter2");
}

void TestHistoryWindow::okTestsTheConnectionFirst()
{
    QFETCH(QString, typed);
    QFETCH(int, answer);
    QFETCH(bool, kept);
    QFETCH(QString, keptUrl);
    QFETCH(QString, keptPassword);
    std::vector<app::HistorySettings> stored;
    app::HistorySettingsDialog dialog(
        *state_,
        [&](const app::HistorySettings &s) {
            stored.push_back(s);
            return qova::Done();
        },
        nullptr, [] { return QStringLiteral("kept here"); });
    qunsetenv("QOVA_DATABASE");
    const QString before = archive_->settings().url;
    if (answer >= 0)
        op_.answers.push_back(ui::Answer(answer));
    dialog.url->setText(typed.arg(dir_->path()));
    dialog.ok->click();
    QVERIFY(dialog.testing()); // on its own thread: the window keeps answering
    QVERIFY(!dialog.ok->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.testing(), 10000);
    QCOMPARE(op_.shown.size(), std::size_t(answer >= 0 ? 1 : 0));
    QCOMPARE(stored.size(), std::size_t(kept ? 1 : 0));
    QCOMPARE(archive_->settings().url, kept ? keptUrl.arg(dir_->path()) : before);
    if (kept) {
        QCOMPARE(stored[0].url, keptUrl.arg(dir_->path()));
        QCOMPARE(stored[0].password, keptPassword);
    }
    for (const auto &box : op_.shown) {
        QCOMPARE(box.buttons, ui::Buttons::YesNo);
        QVERIFY2(box.text.contains(QStringLiteral("nothing-here")), qPrintable(box.text));
    }
    for (const QString &text : {dialog.result->text(), dialog.url->text(), dialog.windowTitle(),
                                op_.shown.empty() ? QString() : op_.shown[0].text})
        QVERIFY2(!text.contains(QStringLiteral("hunter2")), qPrintable(text));
    QCOMPARE(dialog.password->echoMode(), QLineEdit::Password);
}

void TestHistoryWindow::serverThatNeverAnswersNeverHoldsTheWindows()
{
    // Takes connections and never says a word: libpq waits for the server's first answer
    // until its connection timeout, as behind a firewall that swallows the packets.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    silent.pauseAccepting();
    const QString url =
        QStringLiteral("postgresql://qova@127.0.0.1:%1/qova?connect_timeout=2").arg(silent.serverPort());
    openHistory(url, dir_->filePath(QStringLiteral("pending-tests.json")));

    // The event loop's pulse: the longest gap between two ticks of a 10 ms timer.
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer pulse;
    pulse.setInterval(10);
    connect(&pulse, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    clock.start();
    pulse.start();

    history::HistoryWindow window(*state_);
    window.show();
    QVERIFY(archive_->busy());
    QVERIFY2(window.status->text().startsWith(QStringLiteral("Looking in the history")),
             qPrintable(window.status->text()));
    // A report printed meanwhile is kept, with one message, and the print does not wait.
    QElapsedTimer printing;
    printing.start();
    printReport(QStringLiteral("J123ABC"), QDateTime(QDate(2026, 1, 1), QTime(9, 0)), 1, false);
    QVERIFY2(printing.elapsed() < 1500, qPrintable(QString::number(printing.elapsed())));
    QCOMPARE(archive_->pendingCount(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(op_.shown.size(), std::size_t(1), 15000);
    QVERIFY2(op_.shown[0].text.contains(QStringLiteral("(1 waiting)")), qPrintable(op_.shown[0].text));

    QTRY_VERIFY_WITH_TIMEOUT(!archive_->busy(), 15000);
    QVERIFY2(clock.elapsed() >= 1500, "the attempt ended before the server could have timed out");
    // Held by the connection attempt, the loop would stand still for the 2 s of its time-out; a
    // busy machine's scheduler (or the sanitizers) alone leaves gaps of a few hundred ms.
    QVERIFY2(longest < 1000, qPrintable(QStringLiteral("the event loop stood still for %1 ms").arg(longest)));
    // The window says why by itself, without being asked again.
    QVERIFY2(window.status->text().startsWith(QStringLiteral("The history at %1 cannot be opened: ").arg(url)),
             qPrintable(window.status->text()));
    QVERIFY2(window.status->text().endsWith(QStringLiteral("1 test(s) waiting to be saved.")),
             qPrintable(window.status->text()));
    QVERIFY(!archive_->busy()); // and asks no more
    QCOMPARE(archive_->pendingCount(), 1);
    QCOMPARE(op_.shown.size(), std::size_t(1));

    // The connection test of HISTORY > DATABASE waits the same way, without holding the dialog.
    app::HistorySettingsDialog settings(*state_, [](const app::HistorySettings &) { return qova::Done(); });
    settings.url->setText(url);
    const qint64 asked = clock.elapsed();
    longest = 0;
    settings.test->click();
    QVERIFY(settings.testing());
    QVERIFY(!settings.test->isEnabled());
    QVERIFY2(settings.result->text().startsWith(QStringLiteral("Testing ")), qPrintable(settings.result->text()));
    QTRY_VERIFY_WITH_TIMEOUT(!settings.testing(), 15000);
    QVERIFY(clock.elapsed() - asked >= 1500);
    // Held by the connection attempt, the loop would stand still for the 2 s of its time-out; a
    // busy machine's scheduler (or the sanitizers) alone leaves gaps of a few hundred ms.
    QVERIFY2(longest < 1000, qPrintable(QStringLiteral("the event loop stood still for %1 ms").arg(longest)));
    QVERIFY2(settings.result->text().startsWith(QStringLiteral("The history at %1 cannot be opened: ").arg(url)),
             qPrintable(settings.result->text()));
}

void TestHistoryWindow::vehicleDialogShowsTheLastResultOnceTheServerAnswers()
{
    const test::CaseDatabase made = test::NewCaseDatabase();
    if (!made.failure.isEmpty())
        QFAIL(qPrintable(made.failure));
    if (!made.skip.isEmpty())
        QSKIP(qPrintable(made.skip));
    const QString &url = made.url;
    {
        history::HistoryDatabase db;
        QVERIFY(db.open(url).ok());
        history::TestEntry earlier = history::NewEntry(QDateTime(QDate(2026, 3, 2), QTime(10, 41)));
        earlier.registration = QStringLiteral("AB12CDE");
        earlier.pageLines = {QStringLiteral("EXHAUST EMISSIONS TEST REPORT")};
        earlier.printed = {58, 148, 178, 45, 12, 820, 905, 1021};
        QVERIFY(db.save(earlier).ok());
    }
    openHistory(url, dir_->filePath(QStringLiteral("pending-tests.json")));
    app::ProgramWindows windows(
        *state_, dir_->filePath(QStringLiteral("SETUP.EA2")), false,
        [this] { return std::make_unique<QSettings>(dir_->filePath(QStringLiteral("h.ini")), QSettings::IniFormat); },
        [](const app::HistorySettings &) { return qova::Done(); });
    windows.wire();
    QVERIFY(!archive_->reachable());
    windows.form8.Edit2->setText(QStringLiteral("ab12 cde"));
    windows.form8.show();
    // Typed before the server answered: nothing yet, and nothing waited for.
    QVERIFY(archive_->busy());
    QVERIFY(windows.form8.LastResult->isHidden());
    QTRY_COMPARE_WITH_TIMEOUT(windows.form8.LastResult->text(),
                              QStringLiteral("Last test 2026-03-02 10:41: CO 0.58%, HC 178 ppm, Lambda 1.021"), 15000);
    QVERIFY(windows.form8.LastResult->isVisible());
    windows.form8.Edit2->setText(QStringLiteral("J123ABC"));
    QVERIFY(archive_->settle());
    QVERIFY(windows.form8.LastResult->isHidden());
    windows.form8.hide();
}

void TestHistoryWindow::cleanupTestCase()
{
    test::StopSharedPgCluster();
}

QTEST_MAIN(TestHistoryWindow)
#include "tst_historywindow.moc"
