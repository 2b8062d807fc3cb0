#include "display/clamp.h"
#include "display/digits.h"
#include "display/texts.h"

#include <gtest/gtest.h>

using namespace qova;
using display::DigitMode;
using display::PlacedGlyph;

namespace {

constexpr int P = display::kPointGlyph;
constexpr int B = display::kBlankGlyph;

struct NumberCase {
    const char *name;
    std::int16_t value;
    DigitMode mode;
    int pointWidth;
    std::vector<int> glyphs;
    std::vector<int> xs; // relative to x
};

class DrawBigNumberTest : public testing::TestWithParam<NumberCase> {};

TEST_P(DrawBigNumberTest, GlyphsLeftToRight)
{
    const NumberCase &c = GetParam();
    const auto placed = display::DrawBigNumber(100, 20, c.value, c.mode, c.pointWidth);
    ASSERT_EQ(placed.size(), c.glyphs.size());
    for (std::size_t i = 0; i < placed.size(); ++i) {
        EXPECT_EQ(placed[i].glyph, c.glyphs[i]) << "glyph " << i;
        EXPECT_EQ(placed[i].at, QPoint(100 + c.xs[i], 20)) << "glyph " << i;
    }
}

// w = 90, p = 12.
INSTANTIATE_TEST_SUITE_P(
    Figures, DrawBigNumberTest,
    testing::Values(
        NumberCase{"Co150", 150, DigitMode::Four, 12, {0, 1, P, 5, 0}, {0, 90, 180, 192, 282}},
        NumberCase{"Co2_145", 145, DigitMode::BlankAndThree, 12, {B, 1, 4, P, 5}, {0, 90, 180, 270, 282}},
        NumberCase{"O2_2090", 2090, DigitMode::Four, 12, {2, 0, P, 9, 0}, {0, 90, 180, 192, 282}},
        NumberCase{"Hc57NoPoint", 57, DigitMode::Four, 0, {0, 0, 5, 7}, {0, 90, 180, 270}},
        NumberCase{"Co2NoPoint", 7, DigitMode::BlankAndThree, 0, {B, 0, 0, 7}, {0, 90, 180, 270}},
        NumberCase{"CoOverRange", 9999, DigitMode::Four, 12, {9, 9, P, 9, 9}, {0, 90, 180, 192, 282}},
        NumberCase{"Co2OverRange", 999, DigitMode::BlankAndThree, 12, {B, 9, 9, P, 9}, {0, 90, 180, 270, 282}},
        // Unclamped values must not pick a glyph that does not exist.
        NumberCase{"NegativeShowsBlank", -5, DigitMode::BlankAndThree, 12, {B, B, 0, P, 5}, {0, 90, 180, 270, 282}},
        NumberCase{"FiveDigitsKeepFirstFour", 12345, DigitMode::Four, 0, {1, 2, 3, 4}, {0, 90, 180, 270}}),
    [](const testing::TestParamInfo<NumberCase> &info) { return info.param.name; });

TEST(DisplayLayoutTest, Positions1024Wide)
{
    const auto l = display::ComputeLayout(1024);
    EXPECT_EQ(l.d, 375);
    EXPECT_EQ(l.X, 167);
    EXPECT_EQ(l.x0, (1024 - (8 * 90 + 2 * 12 + 20)) / 2);
    EXPECT_EQ(l.co, QPoint(l.x0, 20));
    EXPECT_EQ(l.co2, QPoint(l.x0 + 4 * 90 + 12 + 20, 20));
    EXPECT_EQ(l.o2, QPoint(l.x0 + 6, 190));
    EXPECT_EQ(l.hc, QPoint(l.x0 + 392, 190));
    EXPECT_EQ(l.panel8, QPoint(157, 349));
    EXPECT_EQ(l.panel9, QPoint(512 - 336, 471));
    EXPECT_EQ(l.panel1, QPoint(167, 363));
    EXPECT_EQ(l.panel5, QPoint(487, 363));
    EXPECT_EQ(l.panel7, QPoint(647, 371));
    EXPECT_EQ(l.panel6, QPoint(487, 413));
    EXPECT_EQ(l.label3, QPoint(200, 174));
    EXPECT_EQ(l.label4, QPoint(580, 174));
}

struct ScreenCase {
    const char *name;
    int width;
};

void PrintTo(const ScreenCase &c, std::ostream *os)
{
    *os << c.name;
}

class LabelOverFigureTest : public testing::TestWithParam<ScreenCase> {};

// Each label stands just above its own figure, inside its width, and nearer to it than to
// any other figure, so no reading can be taken for another gas.
TEST_P(LabelOverFigureTest, EachLabelOverItsOwnFigure)
{
    const auto l = display::ComputeLayout(GetParam().width);
    // The widest label ("HC ppm" in bold) with room to spare.
    const QSize labelSize(60, 16);
    for (display::Figure f : display::kFigures) {
        const QRect label(display::LabelPosition(l, f), labelSize);
        const QRect own = display::FigureBox(l, f);
        SCOPED_TRACE(testing::Message() << "figure " << int(f));
        EXPECT_GE(label.left(), own.left());
        EXPECT_LE(label.right(), own.right());
        EXPECT_LE(label.bottom(), own.top());
        EXPECT_LE(own.top() - label.top(), 20);
        for (display::Figure other : display::kFigures) {
            if (other == f)
                continue;
            const QRect box = display::FigureBox(l, other);
            EXPECT_FALSE(box.intersects(label)) << "over figure " << int(other);
            if (box.top() == own.top()) {
                EXPECT_TRUE(label.right() < box.left() || label.left() > box.right()) << "under figure " << int(other);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, LabelOverFigureTest,
                         testing::Values(ScreenCase{"W800", 800}, ScreenCase{"W1024", 1024}, ScreenCase{"W1280", 1280},
                                         ScreenCase{"W1920", 1920}, ScreenCase{"W2560", 2560}),
                         [](const testing::TestParamInfo<ScreenCase> &info) { return info.param.name; });

TEST(DisplayLayoutTest, NarrowScreenTruncatesTowardZero)
{
    // 679 - 690 = -11: half is -5, not -6.
    EXPECT_EQ(display::ComputeLayout(679).X, -5);
    // 673 / 2 = 336 and 675 / 2 = 337, halved separately.
    EXPECT_EQ(display::ComputeLayout(675).panel9.x(), 337 - 336);
}

TEST(FigureGlyphsTest, NineteenGlyphsWithHcWithoutPoint)
{
    link::LiveReading r;
    r.Co = 150;
    r.Co2 = 145;
    r.O2 = 2090;
    r.Hc = 57;
    const auto l = display::ComputeLayout(1024);
    const auto g = display::FigureGlyphs(r, l);
    ASSERT_EQ(g.size(), 19u);
    EXPECT_EQ(g[0], (PlacedGlyph{0, l.co}));
    EXPECT_EQ(g[5], (PlacedGlyph{B, l.co2}));
    EXPECT_EQ(g[10], (PlacedGlyph{2, l.o2}));
    const std::vector<PlacedGlyph> hc(g.begin() + 15, g.end());
    EXPECT_EQ(hc, (std::vector<PlacedGlyph>{
                      {0, l.hc}, {0, l.hc + QPoint(90, 0)}, {5, l.hc + QPoint(180, 0)}, {7, l.hc + QPoint(270, 0)}}));
}

struct ClampCase {
    const char *name;
    std::int16_t link::LiveReading::*field;
    bool afr;
    std::int16_t in;
    std::int16_t out;
};

class ClampTest : public testing::TestWithParam<ClampCase> {};

TEST_P(ClampTest, Bounds)
{
    const ClampCase &c = GetParam();
    link::LiveReading r;
    r.Efficiency = 1000;
    r.ModeFlags = c.afr ? link::AfrMode : 0;
    if (c.afr)
        r.Efficiency = 1470;
    r.*c.field = c.in;
    r.Rpm = -300;
    r.OilTemp = 32000;
    display::ClampForDisplay(r);
    EXPECT_EQ(r.*c.field, c.out);
    EXPECT_EQ(r.Rpm, -300);
    EXPECT_EQ(r.OilTemp, 32000);
}

using R = link::LiveReading;
INSTANTIATE_TEST_SUITE_P(
    Fields, ClampTest,
    testing::Values(ClampCase{"LambdaLowKept", &R::Efficiency, false, 500, 500},
                    ClampCase{"LambdaBelow", &R::Efficiency, false, 499, 9999},
                    ClampCase{"Lambda400", &R::Efficiency, false, 400, 9999},
                    ClampCase{"LambdaHighKept", &R::Efficiency, false, 10000, 10000},
                    ClampCase{"LambdaAbove", &R::Efficiency, false, 10001, 9999},
                    ClampCase{"AfrLowKept", &R::Efficiency, true, 730, 730},
                    ClampCase{"Afr800", &R::Efficiency, true, 800, 800},
                    ClampCase{"AfrBelow", &R::Efficiency, true, 729, 9999},
                    ClampCase{"AfrHighKept", &R::Efficiency, true, 14700, 14700},
                    ClampCase{"AfrAbove", &R::Efficiency, true, 14701, 9999},
                    ClampCase{"HcNegative", &R::Hc, false, -1, 0}, ClampCase{"HcTop", &R::Hc, false, 9999, 9999},
                    ClampCase{"HcAbove", &R::Hc, false, 10000, 9999}, ClampCase{"CoTopKept", &R::Co, false, 2500, 2500},
                    ClampCase{"CoAbove", &R::Co, false, 2501, 9999}, ClampCase{"Co2600", &R::Co, false, 2600, 9999},
                    ClampCase{"CoNegative", &R::Co, false, -40, 0}, ClampCase{"Co2TopKept", &R::Co2, false, 250, 250},
                    ClampCase{"Co2Above", &R::Co2, false, 260, 999}, ClampCase{"Co2Negative", &R::Co2, false, -5, 0},
                    ClampCase{"NoxTopKept", &R::Nox, false, 5000, 5000},
                    ClampCase{"Nox6000", &R::Nox, false, 6000, 9999}, ClampCase{"NoxNegative", &R::Nox, false, -1, 0},
                    ClampCase{"O2TopKept", &R::O2, false, 2200, 2200}, ClampCase{"O2Above", &R::O2, false, 2201, 9999},
                    ClampCase{"O2Negative", &R::O2, false, -1, 0}),
    [](const testing::TestParamInfo<ClampCase> &info) { return info.param.name; });

struct PanelCase {
    const char *name;
    std::function<void(link::LiveReading &)> set;
    bool usLocale;
    int panel;
    QString text;
};

class PanelTextTest : public testing::TestWithParam<PanelCase> {};

TEST_P(PanelTextTest, Formatted)
{
    const PanelCase &c = GetParam();
    link::LiveReading r;
    r.Efficiency = 1000;
    c.set(r);
    display::ClampForDisplay(r);
    const auto texts = display::FormatPanelTexts(r, c.usLocale);
    EXPECT_EQ(texts[static_cast<std::size_t>(c.panel)].toStdString(), c.text.toStdString());
}

const QString deg = QString(QChar(0xB0));
INSTANTIATE_TEST_SUITE_P(
    Panels, PanelTextTest,
    testing::Values(
        PanelCase{"Lambda", [](R &r) { r.Efficiency = 1000; }, false, 0, QStringLiteral("LAMBDA   1.000")},
        PanelCase{"LambdaOutOfRange", [](R &r) { r.Efficiency = 400; }, false, 0, QStringLiteral("LAMBDA   9.999")},
        PanelCase{"Afr",
                  [](R &r) {
                      r.ModeFlags = link::AfrMode;
                      r.Efficiency = 800;
                  },
                  false, 0, QStringLiteral("AFR      8.00")},
        PanelCase{"AfrOutOfRange",
                  [](R &r) {
                      r.ModeFlags = link::AfrMode;
                      r.Efficiency = 20000;
                  },
                  false, 0, QStringLiteral("AFR      99.99")},
        PanelCase{"OilC", [](R &r) { r.OilTemp = 250; }, false, 1, QStringLiteral("OIL ") + deg + "C    25.0"},
        PanelCase{"OilF",
                  [](R &r) {
                      r.OilTemp = -100;
                      r.ModeFlags = link::Fahrenheit;
                  },
                  false, 1, QStringLiteral("OIL ") + deg + "F    14.0"},
        PanelCase{"Rpm", [](R &r) { r.Rpm = 850; }, false, 2, QStringLiteral("RPM     0850")},
        PanelCase{"FuelPetrol", [](R &r) { r.FuelCode = 1; }, false, 3, QStringLiteral("FUEL  PETROL")},
        PanelCase{"FuelGasoline", [](R &r) { r.FuelCode = 1; }, true, 3, QStringLiteral("FUEL  GASOLINE")},
        PanelCase{"FuelLpg", [](R &r) { r.FuelCode = 0; }, true, 3, QStringLiteral("FUEL  LPG   ")},
        PanelCase{"FuelNone", [](R &r) { r.FuelCode = 3; }, false, 3, QStringLiteral("FUEL  ")},
        PanelCase{"Battery", [](R &r) { r.Battery = 7; }, false, 4, QStringLiteral("BATTERY %  007")},
        PanelCase{"TimeToZero", [](R &r) { r.TimeToZero = 5; }, false, 5, QStringLiteral("TIME TO ZERO 05")},
        PanelCase{"TimeToZeroWide", [](R &r) { r.TimeToZero = 200; }, false, 5, QStringLiteral("TIME TO ZERO 200")},
        PanelCase{"Nox", [](R &r) { r.Nox = 25; }, false, 6, QStringLiteral("NOx: 0025")},
        PanelCase{"NoxOverRange", [](R &r) { r.Nox = 6000; }, false, 6, QStringLiteral("NOx: 9999")}),
    [](const testing::TestParamInfo<PanelCase> &info) { return info.param.name; });

TEST(StatusTextTest, PumpAndPower)
{
    link::LiveReading r;
    EXPECT_EQ(display::PumpText(r), QStringLiteral("Pump: OFF"));
    EXPECT_EQ(display::PowerText(r), QStringLiteral("Normal Operation"));
    r.StatusB = link::PumpOn | link::Zeroing;
    r.StatusA = link::PowerUpCountdown | link::LeakTestOffer;
    EXPECT_EQ(display::PumpText(r), QStringLiteral("Pump: ON"));
    EXPECT_EQ(display::PowerText(r), QStringLiteral("Power Up CountDown"));
}

} // namespace
