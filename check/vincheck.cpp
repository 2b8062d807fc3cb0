#include "check/vincheck.h"

namespace qova::check {

VinNote CompareVin(const QString &kept, const QString &given, const QString &doubt)
{
    const QString now = given.trimmed().toUpper();
    const QString before = kept.trimmed().toUpper();
    if (now.isEmpty())
        return {};
    if (!doubt.isEmpty()) {
        QString text = QStringLiteral("The VIN %1 is in doubt: %2. Check it against the plate on the car.")
                           .arg(given.trimmed(), doubt);
        if (!before.isEmpty() && before != now)
            text += QStringLiteral(" The last test of this registration kept %1.").arg(kept.trimmed());
        return {VinAgreement::Doubtful, text};
    }
    if (before.isEmpty())
        return {};
    if (before == now)
        return {VinAgreement::Same, QStringLiteral("The VIN is the one kept with the last test.")};
    return {VinAgreement::Differs,
            QStringLiteral("The VIN %1 differs from %2, kept with the last test of this registration: check that "
                           "this is the car registered, before the check starts.")
                .arg(now, before)};
}

} // namespace qova::check
