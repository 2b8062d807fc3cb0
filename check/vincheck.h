#pragma once

#include <QString>
#include <cstdint>

namespace qova::check {

// How the VIN on the vehicle page stands against the one kept with the registration's
// last test, said before the check starts.
enum class VinAgreement : std::uint8_t {
    NothingToCompare, // no VIN given, or none kept
    Same,
    Differs,
    Doubtful, // the VIN given is not one to trust, whatever was kept
};

struct VinNote {
    VinAgreement agreement = VinAgreement::NothingToCompare;
    QString text; // for the operator; empty when there is nothing to say
};

// `kept`: the VIN of the registration's last test ("" when none); `given`: as read or typed;
// `doubt`: why `given` is not to be trusted ("" when it is). Letters compare regardless of
// case and blanks around them, as a VIN is copied by hand.
VinNote CompareVin(const QString &kept, const QString &given, const QString &doubt);

} // namespace qova::check
