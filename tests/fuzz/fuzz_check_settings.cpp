// Any bytes as the check's settings, one "key=value" a line: every value the check gets lies
// in its range whatever was written, and everything ignored is named.
#include "check/checksettings.h"

#include <QHash>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QHash<QString, QVariant> values;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            values.insert(line.left(eq), line.mid(eq + 1));
    }
    qova::settings::ValidatedSettings read([&](const QString &key) { return values.value(key); },
                                           QStringLiteral("check.conf"));
    const qova::check::CheckSettings s = qova::check::ReadCheckSettings(read);
    const QString name = qova::check::ReadOperatorName(read);
    const bool sound = s.passWindowMs >= 1000 && s.measureMs >= s.passWindowMs && s.settleMs >= 0 &&
                       s.oilWarmTenths >= 0 && s.readyTimeoutMs > 0 && s.warmTimeoutMs > 0 &&
                       s.stageTimeoutMs > s.settleMs + s.measureMs && name.size() <= 60 && !name.contains(QChar('\n'));
    if (!sound)
        std::abort();
    for (const auto &problem : read.problems())
        if (!values.contains(problem.key))
            std::abort();
    return 0;
}
