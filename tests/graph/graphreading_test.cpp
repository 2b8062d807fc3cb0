#include "display/clamp.h"
#include "display/graphreading.h"

#include <gtest/gtest.h>

using namespace qova;
using namespace qova::display;
using link::LiveReading;

namespace {

enum Trace { CO, CO2, HC, O2, NO, LAM, RPM, OIL };

struct TraceCase {
    const char *name;
    LiveReading reading; // as received
    Trace trace;
    int expected;
};

LiveReading with(void (*set)(LiveReading &))
{
    LiveReading r;
    set(r);
    return r;
}

class TraceTest : public testing::TestWithParam<TraceCase> {};

TEST_P(TraceTest, PlottedFromTheClampedReading)
{
    LiveReading r = GetParam().reading;
    ClampForGraph(r);
    EXPECT_EQ(GraphTraceValues(r)[GetParam().trace], GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Readings, TraceTest,
    testing::Values(TraceCase{"Hc2600", with([](LiveReading &r) { r.Hc = 2600; }), HC, 100},
                    TraceCase{"HcNegative", with([](LiveReading &r) { r.Hc = -40; }), HC, 0},
                    TraceCase{"Co2_150", with([](LiveReading &r) { r.Co2 = 150; }), CO2, 75},
                    TraceCase{"Co2_300", with([](LiveReading &r) { r.Co2 = 300; }), CO2, 100},
                    TraceCase{"O2_2090", with([](LiveReading &r) { r.O2 = 2090; }), O2, 100},
                    TraceCase{"Co_19", with([](LiveReading &r) { r.Co = 19; }), CO, 0},
                    TraceCase{"Co_150", with([](LiveReading &r) { r.Co = 150; }), CO, 7},
                    TraceCase{"Afr1470", with([](LiveReading &r) {
                                  r.ModeFlags = link::AfrMode;
                                  r.Efficiency = 1470;
                              }),
                              LAM, 73},
                    TraceCase{"Lambda3000", with([](LiveReading &r) { r.Efficiency = 3000; }), LAM, 100},
                    TraceCase{"NoxHigh", with([](LiveReading &r) { r.Nox = 9000; }), NO, 100},
                    TraceCase{"Rpm850", with([](LiveReading &r) { r.Rpm = 850; }), RPM, 4},
                    TraceCase{"Rpm32000", with([](LiveReading &r) { r.Rpm = 32000; }), RPM, 100},
                    // oil is plotted in tenths of degC also when the panel shows degF
                    TraceCase{"Oil650F", with([](LiveReading &r) {
                                  r.OilTemp = 650;
                                  r.ModeFlags = link::Fahrenheit;
                              }),
                              OIL, 32},
                    // not clamped below: truncated toward zero, below the baseline
                    TraceCase{"OilMinus25", with([](LiveReading &r) { r.OilTemp = -25; }), OIL, -1},
                    TraceCase{"OilMinus19", with([](LiveReading &r) { r.OilTemp = -19; }), OIL, 0},
                    TraceCase{"RpmMinus", with([](LiveReading &r) { r.Rpm = -32768; }), RPM, -163}),
    [](const testing::TestParamInfo<TraceCase> &info) { return std::string(info.param.name); });

TEST(ClampForGraph, BoundsOfEachField)
{
    LiveReading high;
    high.Efficiency = high.Hc = high.Co = high.Co2 = high.Nox = high.Rpm = high.OilTemp = high.O2 = 32767;
    ClampForGraph(high);
    EXPECT_EQ(high.Efficiency, 2000);
    EXPECT_EQ(high.Hc, 2000);
    EXPECT_EQ(high.Co, 2000);
    EXPECT_EQ(high.Co2, 200);
    EXPECT_EQ(high.Nox, 2000);
    EXPECT_EQ(high.Rpm, 20000);
    EXPECT_EQ(high.OilTemp, 2000);
    EXPECT_EQ(high.O2, 2000);

    LiveReading low;
    low.Efficiency = low.Hc = low.Co = low.Co2 = low.Nox = low.Rpm = low.OilTemp = low.O2 = -32768;
    low.Battery = 200;
    low.StatusA = 0xFF;
    ClampForGraph(low);
    EXPECT_EQ(low.Hc, 0);
    EXPECT_EQ(low.Co, 0);
    EXPECT_EQ(low.Co2, 0);
    EXPECT_EQ(low.O2, 0);
    EXPECT_EQ(low.Efficiency, -32768);
    EXPECT_EQ(low.Nox, -32768);
    EXPECT_EQ(low.Rpm, -32768);
    EXPECT_EQ(low.OilTemp, -32768);
    EXPECT_EQ(low.Battery, 200);
    EXPECT_EQ(low.StatusA, 0xFF);

    LiveReading edge; // the bounds themselves stay
    edge.Hc = 2000;
    edge.Co2 = 200;
    edge.Rpm = 20000;
    ClampForGraph(edge);
    EXPECT_EQ(edge.Hc, 2000);
    EXPECT_EQ(edge.Co2, 200);
    EXPECT_EQ(edge.Rpm, 20000);
}

TEST(GraphPanels, TextsOfAReading)
{
    LiveReading r;
    r.Battery = 87;
    r.TimeToZero = 5;
    r.Efficiency = 1000;
    r.Hc = 57;
    r.Co = 150;
    r.Co2 = 145;
    r.Nox = 25;
    r.Rpm = 850;
    r.OilTemp = 650;
    r.O2 = 2090;
    r.FuelCode = 1;
    ClampForGraph(r);
    GraphPanelTexts t = GraphPanels(r, false);
    EXPECT_EQ(t.co, QStringLiteral("CO:  1.50"));
    EXPECT_EQ(t.co2, QStringLiteral("CO2:  14.5"));
    EXPECT_EQ(t.hc, QStringLiteral("HC:  0057"));
    EXPECT_EQ(t.o2, QStringLiteral("O2:  20.00"));
    EXPECT_EQ(t.no, QStringLiteral("NO:  0025"));
    EXPECT_EQ(t.efficiency, QStringLiteral("LAMBDA   1.000"));
    EXPECT_EQ(t.oil, QString::fromUtf8("OIL \u00B0C    65.0"));
    EXPECT_EQ(t.rpm, QStringLiteral("RPM     0850"));
    EXPECT_EQ(t.fuel, QStringLiteral("FUEL  PETROL"));
    EXPECT_EQ(t.battery, QStringLiteral("BATTERY %  087"));
    EXPECT_EQ(t.timeToZero, QStringLiteral("TIME TO ZERO 05"));
    EXPECT_EQ(EfficiencyCaption(r), QStringLiteral("LMB"));

    r.ModeFlags = link::AfrMode | link::Fahrenheit;
    r.Efficiency = 1470;
    r.Hc = 2600;
    r.OilTemp = -100;
    r.FuelCode = 3;
    ClampForGraph(r);
    t = GraphPanels(r, true);
    EXPECT_EQ(t.efficiency, QStringLiteral("AFR      14.70"));
    EXPECT_EQ(t.hc, QStringLiteral("HC:  2000"));
    EXPECT_EQ(t.oil, QString::fromUtf8("OIL \u00B0F    14.0"));
    EXPECT_EQ(t.fuel, QStringLiteral("FUEL  "));
    EXPECT_EQ(EfficiencyCaption(r), QStringLiteral("AFR"));
    r.FuelCode = 1;
    EXPECT_EQ(GraphPanels(r, true).fuel, QStringLiteral("FUEL  GASOLINE"));
}

} // namespace
