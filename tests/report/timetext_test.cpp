#include "report/timetext.h"

#include <gtest/gtest.h>

using namespace qova;

namespace {

// A text given to the function and the text expected back.
struct TextCase {
    const char *name;
    const char *given;
    const char *expected;
};
using PatternCase = TextCase; // given: a time format pattern
using LocaleCase = TextCase;  // given: a locale's name

class ZonelessPattern : public testing::TestWithParam<PatternCase> {};

TEST_P(ZonelessPattern, DropsTheZoneAndWhatSetsItApart)
{
    EXPECT_EQ(report::WithoutTimeZone(QString::fromUtf8(GetParam().given)), QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, ZonelessPattern,
    testing::Values(PatternCase{"Last", "HH:mm:ss t", "HH:mm:ss"}, PatternCase{"LongName", "HH:mm:ss tttt", "HH:mm:ss"},
                    PatternCase{"First", "t HH:mm:ss", "HH:mm:ss"}, PatternCase{"Middle", "h:mm:ss t AP", "h:mm:ss AP"},
                    PatternCase{"SeveralBlanks", "h:mm:ss  tt  AP", "h:mm:ss  AP"},
                    PatternCase{"NoBreakSpace", "h:mm:ss\u202Ft", "h:mm:ss"},
                    PatternCase{"InParentheses", "H:mm:ss (t)", "H:mm:ss"},
                    PatternCase{"InBrackets", "APh:mm:ss [t]", "APh:mm:ss"},
                    PatternCase{"AfterComma", "h:mm:ss AP, t", "h:mm:ss AP"},
                    PatternCase{"QuotedTextKept", "'Klock' H.mm:ss (t)", "'Klock' H.mm:ss"},
                    PatternCase{"QuotedTeeIsNoZone", "HH 'at' mm't' t", "HH 'at' mm't'"},
                    PatternCase{"EscapedQuote", "HH''mm t", "HH''mm"},
                    PatternCase{"DotBeforeKept", "H:mm:ss '\u0447'. t", "H:mm:ss '\u0447'."},
                    PatternCase{"NoZone", "HH:mm:ss", "HH:mm:ss"}, PatternCase{"OnlyZone", "t", ""}),
    [](const auto &info) { return std::string(info.param.name); });

class ReportTimeText : public testing::TestWithParam<LocaleCase> {};

TEST_P(ReportTimeText, LongFormatWithoutItsZone)
{
    const QLocale locale(QString::fromLatin1(GetParam().given));
    EXPECT_EQ(report::ReportTime(locale, QTime(14, 7, 11)), QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Locales, ReportTimeText,
                         testing::Values(LocaleCase{"British", "en_GB", "14:07:11"},
                                         LocaleCase{"American", "en_US", "2:07:11 PM"},
                                         LocaleCase{"German", "de_DE", "14:07:11"},
                                         LocaleCase{"ChineseZoneFirst", "zh_CN", "14:07:11"},
                                         LocaleCase{"SpanishZoneInParentheses", "es_ES", "14:07:11"},
                                         LocaleCase{"AlbanianZoneAfterComma", "sq_AL", "2:07:11 E PASDITES"},
                                         LocaleCase{"KoreanZoneAfterWords", "ko_KR", "오후 2시 7분 11초"},
                                         LocaleCase{"CanadianFrenchQuotedWords", "fr_CA", "14 h 07 min 11 s"}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
