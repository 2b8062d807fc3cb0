// What the vehicle page says of the VIN against the one kept with the registration's last
// test, and when a VIN as typed is in doubt.
#include "check/vincheck.h"
#include "obd/obddecode.h"

#include <gtest/gtest.h>

namespace qova::check {
namespace {

struct VinRow {
    const char *name;
    const char *kept;
    const char *given;
    VinAgreement agreement;
    const char *noteHas; // "" when nothing is to be said
};

class VinComparison : public ::testing::TestWithParam<VinRow> {};

TEST_P(VinComparison, SaysWhatTheOperatorMustKnow)
{
    const auto &row = GetParam();
    const QString given = QString::fromUtf8(row.given);
    const VinNote note = CompareVin(QString::fromUtf8(row.kept), given, obd::VinDoubt(given.trimmed().toUpper()));
    EXPECT_EQ(note.agreement, row.agreement);
    if (*row.noteHas == '\0')
        EXPECT_TRUE(note.text.isEmpty()) << note.text.toStdString();
    else
        EXPECT_TRUE(note.text.contains(QString::fromUtf8(row.noteHas))) << note.text.toStdString();
}

using A = VinAgreement;
INSTANTIATE_TEST_SUITE_P(
    Check, VinComparison,
    ::testing::Values(
        VinRow{"same", "WVWZZZ1JZXW000001", "WVWZZZ1JZXW000001", A::Same, "the one kept"},
        VinRow{"same_typed_in_small_letters", "WVWZZZ1JZXW000001", " wvwzzz1jzxw000001 ", A::Same, "the one kept"},
        VinRow{"one_character_differs", "WVWZZZ1JZXW000001", "WVWZZZ1JZXW000002", A::Differs, "WVWZZZ1JZXW000001"},
        VinRow{"nothing_kept", "", "WVWZZZ1JZXW000001", A::NothingToCompare, ""},
        VinRow{"nothing_given", "WVWZZZ1JZXW000001", "", A::NothingToCompare, ""},
        VinRow{"blank_given", "WVWZZZ1JZXW000001", "   ", A::NothingToCompare, ""},
        // Letters a VIN never holds (O for 0) are doubted, not matched.
        VinRow{"letter_o_for_zero", "", "WVWZZZ1JZXWO00001", A::Doubtful, "character 12"},
        VinRow{"doubtful_and_different", "WVWZZZ1JZXW000001", "WVWZZZ1JZXW00000", A::Doubtful,
               "kept WVWZZZ1JZXW000001"},
        VinRow{"doubtful_with_garbled_byte", "", "VF1DEMCAR\u00b700000001", A::Doubtful, "character 10"},
        VinRow{"too_long", "", "WVWZZZ1JZXW0000011", A::Doubtful, "18 characters"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace qova::check
