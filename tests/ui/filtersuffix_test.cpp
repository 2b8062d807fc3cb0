// The suffix a save dialog adds follows the filter the operator selects.
#include "ui/operator.h"

#include <gtest/gtest.h>

namespace {

struct Row {
    const char *filter;
    const char *suffix;
};

class FilterSuffixOf : public ::testing::TestWithParam<Row> {};

TEST_P(FilterSuffixOf, IsItsFirstPatterns)
{
    EXPECT_EQ(qova::ui::FilterSuffix(QString::fromUtf8(GetParam().filter)), QString::fromUtf8(GetParam().suffix));
}

INSTANTIATE_TEST_SUITE_P(Ui, FilterSuffixOf,
                         ::testing::Values(Row{"Qova Test Data File (*.TXT *.txt)", "TXT"},
                                           Row{"CSV for spreadsheets (*.csv)", "csv"},
                                           Row{"PDF document (*.pdf)", "pdf"}, Row{"Any file (*)", ""},
                                           Row{"Stored tests (QOVA*.QVS)", ""}, Row{"no pattern", ""},
                                           Row{"Archives (*.tar.gz)", ""}));

} // namespace
