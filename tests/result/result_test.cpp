#include "result/result.h"

#include <gtest/gtest.h>

namespace {

struct TextCase {
    const char *name;
    qova::Problem problem;
    QString shown;
};

class ProblemText : public testing::TestWithParam<TextCase> {};

// The operator reads text(); messages the program has always shown pass through it whole.
TEST_P(ProblemText, JoinsOnlyThePartsThatAreThere)
{
    EXPECT_EQ(GetParam().problem.text(), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Parts, ProblemText,
    testing::Values(
        // A whole old message, its blanks included, must not gain a colon or lose a blank.
        TextCase{"WholeMessage", {QStringLiteral("    No Data   "), {}, {}}, QStringLiteral("    No Data   ")},
        TextCase{"WhatAndWhy",
                 {QStringLiteral("The history at h.db cannot be opened"), QStringLiteral("disk I/O error"), {}},
                 QStringLiteral("The history at h.db cannot be opened: disk I/O error")},
        TextCase{"AllThree",
                 {QStringLiteral("COM3 cannot be opened"), QStringLiteral("Permission denied"),
                  QStringLiteral("Choose another in FILE > COMM.")},
                 QStringLiteral("COM3 cannot be opened: Permission denied Choose another in FILE > COMM.")},
        TextCase{"FixWithoutWhy",
                 {QStringLiteral("No adapter answered"), {}, QStringLiteral("Check QOVA_OBD.")},
                 QStringLiteral("No adapter answered Check QOVA_OBD.")},
        TextCase{"WhyAlone",
                 {{}, QStringLiteral("the history is not open"), {}},
                 QStringLiteral("the history is not open")}),
    [](const testing::TestParamInfo<TextCase> &info) { return info.param.name; });

} // namespace
