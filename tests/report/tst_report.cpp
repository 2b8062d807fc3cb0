#include "report/recording.h"
#include "report/testreport.h"
#include "report/textfile.h"
#include "report/timetext.h"
#include "report/ui/printreport.h"
#include "report/ui/recorddialog.h"
#include "report/ui/recorder.h"
#include "report/ui/vehicledialog.h"
#include "sim/simdevice.h"
#include "sim/steadyanalyser.h"
#include "tests/report/reportfixtures.h"
#include "tests/support/datarows.h"
#include "tests/support/filecontents.h"
#include "tests/support/pdfprinting.h"
#include "tests/support/scriptedoperator.h"
#include "tests/support/windowrig.h"
#include "ui/printing.h"
#include "ui/sharedstate.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <csignal>
#include <filesystem>
#ifndef _WIN32
#include <sys/resource.h>
#endif

using namespace qova;

using test::FileSizeCap;

namespace {
// Runs `act` once `dialog` is showing modally.
void whenShown(QDialog &dialog, std::function<void()> act)
{
    auto *timer = new QTimer(&dialog);
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, &dialog, [timer, &dialog, act] {
        if (!dialog.isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        act();
    });
    timer->start();
}

int openFileCount()
{
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

link::LiveReading goodReading()
{
    link::LiveReading r = test::SampleReading();
    r.StatusB = link::PumpOn;
    return r;
}

const QDateTime kNow(QDate(2024, 3, 5), QTime(14, 7, 9));

struct Word {
    QString text;
    double x, y, bottom;
};

// Every word of the page with its top-left corner, in reading order.
QList<Word> pdfWords(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    p.waitForFinished(20000);
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression word(QStringLiteral(
        "<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"[0-9.]+\" yMax=\"([0-9.]+)\">([^<]*)</word>"));
    QList<Word> words;
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        words.append({m.captured(4), m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3).toDouble()});
    }
    return words;
}

void keepSample(const QString &path, const QString &name)
{
    const QString dir = qEnvironmentVariable("QOVA_SAMPLE_DIR");
    if (dir.isEmpty())
        return;
    QFile::remove(QDir(dir).filePath(name));
    QFile::copy(path, QDir(dir).filePath(name));
}

void keepScreenshot(QWidget &window, const QString &name)
{
    const QString dir = qEnvironmentVariable("QOVA_SAMPLE_DIR");
    if (!dir.isEmpty())
        window.grab().save(QDir(dir).filePath(name));
}
} // namespace

class TestReport : public QObject, test::WindowRig {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void printedPageHoldsTheNineteenTextsInOrder();
    void pageFitsOnSmallerPaper_data();
    void pageFitsOnSmallerPaper();
    void cancelPrintsAndWritesNothing_data();
    void cancelPrintsAndWritesNothing();
    void textsAreCutAndTheFileNameIsSafe_data();
    void textsAreCutAndTheFileNameIsSafe();
    void blankRegistrationIsRefused_data();
    void blankRegistrationIsRefused();
    void unwritableRegistrationFileIsReportedAndThePageStillPrints();
    void cancelledPrintJobStillKeepsTheReport();
    void printerThatCannotStartIsReported();
    void enterMovesToTheNextBox();

    void recordingOnRowsAndOff();
    void theSaveDialogOffersCsvBesideTheTextFile_data();
    void theSaveDialogOffersCsvBesideTheTextFile();
    void csvUnderANameThatExistsIsAskedFirst_data();
    void csvUnderANameThatExistsIsAskedFirst();
    void startedAndStoppedAtOnceHoldsOnlyTheHeader();
    void onAgainClosesTheEarlierFile();
    void cancelledFileDialog_data();
    void cancelledFileDialog();
    void fileThatCannotBeCreated_data();
    void fileThatCannotBeCreated();
    void shortWriteStopsTheRecording();
    void dialogShowsTheRecordingState();
    void closingTheLiveWindowEndsTheRecording();
    void recordingAgainstTheSimulatedAnalyser();

    void noPrinterAsksForAPdfFile();
    void printerSetupChoiceIsKeptForLaterJobs();

private:
    void print(report::TForm8 &dialog, const link::LiveReading &reading, std::function<void()> act);
    // The operator presses Record on the live window and answers its dialog ON or OFF with OK.
    void record(report::Recorder &recorder, report::TForm12 &dialog, bool on);

    std::unique_ptr<QWidget> window_;
};

void TestReport::init()
{
    setUpWindows(QStringLiteral("page.pdf"));
    state_->now = [] { return kNow; };
    window_ = std::make_unique<QWidget>();
}

void TestReport::cleanup()
{
    window_.reset();
    tearDownWindows();
}

void TestReport::print(report::TForm8 &dialog, const link::LiveReading &reading, std::function<void()> act)
{
    whenShown(dialog, std::move(act));
    report::PrintTestReport(*state_, window_.get(), reading, dialog);
}

void TestReport::record(report::Recorder &recorder, report::TForm12 &dialog, bool on)
{
    whenShown(dialog, [&dialog, on] {
        (on ? dialog.RadioButton1 : dialog.RadioButton2)->setChecked(true);
        dialog.Button1->click();
    });
    recorder.Button5Click(window_.get(), dialog);
}

void TestReport::printedPageHoldsTheNineteenTextsInOrder()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed, so the printed page cannot be read back");
    report::TForm8 dialog;
    link::LiveReading reading = goodReading();
    reading.Co = 2600; // over range: printed as the display shows it
    print(dialog, reading, [&] { dialog.Button1->click(); });
    QCOMPARE(printing_->jobs, 1);
    QCOMPARE(printing_->lastTitle, QStringLiteral("Qova Analyzer"));
    keepSample(printing_->path(), QStringLiteral("report.pdf"));

    const QLocale locale = QLocale::system();
    const QStringList expected = {
        QStringLiteral("ACME MOTORS"),
        QStringLiteral("EXHAUST EMISSIONS TEST REPORT"),
        QStringLiteral("DATE: ") + locale.toString(kNow.date(), QLocale::ShortFormat),
        QStringLiteral("TIME: ") + report::ReportTime(locale, kNow.time()),
        QStringLiteral("VEHICLE TYPE MODEL: FORD ESCORT"),
        QStringLiteral("VEHICLE REGISTRATION NUMBER: J123ABC"),
        QStringLiteral("FUEL TYPE: PETROL"),
        QStringLiteral("MEASURED VALUES:"),
        QStringLiteral("Carbon Monoxide 99.99%"),
        QStringLiteral("Carbon Dioxide 14.5%"),
        QStringLiteral("Hydrocarbons 057"),
        QStringLiteral("Oxygen 20.90%"),
        QStringLiteral("NOx 012"),
        QStringLiteral("RPM 850"),
        QStringLiteral("OIL \u00B0C 25.0"),
        QStringLiteral("CALCULATED VALUE:"),
        QStringLiteral("Lambda 1.000"),
        QStringLiteral("TESTED BY:"),
        QStringLiteral("COMMENTS:"),
    };
    const int rows[] = {11, 17, 23, 26, 29, 32, 36, 40, 43, 46, 49, 52, 55, 58, 61, 64, 67, 76, 80};

    // Walk the page's words: each line's words must follow in order, on one height.
    const QList<Word> words = pdfWords(printing_->path());
    QVERIFY2(!words.isEmpty(), "pdftotext found no text on the page");
    QList<double> tops, lefts;
    int w = 0;
    for (const QString &line : expected) {
        const QStringList parts = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        while (w < words.size() && words[w].text != parts.first())
            ++w;
        QVERIFY2(w + parts.size() <= words.size(), qPrintable(QStringLiteral("missing or out of order: ") + line));
        tops.append(words[w].y);
        lefts.append(words[w].x);
        for (const QString &part : parts) {
            QCOMPARE(words[w].text, part);
            QVERIFY(qAbs(words[w].y - tops.last()) < 1.0);
            ++w;
        }
    }
    // Lines of one font height sit n line heights down: the spacing per n is the same
    // from report line 3 to COMMENTS.
    const double perRow = (tops[18] - tops[2]) / (rows[18] - rows[2]);
    QVERIFY(perRow > 0);
    for (int i = 3; i < 18; ++i)
        QVERIFY2(qAbs((tops[i] - tops[2]) / (rows[i] - rows[2]) - perRow) < perRow * 0.02, qPrintable(expected[i]));
    QVERIFY(tops[0] < tops[1] && tops[1] < tops[2]);
    // Texts without leading blanks start at the same left edge.
    for (int i : {1, 2, 3, 4, 5, 6, 17, 18})
        QVERIFY2(qAbs(lefts[i] - lefts[2]) < 1.0, qPrintable(expected[i]));
    QVERIFY(lefts[8] > lefts[7] && lefts[7] > lefts[6]);
    QVERIFY(op_.shown.empty());
}

void TestReport::pageFitsOnSmallerPaper_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("A4") << int(QPageSize::A4);
    QTest::newRow("Letter") << int(QPageSize::Letter);
    QTest::newRow("A5") << int(QPageSize::A5);
}

void TestReport::pageFitsOnSmallerPaper()
{
    QFETCH(int, size);
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed, so the printed page cannot be read back");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir_->filePath(QStringLiteral("small.pdf")));
    printer.setPageSize(QPageSize(QPageSize::PageSizeId(size)));
    QVERIFY(report::PaintTestReport(printer, report::ReportLines({})));
    const QList<Word> words = pdfWords(printer.outputFileName());
    QVERIFY(!words.isEmpty());
    const QRectF printable = printer.pageLayout().paintRect(QPageLayout::Point);
    bool comments = false;
    for (const Word &word : words) {
        comments = comments || word.text == QStringLiteral("COMMENTS:");
        QVERIFY2(word.bottom <= printable.bottom(), qPrintable(word.text + QString::number(word.bottom)));
    }
    QVERIFY(comments);
}

void TestReport::cancelPrintsAndWritesNothing_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("Cancel button") << 0;
    QTest::newRow("close box after an earlier OK") << 1;
    QTest::newRow("Escape after an earlier OK") << 2;
}

void TestReport::cancelPrintsAndWritesNothing()
{
    QFETCH(int, how);
    report::TForm8 dialog;
    if (how != 0) {
        print(dialog, goodReading(), [&] { dialog.Button1->click(); });
        QCOMPARE(printing_->jobs, 1);
        QVERIFY(QFile::remove(QStringLiteral("J123ABC.TXT")));
    }
    print(dialog, goodReading(), [&] {
        if (how == 0)
            dialog.Button2->click();
        else if (how == 1)
            dialog.close();
        else
            QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    QVERIFY(!dialog.okPressed());
    QCOMPARE(printing_->jobs, how == 0 ? 0 : 1);
    QCOMPARE(QDir::current().entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".TXT")), QStringList());
    QVERIFY(op_.shown.empty());
}

void TestReport::textsAreCutAndTheFileNameIsSafe_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("registration");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("typeLine");
    QTest::addColumn<QString>("registrationLine");
    const QString longType = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghij");
    QTest::newRow("cut to 39 and 9") << longType << QStringLiteral("ABCDEFGHIJKL") << QStringLiteral("ABCDEFGHI.TXT")
                                     << QStringLiteral("VEHICLE TYPE MODEL:  ") + longType.left(39)
                                     << QStringLiteral("VEHICLE REGISTRATION NUMBER:  ABCDEFGHI");
    QTest::newRow("exactly 39 and 9") << longType.left(39) << QStringLiteral("123456789")
                                      << QStringLiteral("123456789.TXT")
                                      << QStringLiteral("VEHICLE TYPE MODEL:  ") + longType.left(39)
                                      << QStringLiteral("VEHICLE REGISTRATION NUMBER:  123456789");
    QTest::newRow("climbs out of the folder")
        << QStringLiteral("VAN") << QStringLiteral("../../X") << QStringLiteral("..%2F..%2FX.TXT")
        << QStringLiteral("VEHICLE TYPE MODEL:  VAN") << QStringLiteral("VEHICLE REGISTRATION NUMBER:  ../../X");
    // An empty registration is refused by the dialog (blankRegistrationIsRefused).
    QTest::newRow("a device's name") << QStringLiteral("VAN") << QStringLiteral("con") << QStringLiteral("%63on.TXT")
                                     << QStringLiteral("VEHICLE TYPE MODEL:  VAN")
                                     << QStringLiteral("VEHICLE REGISTRATION NUMBER:  con");
}

void TestReport::blankRegistrationIsRefused_data()
{
    QTest::addColumn<QString>("registration");
    QTest::newRow("empty") << QString();
    QTest::newRow("blanks") << QStringLiteral("   ");
    QTest::newRow("tab") << QStringLiteral("\t");
}

// OK with a blank registration keeps the dialog open and says why; the report follows
// once one is typed, in that registration's file and no other.
void TestReport::blankRegistrationIsRefused()
{
    QFETCH(QString, registration);
    report::TForm8 dialog;
    bool stayedOpen = false;
    QString said;
    print(dialog, goodReading(), [&] {
        dialog.Edit2->setText(registration);
        dialog.Button1->click();
        stayedOpen = dialog.isVisible() && !dialog.okPressed();
        said = dialog.LastResult->isVisible() ? dialog.LastResult->text() : QString();
        dialog.Edit2->setText(QStringLiteral("J1"));
        dialog.Button1->click();
    });
    QVERIFY(stayedOpen);
    QVERIFY2(said.contains(QStringLiteral("registration")), qPrintable(said));
    QVERIFY(dialog.okPressed());
    QCOMPARE(QDir::current().entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".TXT")),
             QStringList{QStringLiteral("J1.TXT")});
}

void TestReport::textsAreCutAndTheFileNameIsSafe()
{
    QFETCH(QString, type);
    QFETCH(QString, registration);
    QFETCH(QString, fileName);
    QFETCH(QString, typeLine);
    QFETCH(QString, registrationLine);
    QDir::current().mkdir(QStringLiteral("inner"));
    QDir::setCurrent(dir_->filePath(QStringLiteral("inner")));
    state_->CompanyHeader = QStringLiteral("0123456789012345678901234567890123456789XYZ");

    report::TForm8 dialog;
    print(dialog, goodReading(), [&] {
        dialog.Edit1->setText(type);
        dialog.Edit2->setText(registration);
        dialog.Button1->click();
    });
    QCOMPARE(QDir::current().entryList(QDir::Files | QDir::Hidden), QStringList{fileName});
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList{QStringLiteral("page.pdf")});
    const QByteArray text = test::FileContents(fileName);
    QVERIFY(text.startsWith(report::TextLine(state_->CompanyHeader.left(39), 2)));
    QVERIFY2(text.contains(report::TextLine(typeLine, 1)), text.constData());
    QVERIFY2(text.contains(report::TextLine(registrationLine, 2)), text.constData());
    QVERIFY(op_.shown.empty());
}

void TestReport::unwritableRegistrationFileIsReportedAndThePageStillPrints()
{
    // A folder stands where the file goes: nobody, root included, writes it, on any system.
    QVERIFY(QDir().mkdir(QStringLiteral("J123ABC.TXT")));
    report::TForm8 dialog;
    print(dialog, goodReading(), [&] { dialog.Button1->click(); });
    QCOMPARE(printing_->jobs, 1);
    QVERIFY(QFileInfo(printing_->path()).size() > 0);
    QCOMPARE(op_.shown.size(), std::size_t(1));
    QVERIFY2(op_.shown[0].text.contains(QStringLiteral("J123ABC.TXT")), qPrintable(op_.shown[0].text));
    QVERIFY(!op_.shown[0].detail.isEmpty());
}

void TestReport::cancelledPrintJobStillKeepsTheReport()
{
    printing_->cancel = true;
    report::TForm8 dialog;
    print(dialog, goodReading(), [&] { dialog.Button1->click(); });
    QCOMPARE(printing_->jobs, 1);
    QVERIFY(!QFile::exists(printing_->path()));
    QVERIFY(test::FileContents(QStringLiteral("J123ABC.TXT")).startsWith("ACME MOTORS "));
    QVERIFY(op_.shown.empty());
}

void TestReport::printerThatCannotStartIsReported()
{
    test::PdfPrinting nowhere(QStringLiteral("/nonexistent-qova/page.pdf"));
    state_->printing = &nowhere;
    report::TForm8 dialog;
    print(dialog, goodReading(), [&] { dialog.Button1->click(); });
    QCOMPARE(nowhere.jobs, 1);
    QCOMPARE(op_.shown.size(), std::size_t(1));
    QVERIFY2(op_.shown[0].text.contains(nowhere.path()), qPrintable(op_.shown[0].text));
    QVERIFY(test::FileContents(QStringLiteral("J123ABC.TXT")).startsWith("ACME MOTORS "));
}

void TestReport::enterMovesToTheNextBox()
{
    report::TForm8 dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialog.Edit1->setFocus();
    QTest::keyClick(dialog.Edit1, Qt::Key_Return);
    QVERIFY(dialog.Edit2->hasFocus());
    QVERIFY(dialog.isVisible());
    QTest::keyClick(dialog.Edit2, Qt::Key_Enter);
    QVERIFY(dialog.Button1->hasFocus());
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), 0);
    keepScreenshot(dialog, QStringLiteral("vehicle-dialog.png"));
}

void TestReport::recordingOnRowsAndOff()
{
    report::Recorder recorder(*state_);
    report::TForm12 dialog(*state_);
    state_->port.PortNumber = 3;
    const QString path = dir_->filePath(QStringLiteral("RUN.TXT"));
    op_.saveNames = {path};
    record(recorder, dialog, true);
    QVERIFY(state_->Recording);
    QCOMPARE(state_->RecordFileName, path);
    QCOMPARE(window_->windowTitle(), QStringLiteral("QOVA    COM3   Recording in :  RUN.TXT"));
    QCOMPARE(op_.fileRequests.size(), std::size_t(1));
    QCOMPARE(op_.fileRequests[0].caption, QStringLiteral("Record in file"));
    QCOMPARE(op_.fileRequests[0].defaultSuffix, QStringLiteral("TXT"));
    QVERIFY(op_.fileRequests[0].confirmOverwrite); // the file is emptied: the box asks first

    const QString time = report::ReportTime(QLocale::system(), kNow.time());
    link::LiveReading prompt = goodReading();
    prompt.StatusA = link::ZeroReady;
    link::LiveReading pumpOff = goodReading();
    pumpOff.StatusB = 0;
    link::LiveReading overRange = goodReading();
    overRange.Co = 3000;
    state_->recordReading(prompt);
    state_->recordReading(goodReading());
    state_->recordReading(pumpOff);
    state_->recordReading(overRange);
    QCOMPARE(test::FileContents(path),
             report::RecordHeader() + report::RecordRow(goodReading(), time) + report::RecordRow(overRange, time));
    QVERIFY(test::FileContents(path).contains(" 30.00 "));

    record(recorder, dialog, false);
    QVERIFY(!state_->Recording);
    QVERIFY(!recorder.file().isOpen());
    QCOMPARE(window_->windowTitle(), QStringLiteral("QOVA    COM3"));
    const QByteArray before = test::FileContents(path);
    state_->recordReading(goodReading());
    QCOMPARE(test::FileContents(path), before);
    QVERIFY(op_.shown.empty());
}

void TestReport::theSaveDialogOffersCsvBesideTheTextFile_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("filter"); // empty: left as the dialog opened
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("csv");
    QTest::newRow("text, as it always was") << "RUN.TXT" << QString() << "RUN.TXT" << false;
    QTest::newRow("the CSV filter adds .csv") << "run" << report::kRecordCsvFilter << "run.csv" << true;
    QTest::newRow("the CSV filter keeps a typed suffix") << "run.dat" << report::kRecordCsvFilter << "run.dat" << true;
    QTest::newRow("a .csv name under the text filter") << "run.csv" << QString() << "run.csv" << true;
}

void TestReport::theSaveDialogOffersCsvBesideTheTextFile()
{
    QFETCH(QString, typed);
    QFETCH(QString, filter);
    QFETCH(QString, file);
    QFETCH(bool, csv);
    report::Recorder recorder(*state_);
    report::TForm12 dialog(*state_);
    op_.saveNames = {dir_->filePath(typed)};
    if (!filter.isEmpty())
        op_.saveFilters = {filter};
    record(recorder, dialog, true);
    QCOMPARE(op_.fileRequests.size(), std::size_t(1));
    // The original filter first, so the dialog opens on it and the text file stays the default.
    QCOMPARE(op_.fileRequests[0].filter,
             QStringLiteral("Qova Test Data File (*.TXT *.txt);;CSV for spreadsheets (*.csv)"));
    QCOMPARE(op_.fileRequests[0].defaultSuffix, QStringLiteral("TXT"));
    const QString path = dir_->filePath(file);
    QVERIFY(state_->Recording);
    QCOMPARE(state_->RecordFileName, path);
    QVERIFY(window_->windowTitle().endsWith(QStringLiteral("Recording in :  ") + file));
    state_->recordReading(goodReading());
    recorder.stop();
    const QByteArray row = csv ? report::RecordCsvRow(goodReading(), kNow)
                               : report::RecordRow(goodReading(), report::ReportTime(QLocale::system(), kNow.time()));
    QCOMPARE(test::FileContents(path), (csv ? report::RecordCsvHeader() : report::RecordHeader()) + row);
    QVERIFY(op_.shown.empty());
}

void TestReport::csvUnderANameThatExistsIsAskedFirst_data()
{
    test::BoolRows("replace", "kept", "replaced");
}

void TestReport::csvUnderANameThatExistsIsAskedFirst()
{
    QFETCH(bool, replace);
    const QString path = dir_->filePath(QStringLiteral("run.csv"));
    {
        QFile earlier(path);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("an earlier recording\r\n");
    }
    report::Recorder recorder(*state_);
    report::TForm12 dialog(*state_);
    op_.saveNames = {dir_->filePath(QStringLiteral("run"))};
    op_.saveFilters = {report::kRecordCsvFilter};
    op_.answers = {replace ? ui::Answer::Yes : ui::Answer::No};
    record(recorder, dialog, true);
    QVERIFY(!op_.shown.empty());
    QVERIFY2(op_.shown[0].text.contains(path), qPrintable(op_.shown[0].text));
    QCOMPARE(op_.shown[0].buttons, ui::Buttons::YesNo);
    QCOMPARE(state_->Recording, replace);
    recorder.stop();
    QCOMPARE(test::FileContents(path), replace ? report::RecordCsvHeader() : QByteArray("an earlier recording\r\n"));
    QVERIFY(!QFile::exists(dir_->filePath(QStringLiteral("run"))));
}

void TestReport::startedAndStoppedAtOnceHoldsOnlyTheHeader()
{
    report::Recorder recorder(*state_);
    report::TForm12 dialog(*state_);
    const QString path = dir_->filePath(QStringLiteral("EMPTY.TXT"));
    op_.saveNames = {path};
    record(recorder, dialog, true);
    record(recorder, dialog, false);
    QCOMPARE(test::FileContents(path),
             QByteArray("HC    CO  CO2  O2   NO   RPM   OIL LMBDA/AFR TIME ") + report::kLineEnd + report::kLineEnd);
}

void TestReport::onAgainClosesTheEarlierFile()
{
    report::Recorder recorder(*state_);
    report::TForm12 dialog(*state_);
    const QString first = dir_->filePath(QStringLiteral("FIRST.TXT"));
    const QString second = dir_->filePath(QStringLiteral("SECOND.TXT"));
    op_.saveNames = {first, second};
    record(recorder, dialog, true);
    state_->recordReading(goodReading());
    const int filesWithOne = openFileCount();
    record(recorder, dialog, true);
    QCOMPARE(openFileCount(), filesWithOne);
    state_->recordReading(goodReading());
    state_->recordReading(goodReading());

    const QByteArray row = report::RecordRow(goodReading(), report::ReportTime(QLocale::system(), kNow.time()));
    QCOMPARE(test::FileContents(first), report::RecordHeader() + row);
    QCOMPARE(test::FileContents(second), report::RecordHeader() + row + row);
    QCOMPARE(state_->RecordFileName, second);
    QVERIFY(window_->windowTitle().endsWith(QStringLiteral("Recording in :  SECOND.TXT")));
    recorder.stop();
    QCOMPARE(openFileCount(), filesWithOne - 1);
}

void TestReport::cancelledFileDialog_data()
{
    test::BoolRows("recordingBefore", "not recording", "recording goes on in its file");
}

void TestReport::cancelledFileDialog()
{
    QFETCH(bool, recordingBefore);
    report::Recorder recorder(*state_);
    report::TForm12 dialog(*state_);
    const QString path = dir_->filePath(QStringLiteral("OLD.TXT"));
    if (recordingBefore) {
        op_.saveNames = {path};
        record(recorder, dialog, true);
    }
    const QString caption = window_->windowTitle();
    op_.saveNames = {QString()};
    record(recorder, dialog, true);
    QCOMPARE(op_.shown.size(), std::size_t(1));
    QCOMPARE(op_.shown[0].text, QStringLiteral("   User Canceled    "));
    QCOMPARE(state_->Recording, recordingBefore);
    QCOMPARE(window_->windowTitle(), caption);
    if (recordingBefore) {
        state_->recordReading(goodReading());
        QVERIFY(test::FileContents(path).size() > report::RecordHeader().size());
    }
}

void TestReport::fileThatCannotBeCreated_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("missing folder") << QStringLiteral("/nonexistent-qova/RUN.TXT");
    QTest::newRow("folder nobody may write") << QStringLiteral("/proc/RUN.TXT");
    QTest::newRow("disk full") << QStringLiteral("/dev/full");
}

void TestReport::fileThatCannotBeCreated()
{
    QFETCH(QString, path);
    report::Recorder recorder(*state_);
    report::TForm12 dialog(*state_);
    const QString earlier = dir_->filePath(QStringLiteral("EARLIER.TXT"));
    op_.saveNames = {earlier, path};
    record(recorder, dialog, true);
    record(recorder, dialog, true);
    QVERIFY(!state_->Recording);
    QVERIFY(!recorder.file().isOpen());
    QCOMPARE(window_->windowTitle(), QStringLiteral("QOVA    COM1"));
    QCOMPARE(op_.shown.size(), std::size_t(1));
    QVERIFY2(op_.shown[0].text.contains(path), qPrintable(op_.shown[0].text));
    QVERIFY(!op_.shown[0].detail.isEmpty());
    // The earlier recording ended whole.
    QCOMPARE(test::FileContents(earlier), report::RecordHeader());
}

void TestReport::shortWriteStopsTheRecording()
{
    report::Recorder recorder(*state_);
    report::TForm12 dialog(*state_);
    const QString path = dir_->filePath(QStringLiteral("FULL.TXT"));
    op_.saveNames = {path};
    record(recorder, dialog, true);
    state_->recordReading(goodReading());
    const QByteArray whole = test::FileContents(path);
    if (!FileSizeCap::kAvailable)
        QSKIP(FileSizeCap::kMissing);
    {
        FileSizeCap cap(static_cast<rlim_t>(whole.size() + 7));
        state_->recordReading(goodReading());
    }
    QVERIFY(!state_->Recording);
    QCOMPARE(window_->windowTitle(), QStringLiteral("QOVA    COM1"));
    QCOMPARE(op_.shown.size(), std::size_t(1));
    QVERIFY2(op_.shown[0].text.contains(path), qPrintable(op_.shown[0].text));
    QCOMPARE(test::FileContents(path), whole);
    state_->recordReading(goodReading());
    QCOMPARE(test::FileContents(path), whole);
    QCOMPARE(op_.shown.size(), std::size_t(1));
}

void TestReport::dialogShowsTheRecordingState()
{
    report::TForm12 dialog(*state_);
    for (bool recording : {true, false, true}) {
        state_->Recording = recording;
        bool on = false, off = false;
        whenShown(dialog, [&] {
            on = dialog.RadioButton1->isChecked();
            off = dialog.RadioButton2->isChecked();
            keepScreenshot(dialog, QStringLiteral("record-dialog.png"));
            dialog.Button2->click();
        });
        dialog.exec();
        QCOMPARE(on, recording);
        QCOMPARE(off, !recording);
    }
}

void TestReport::closingTheLiveWindowEndsTheRecording()
{
    report::Recorder recorder(*state_);
    report::TForm12 dialog(*state_);
    const QString path = dir_->filePath(QStringLiteral("RUN.TXT"));
    op_.saveNames = {path};
    record(recorder, dialog, true);
    state_->stopRecording();
    QVERIFY(!state_->Recording);
    QVERIFY(!recorder.file().isOpen());
    state_->recordReading(goodReading());
    QCOMPARE(test::FileContents(path), report::RecordHeader());
}

// The live window's cycle, driven here without the window: read, record, poll again.
void TestReport::recordingAgainstTheSimulatedAnalyser()
{
    ui::SharedState state(
        [this](int) {
            return std::make_unique<sim::SimDevice>(pause_,
                                                    std::make_shared<sim::SteadyAnalyser>(sim::TypicalIdleReading()));
        },
        pause_, op_);
    int tick = 0;
    state.now = [&tick] { return kNow.addSecs(2 * tick); };
    report::Recorder recorder(state);
    report::TForm12 dialog(state);
    const QString path = dir_->filePath(QStringLiteral("DEMO.TXT"));
    op_.saveNames = {path};
    record(recorder, dialog, true);

    QVERIFY(link::OpenPort(state.port).ok());
    state.port.PortOpen = true;
    link::WriteByte(state.port, 0x11);
    link::LiveReading reading;
    int failed = 0;
    for (tick = 1; tick <= 10; ++tick) {
        pause_.sleepMs(2000);
        if (link::ReadLiveFrame(state.port, reading, failed) && state.Recording)
            state.recordReading(reading);
        link::RequestReading(state.port);
    }
    state.stopRecording();
    link::ClosePort(state.port);

    const QList<QByteArray> lines = test::FileContents(path).split('\n');
    QCOMPARE(lines.size(), 2 + 10 + 1);
    QVERIFY(lines[2].startsWith("00"));
    QVERIFY2(lines[2].contains(" 1.50 14.5 2.10 0025 0850 65.0  1.000    "), lines[2].constData());
    keepSample(path, QStringLiteral("recording.TXT"));
}

void TestReport::noPrinterAsksForAPdfFile()
{
    if (!QPrinterInfo::availablePrinterNames().isEmpty())
        QSKIP("this system has a printer, so no PDF file is asked for");
    ui::SystemPrinting printing(op_);
    op_.saveNames = {QString(), dir_->filePath(QStringLiteral("out.pdf"))};
    QVERIFY(printing.startJob(window_.get(), QStringLiteral("Qova Analyzer")) == nullptr);
    auto job = printing.startJob(window_.get(), QStringLiteral("Qova Analyzer"));
    QVERIFY(job != nullptr);
    QCOMPARE(op_.fileRequests.size(), std::size_t(2));
    QCOMPARE(op_.fileRequests[1].defaultSuffix, QStringLiteral("pdf"));
    QCOMPARE(job->outputFormat(), QPrinter::PdfFormat);
    QCOMPARE(job->outputFileName(), dir_->filePath(QStringLiteral("out.pdf")));
    QCOMPARE(job->docName(), QStringLiteral("Qova Analyzer"));
    QVERIFY(report::PaintTestReport(*job, report::ReportLines({})));
    QVERIFY(QFileInfo(dir_->filePath(QStringLiteral("out.pdf"))).size() > 0);
}

void TestReport::printerSetupChoiceIsKeptForLaterJobs()
{
#ifdef Q_OS_WIN
    QSKIP("Windows's print setup is the system's own box, which a test cannot answer");
#endif
    if (!QPrinterInfo::availablePrinterNames().isEmpty())
        QSKIP("this system has a printer; the setup would choose it rather than a file");
    ui::SystemPrinting printing(op_);
    // Cancelled setup: nothing chosen, so a job still asks where to put the page.
    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    printing.printerSetup(window_.get());
    op_.saveNames = {QString()};
    QVERIFY(printing.startJob(window_.get(), QStringLiteral("Qova Analyzer")) == nullptr);
    QCOMPARE(op_.fileRequests.size(), std::size_t(1));

    // Confirmed with the only choice a system without printers offers, a PDF file.
    QTimer::singleShot(0, [] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog != nullptr);
        dialog->accept();
    });
    printing.printerSetup(window_.get());
    auto job = printing.startJob(window_.get(), QStringLiteral("Qova Analyzer"));
    QVERIFY(job != nullptr);
    QCOMPARE(op_.fileRequests.size(), std::size_t(1));
    QCOMPARE(job->outputFormat(), QPrinter::PdfFormat);
    QVERIFY(!job->outputFileName().isEmpty());
    QCOMPARE(job->docName(), QStringLiteral("Qova Analyzer"));
}

QTEST_MAIN(TestReport)
#include "tst_report.moc"
