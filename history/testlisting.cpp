#include "history/testlisting.h"

namespace qova::history {

QString FixedText(int scaled, int decimals)
{
    double divisor = 1;
    for (int i = 0; i < decimals; ++i)
        divisor *= 10;
    return QString::number(scaled / divisor, 'f', decimals);
}

QString EfficiencyText(const TestEntry &e, const Values &v)
{
    return e.afr ? QStringLiteral("AFR %1").arg(FixedText(v.efficiency, 2))
                 : QStringLiteral("Lambda %1").arg(FixedText(v.efficiency, 3));
}

QStringList ListedColumnNames()
{
    return {QStringLiteral("Taken"),   QStringLiteral("Kind"),         QStringLiteral("Registration"),
            QStringLiteral("Vehicle"), QStringLiteral("Fuel"),         QStringLiteral("CO %"),
            QStringLiteral("HC ppm"),  QStringLiteral("Lambda / AFR"), QStringLiteral("Verdict")};
}

QStringList ListedCells(const TestEntry &e)
{
    auto measured = [&](int bit, const QString &text) { return (e.measured & bit) != 0 ? text : QString(); };
    // The operator prints a "test report"; the check is the other kind.
    const QString kind = e.kind == kCheckKind ? QStringLiteral("check") : QStringLiteral("test");
    return {e.takenAt.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
            kind,
            e.registration,
            e.vehicle,
            e.fuel.trimmed(),
            measured(MeasuredCo, FixedText(e.printed.co, 2)),
            measured(MeasuredHc, QString::number(e.printed.hc)),
            measured(MeasuredEfficiency, EfficiencyText(e, e.printed)),
            e.verdict};
}

} // namespace qova::history
