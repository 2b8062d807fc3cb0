#include "report/testreport.h"
#include "report/textfile.h"
#include "tests/report/reportfixtures.h"
#include "tests/support/okresult.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

using namespace qova;
using report::ReportInput;
using test::platform;

namespace {
ReportInput sampleInput()
{
    ReportInput in;
    in.companyHeader = QStringLiteral("ACME MOTORS");
    in.vehicleType = QStringLiteral("FORD ESCORT");
    in.registration = QStringLiteral("J123ABC");
    in.date = QStringLiteral("05/03/2024");
    in.time = QStringLiteral("14:07:09");
    in.fuelName = QStringLiteral("PETROL");
    in.reading = test::SampleReading();
    return in;
}

const QByteArray kOneReport = "ACME MOTORS \n\n"
                              "EXHAUST EMISSIONS TEST REPORT \n\n"
                              "DATE: 05/03/2024 \n"
                              "TIME: 14:07:09 \n\n"
                              "VEHICLE TYPE MODEL:  FORD ESCORT \n"
                              "VEHICLE REGISTRATION NUMBER:  J123ABC \n\n"
                              "FUEL TYPE:  PETROL \n"
                              "        MEASURED VALUES: \n"
                              "              Carbon Monoxide  1.50% \n"
                              "              Carbon Dioxide   14.5% \n"
                              "              Hydrocarbons     057 \n"
                              "              Oxygen           20.90% \n"
                              "              NOx              012 \n"
                              "              RPM              850 \n"
                              "              OIL \xB0"
                              "C           25.0 \n\n"
                              "        CALCULATED VALUE: \n"
                              "              Lambda           1.000 \n\n\n";
} // namespace

TEST(RegistrationFile, OneReportHasTheExactBytes)
{
    EXPECT_EQ(report::RegistrationFileText(report::ReportLines(sampleInput())), platform(kOneReport));
}

TEST(RegistrationFile, TwoReportsFollowEachOtherInOneFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(report::RegistrationFileName(QStringLiteral("J123ABC")));
    const QByteArray one = report::RegistrationFileText(report::ReportLines(sampleInput()));
    ASSERT_TRUE(qova::test::Ok(report::AppendToFile(path, one)));
    ASSERT_TRUE(qova::test::Ok(report::AppendToFile(path, one)));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), platform(kOneReport + kOneReport));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("J123ABC.TXT")});
}

struct UnitCase {
    const char *name;
    std::uint8_t modeFlags;
    std::int16_t oilTemp;
    std::int16_t efficiency;
    std::uint8_t fuelCode;
    bool usLocale;
    QByteArray fuelLine, oilLine, efficiencyLine;
};

class ReportUnits : public testing::TestWithParam<UnitCase> {};

TEST_P(ReportUnits, LinesFollowTheUnitFlagsAndLocale)
{
    const UnitCase &c = GetParam();
    ReportInput in = sampleInput();
    in.reading.ModeFlags = c.modeFlags;
    in.reading.OilTemp = c.oilTemp;
    in.reading.Efficiency = c.efficiency;
    in.fuelName = link::FuelName(c.fuelCode, c.usLocale);
    const QByteArray text = report::RegistrationFileText(report::ReportLines(in));
    EXPECT_TRUE(text.contains(platform(c.fuelLine))) << text.toStdString();
    EXPECT_TRUE(text.contains(platform(c.oilLine))) << text.toStdString();
    EXPECT_TRUE(text.contains(platform(c.efficiencyLine))) << text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Variants, ReportUnits,
    testing::Values(UnitCase{"Celsius_Lambda", 0, 250, 1000, 1, false, "\nFUEL TYPE:  PETROL \n",
                             "\n              OIL \xB0"
                             "C           25.0 \n\n",
                             "\n              Lambda           1.000 \n\n\n"},
                    UnitCase{"Fahrenheit", link::Fahrenheit, 900, 1000, 1, false, "\nFUEL TYPE:  PETROL \n",
                             "\n              OIL \xB0"
                             "F           194.0 \n\n",
                             "\n              Lambda           1.000 \n\n\n"},
                    UnitCase{"AfrMode", link::AfrMode, 250, 1470, 0, false, "\nFUEL TYPE:  LPG    \n",
                             "\n              OIL \xB0"
                             "C           25.0 \n\n",
                             "\n              AFR              14.70 \n\n\n"},
                    UnitCase{"BothFlagsBelowZero", link::Fahrenheit | link::AfrMode, -100, 800, 2, false,
                             "\nFUEL TYPE:  CNG    \n",
                             "\n              OIL \xB0"
                             "F           14.0 \n\n",
                             "\n              AFR              8.00 \n\n\n"},
                    UnitCase{"UsLocaleGasoline", 0, 250, 1000, 1, true, "\nFUEL TYPE:  GASOLINE \n",
                             "\n              OIL \xB0"
                             "C           25.0 \n\n",
                             "\n              Lambda           1.000 \n\n\n"},
                    UnitCase{"NoFuelName", 0, 250, 1000, 3, true, "\nFUEL TYPE:   \n",
                             "\n              OIL \xB0"
                             "C           25.0 \n\n",
                             "\n              Lambda           1.000 \n\n\n"}),
    [](const testing::TestParamInfo<UnitCase> &info) { return std::string(info.param.name); });

TEST(RegistrationFile, OverRangeValuesAreReportedAsTheDisplayLimitsThem)
{
    ReportInput in = sampleInput();
    in.reading.Co = 2600;
    in.reading.Co2 = 260;
    in.reading.Hc = 12000;
    in.reading.O2 = 2201;
    in.reading.Nox = 6000;
    in.reading.Efficiency = 400;
    in.reading = report::ClampForReport(in.reading);
    const QStringList lines = report::ReportLines(in);
    EXPECT_EQ(lines[8], QStringLiteral("              Carbon Monoxide  99.99%"));
    EXPECT_EQ(lines[9], QStringLiteral("              Carbon Dioxide   99.9%"));
    EXPECT_EQ(lines[10], QStringLiteral("              Hydrocarbons     9999"));
    EXPECT_EQ(lines[11], QStringLiteral("              Oxygen           99.99%"));
    EXPECT_EQ(lines[12], QStringLiteral("              NOx              9999"));
    EXPECT_EQ(lines[16], QStringLiteral("              Lambda           9.999"));
}

struct ClampCase {
    std::uint8_t modeFlags;
    std::int16_t in, out; // one value put into every limited field of the same kind
    std::int16_t link::LiveReading::*field;
};

class ReportClamp : public testing::TestWithParam<ClampCase> {};

// Bounds are inclusive, and limiting a reading the display already limited changes nothing.
TEST_P(ReportClamp, LimitsAndIsIdempotent)
{
    const ClampCase &c = GetParam();
    link::LiveReading r = test::SampleReading();
    r.ModeFlags = c.modeFlags;
    r.*c.field = c.in;
    const link::LiveReading once = report::ClampForReport(r);
    EXPECT_EQ(once.*c.field, c.out);
    EXPECT_EQ(report::ClampForReport(once).*c.field, c.out);
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, ReportClamp,
    testing::Values(ClampCase{0, 2500, 2500, &link::LiveReading::Co}, ClampCase{0, 2501, 9999, &link::LiveReading::Co},
                    ClampCase{0, -1, 0, &link::LiveReading::Co}, ClampCase{0, 250, 250, &link::LiveReading::Co2},
                    ClampCase{0, 251, 999, &link::LiveReading::Co2}, ClampCase{0, 2200, 2200, &link::LiveReading::O2},
                    ClampCase{0, 2201, 9999, &link::LiveReading::O2}, ClampCase{0, 5000, 5000, &link::LiveReading::Nox},
                    ClampCase{0, 5001, 9999, &link::LiveReading::Nox},
                    ClampCase{0, 10000, 9999, &link::LiveReading::Hc}, ClampCase{0, -7, 0, &link::LiveReading::Hc},
                    ClampCase{0, 500, 500, &link::LiveReading::Efficiency},
                    ClampCase{0, 10000, 10000, &link::LiveReading::Efficiency},
                    ClampCase{0, 499, 9999, &link::LiveReading::Efficiency},
                    ClampCase{link::AfrMode, 730, 730, &link::LiveReading::Efficiency},
                    ClampCase{link::AfrMode, 729, 9999, &link::LiveReading::Efficiency},
                    ClampCase{link::AfrMode, 14701, 9999, &link::LiveReading::Efficiency},
                    ClampCase{0, -30000, -30000, &link::LiveReading::Rpm},
                    ClampCase{0, 30000, 30000, &link::LiveReading::OilTemp}));

TEST(PrintedPage, NineteenTextsOnTheirRowsAndHeights)
{
    const auto page = report::PrintedPage(report::ReportLines(sampleInput()));
    ASSERT_EQ(page.size(), 19u);
    const int rows[] = {11, 17, 23, 26, 29, 32, 36, 40, 43, 46, 49, 52, 55, 58, 61, 64, 67, 76, 80};
    for (std::size_t i = 0; i < page.size(); ++i) {
        EXPECT_EQ(page[i].n, rows[i]) << i;
        EXPECT_EQ(page[i].fontFactor, i < 2 ? 3 : 2) << i;
    }
    EXPECT_EQ(page[0].text, QStringLiteral("ACME MOTORS"));
    EXPECT_EQ(page[17].text, QStringLiteral("TESTED BY:"));
    EXPECT_EQ(page[18].text, QStringLiteral("COMMENTS:"));
}

struct NameCase {
    const char *typed;
    const char *file;
};

class RegistrationName : public testing::TestWithParam<NameCase> {};

TEST_P(RegistrationName, StaysAPlainNameInTheFolder)
{
    const QString name = report::RegistrationFileName(QString::fromUtf8(GetParam().typed));
    EXPECT_EQ(name, QString::fromUtf8(GetParam().file));
    // Whatever was typed, the name resolves to a file directly inside the folder.
    const QDir folder(QDir::temp().filePath(QStringLiteral("reports")));
    EXPECT_EQ(QFileInfo(folder.filePath(name)).absolutePath(), folder.absolutePath());
    EXPECT_NE(name, QStringLiteral("..")) << "not the parent folder";
}

INSTANTIATE_TEST_SUITE_P(
    Typed, RegistrationName,
    testing::Values(NameCase{"J123ABC", "J123ABC.TXT"}, NameCase{"", ".TXT"}, NameCase{"..", "...TXT"},
                    NameCase{"../ETC", "..%2FETC.TXT"}, NameCase{"..\\..\\WIN", "..%5C..%5CWIN.TXT"},
                    NameCase{"C:AB", "C%3AAB.TXT"}, NameCase{"/", "%2F.TXT"}, NameCase{"A*B?C\"D", "A%2AB%3FC%22D.TXT"},
                    NameCase{"<A|B>", "%3CA%7CB%3E.TXT"}, NameCase{"AB\tC\x7f", "AB%09C%7F.TXT"},
                    NameCase{"A%2FB", "A%252FB.TXT"},
                    // Names the workstation's system keeps for its devices, whatever their case,
                    // extension or trailing blanks.
                    NameCase{"CON", "%43ON.TXT"}, NameCase{"nul", "%6Eul.TXT"}, NameCase{"NUL.TXT", "%4EUL.TXT.TXT"},
                    NameCase{"aux.txt", "%61ux.txt.TXT"}, NameCase{"COM1.A", "%43OM1.A.TXT"},
                    NameCase{"LPT2", "%4CPT2.TXT"}, NameCase{"LPT9", "%4CPT9.TXT"}, NameCase{"COM0", "%43OM0.TXT"},
                    NameCase{"CON ", "%43ON .TXT"}, NameCase{"PRN. .X", "%50RN. .X.TXT"},
                    NameCase{"CONIN$", "%43ONIN$.TXT"}, NameCase{"conout$", "%63onout$.TXT"},
                    NameCase{"COM\u00B9", "%43OM\u00B9.TXT"}, NameCase{"lpt\u00B3", "%6Cpt\u00B3.TXT"},
                    // Ordinary registrations, and ones only near a device name, keep today's names.
                    NameCase{"COMA", "COMA.TXT"}, NameCase{"CONSOLE", "CONSOLE.TXT"}, NameCase{"COM10", "COM10.TXT"},
                    NameCase{"XCON", "XCON.TXT"}, NameCase{"CON_", "CON_.TXT"}, NameCase{"A_B", "A_B.TXT"},
                    NameCase{"AB 12 CD", "AB 12 CD.TXT"}, NameCase{"\u00C4\u00D6-1", "\u00C4\u00D6-1.TXT"}));

// However the names are escaped, a file never collects the reports of two registrations,
// also where file names do not tell upper from lower case.
TEST(RegistrationName, TwoRegistrationsNeverShareAFile)
{
    const QStringList typed = {QStringLiteral("A/B"),   QStringLiteral("A:B"),    QStringLiteral("A_B"),
                               QStringLiteral("A\\B"),  QStringLiteral("A%2FB"),  QStringLiteral("A%3AB"),
                               QStringLiteral("A%B"),   QStringLiteral("CON"),    QStringLiteral("CON_"),
                               QStringLiteral("%43ON"), QStringLiteral("CON "),   QStringLiteral("CON.TXT"),
                               QStringLiteral("COM1"),  QStringLiteral("%43OM1"), QStringLiteral("A?B"),
                               QStringLiteral("A*B"),   QStringLiteral(""),       QStringLiteral("%")};
    std::set<QString> names;
    for (const QString &registration : typed)
        EXPECT_TRUE(names.insert(report::RegistrationFileName(registration).toUpper()).second)
            << registration.toStdString() << " shares " << report::RegistrationFileName(registration).toStdString();
}

struct UnwritableCase {
    const char *name;
    QString path;
};

class UnwritableFile : public testing::TestWithParam<UnwritableCase> {};

TEST_P(UnwritableFile, AppendGivesTheSystemsReason)
{
    EXPECT_FALSE(report::AppendToFile(GetParam().path, "X \n").ok());
}

// The disk fills in the middle of a report: the reports before it stay, whole.
TEST(UnwritableFile, PartOfAReportIsCutAwayAgain)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("J1.TXT"));
    const QByteArray first("first report\n");
    ASSERT_TRUE(qova::test::Ok(report::AppendToFile(path, first)));
    if (!test::FileSizeCap::kAvailable)
        GTEST_SKIP() << test::FileSizeCap::kMissing;
    {
        test::FileSizeCap cap(static_cast<rlim_t>(first.size() + 5));
        EXPECT_FALSE(report::AppendToFile(path, QByteArray(200, 'x')).ok());
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), first);
}

INSTANTIATE_TEST_SUITE_P(Paths, UnwritableFile,
                         testing::Values(UnwritableCase{"MissingFolder", QStringLiteral("/nonexistent-qova/J1.TXT")},
                                         UnwritableCase{"ProcFolder", QStringLiteral("/proc/J1.TXT")},
                                         UnwritableCase{"DiskFull", QStringLiteral("/dev/full")}),
                         [](const testing::TestParamInfo<UnwritableCase> &info) {
                             return std::string(info.param.name);
                         });

TEST(Windows1252, DegreeSignIsOneByteAndForeignCharactersAreMarked)
{
    EXPECT_EQ(report::ToWindows1252(QStringLiteral("OIL \u00B0C")), QByteArray("OIL \xB0"
                                                                               "C"));
    EXPECT_EQ(report::ToWindows1252(QStringLiteral("\u20AC \u2013 \u0178 \u00FF")), QByteArray("\x80 \x96 \x9F \xFF"));
    EXPECT_EQ(report::ToWindows1252(QStringLiteral("\u0081\u03A9\U0001F600")), QByteArray("???"));
}
