#include "ui/windowplace.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>

using namespace qova;

namespace {

// 1280x1024 at 150 % display scale, less a 30-pixel panel, beside a second screen on its left.
const QRect kScaled(0, 0, 853, 653);
const QRect kLeftScreen(-1920, 0, 1920, 1050);

struct PlaceCase {
    const char *name;
    QRect saved;
    QList<QRect> screens;
    std::optional<QRect> placed;
};

class Restore : public testing::TestWithParam<PlaceCase> {};

TEST_P(Restore, PutsAWindowBackOnlyWhereItCanBeTakenHoldOf)
{
    const PlaceCase &c = GetParam();
    EXPECT_EQ(ui::RestoredPlace(c.saved, c.screens), c.placed);
}

INSTANTIATE_TEST_SUITE_P(
    Screens, Restore,
    testing::Values(PlaceCase{"WhereItWas", QRect(100, 80, 600, 400), {kScaled}, QRect(100, 80, 600, 400)},
                    PlaceCase{"LargerThanTheScreenNow", QRect(10, 10, 960, 680), {kScaled}, QRect(0, 0, 853, 653)},
                    PlaceCase{"OverTheRightEdge", QRect(700, 100, 600, 400), {kScaled}, QRect(253, 100, 600, 400)},
                    PlaceCase{"OnTheSecondScreen",
                              QRect(-1500, 200, 800, 600),
                              {kScaled, kLeftScreen},
                              QRect(-1500, 200, 800, 600)},
                    PlaceCase{"OnAScreenSinceUnplugged", QRect(-1500, 200, 800, 600), {kScaled}, std::nullopt},
                    PlaceCase{"TitleBarAboveTheScreen", QRect(100, -300, 600, 400), {kScaled}, std::nullopt},
                    PlaceCase{"OnlyACornerShows", QRect(800, 640, 600, 400), {kScaled}, std::nullopt},
                    PlaceCase{"NoScreenAtAll", QRect(100, 80, 600, 400), {}, std::nullopt},
                    PlaceCase{"NoSize", QRect(100, 80, 0, 400), {kScaled}, std::nullopt}),
    [](const testing::TestParamInfo<PlaceCase> &info) { return std::string(info.param.name); });

struct TextCase {
    const char *text;
    std::optional<QRect> place;
};

class PlaceText : public testing::TestWithParam<TextCase> {};

TEST_P(PlaceText, ReadsBackOnlyAPlausiblePlace)
{
    const TextCase &c = GetParam();
    EXPECT_EQ(ui::PlaceFromText(QString::fromLatin1(c.text)), c.place) << c.text;
    if (c.place) {
        EXPECT_EQ(ui::PlaceFromText(ui::PlaceText(*c.place)), c.place);
    }
}

INSTANTIATE_TEST_SUITE_P(Settings, PlaceText,
                         testing::Values(TextCase{"100 80 600 400", QRect(100, 80, 600, 400)},
                                         TextCase{"-1500 200 800 600", QRect(-1500, 200, 800, 600)},
                                         TextCase{"100 80 600", std::nullopt},
                                         TextCase{"100 80 600 400 5", std::nullopt}, TextCase{"a b c d", std::nullopt},
                                         TextCase{"100 80 0 400", std::nullopt},
                                         TextCase{"100 80 -600 400", std::nullopt},
                                         TextCase{"100 80 600 99999", std::nullopt}, TextCase{"", std::nullopt}));

TEST(FittedToScreen, ShrinksAndMovesOntoTheScreen)
{
    EXPECT_EQ(ui::FittedToScreen(QRect(50, 50, 976, 720), kScaled), QRect(0, 0, 853, 653));
    EXPECT_EQ(ui::FittedToScreen(QRect(50, 50, 500, 300), kScaled), QRect(50, 50, 500, 300));
    EXPECT_EQ(ui::FittedToScreen(QRect(-40, 500, 500, 300), kScaled), QRect(0, 353, 500, 300));
}

} // namespace
