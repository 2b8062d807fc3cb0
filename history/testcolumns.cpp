#include "history/testcolumns.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>

namespace qova::history {

namespace {

QVariant cell(const QString &v)
{
    return QVariant(v);
}
QVariant cell(int v)
{
    return QVariant(v);
}
QVariant cell(bool v)
{
    return QVariant(v);
}
QVariant cell(const QStringList &v)
{
    return QVariant(v);
}
QVariant cell(const QDateTime &v)
{
    return QVariant(v);
}
QVariant cell(const std::optional<int> &v)
{
    return v ? QVariant(*v) : QVariant();
}

void take(const QVariant &v, QString &into)
{
    into = v.toString();
}
void take(const QVariant &v, int &into)
{
    into = v.toInt();
}
void take(const QVariant &v, bool &into)
{
    into = v.toBool();
}
void take(const QVariant &v, QStringList &into)
{
    into = v.toStringList();
}
void take(const QVariant &v, QDateTime &into)
{
    into = v.toDateTime();
}
void take(const QVariant &v, std::optional<int> &into)
{
    into = v.isValid() && !v.isNull() ? std::optional<int>(v.toInt()) : std::nullopt;
}

// The two accessors of a field of the entry.
#define QOVA_FIELD(field)                                                                                              \
    [](const TestEntry &e) { return cell(e.field); }, [](TestEntry &e, const QVariant &v) { take(v, e.field); }

constexpr int kFirst = 1;
// Measured values, the verdict of each stage and what decided it.
constexpr int kMeasuredAndStages = 3;
// The VIN, the car's own diagnostics and the sources of the engine speed and warmth.
constexpr int kCarAndSources = 4;
static_assert(kAllMeasured == 255, "the default of the column measured");

using T = CellType;

constexpr StoredColumn kColumns[] = {
    {Column::Uid, "uid", "VARCHAR(36) NOT NULL UNIQUE", kFirst, T::Text, nullptr, "uid", true, 0, QOVA_FIELD(uid)},
    {Column::Kind, "kind", "VARCHAR(8) NOT NULL", kFirst, T::Text, nullptr, "kind", true, 0, QOVA_FIELD(kind)},
    {Column::TakenAt, "taken_at", "VARCHAR(32) NOT NULL", kFirst, T::Time, nullptr, "takenAt", true, 0,
     QOVA_FIELD(takenAt)},
    {Column::TakenMs, "taken_ms", "BIGINT NOT NULL", kFirst, T::Millis, nullptr, nullptr, false, 0,
     [](const TestEntry &e) { return QVariant(e.takenAt.toMSecsSinceEpoch()); }, nullptr},
    {Column::Registration, "registration", "TEXT NOT NULL", kFirst, T::Text, nullptr, "registration", true, 0,
     QOVA_FIELD(registration)},
    {Column::RegistrationKey, "registration_key", "TEXT NOT NULL", kFirst, T::Text, nullptr, nullptr, false, 0,
     [](const TestEntry &e) { return QVariant(NormalisedRegistration(e.registration)); }, nullptr},
    {Column::Vehicle, "vehicle", "TEXT NOT NULL", kFirst, T::Text, nullptr, "vehicle", true, 0, QOVA_FIELD(vehicle)},
    {Column::CompanyHeader, "company_header", "TEXT NOT NULL", kFirst, T::Text, nullptr, "companyHeader", true, 0,
     QOVA_FIELD(companyHeader)},
    {Column::Fuel, "fuel", "TEXT NOT NULL", kFirst, T::Text, nullptr, "fuel", true, 0, QOVA_FIELD(fuel)},
    {Column::FuelCode, "fuel_code", "INTEGER NOT NULL", kFirst, T::Integer, nullptr, "fuelCode", false, 0,
     QOVA_FIELD(fuelCode)},
    {Column::ModeFlags, "mode_flags", "INTEGER NOT NULL", kFirst, T::Integer, nullptr, "modeFlags", false, 0,
     QOVA_FIELD(modeFlags)},
    {Column::AfrMode, "afr_mode", "INTEGER NOT NULL", kFirst, T::Flag, nullptr, "afr", true, 0, QOVA_FIELD(afr)},
    {Column::Fahrenheit, "fahrenheit", "INTEGER NOT NULL", kFirst, T::Flag, nullptr, "fahrenheit", true, 0,
     QOVA_FIELD(fahrenheit)},
    {Column::Co, "co", "INTEGER NOT NULL", kFirst, T::Integer, "printed", "co", true, MeasuredCo,
     QOVA_FIELD(printed.co)},
    {Column::Co2, "co2", "INTEGER NOT NULL", kFirst, T::Integer, "printed", "co2", true, MeasuredCo2,
     QOVA_FIELD(printed.co2)},
    {Column::Hc, "hc", "INTEGER NOT NULL", kFirst, T::Integer, "printed", "hc", true, MeasuredHc,
     QOVA_FIELD(printed.hc)},
    {Column::O2, "o2", "INTEGER NOT NULL", kFirst, T::Integer, "printed", "o2", true, MeasuredO2,
     QOVA_FIELD(printed.o2)},
    {Column::Nox, "nox", "INTEGER NOT NULL", kFirst, T::Integer, "printed", "nox", true, MeasuredNox,
     QOVA_FIELD(printed.nox)},
    {Column::Rpm, "rpm", "INTEGER NOT NULL", kFirst, T::Integer, "printed", "rpm", true, MeasuredRpm,
     QOVA_FIELD(printed.rpm)},
    {Column::OilTemp, "oil_temp", "INTEGER NOT NULL", kFirst, T::Integer, "printed", "oilTemp", true, MeasuredOilTemp,
     QOVA_FIELD(printed.oilTemp)},
    {Column::Efficiency, "efficiency", "INTEGER NOT NULL", kFirst, T::Integer, "printed", "efficiency", true,
     MeasuredEfficiency, QOVA_FIELD(printed.efficiency)},
    {Column::ReceivedCo, "received_co", "INTEGER NOT NULL", kFirst, T::Integer, "received", "co", true, 0,
     QOVA_FIELD(received.co)},
    {Column::ReceivedCo2, "received_co2", "INTEGER NOT NULL", kFirst, T::Integer, "received", "co2", true, 0,
     QOVA_FIELD(received.co2)},
    {Column::ReceivedHc, "received_hc", "INTEGER NOT NULL", kFirst, T::Integer, "received", "hc", true, 0,
     QOVA_FIELD(received.hc)},
    {Column::ReceivedO2, "received_o2", "INTEGER NOT NULL", kFirst, T::Integer, "received", "o2", true, 0,
     QOVA_FIELD(received.o2)},
    {Column::ReceivedNox, "received_nox", "INTEGER NOT NULL", kFirst, T::Integer, "received", "nox", true, 0,
     QOVA_FIELD(received.nox)},
    {Column::ReceivedRpm, "received_rpm", "INTEGER NOT NULL", kFirst, T::Integer, "received", "rpm", true, 0,
     QOVA_FIELD(received.rpm)},
    {Column::ReceivedOilTemp, "received_oil_temp", "INTEGER NOT NULL", kFirst, T::Integer, "received", "oilTemp", true,
     0, QOVA_FIELD(received.oilTemp)},
    {Column::ReceivedEfficiency, "received_efficiency", "INTEGER NOT NULL", kFirst, T::Integer, "received",
     "efficiency", true, 0, QOVA_FIELD(received.efficiency)},
    {Column::Page, "page", "TEXT NOT NULL", kFirst, T::Lines, nullptr, "pageLines", true, 0, QOVA_FIELD(pageLines)},
    {Column::Verdict, "verdict", "TEXT", kFirst, T::NullableText, nullptr, "verdict", false, 0, QOVA_FIELD(verdict)},
    {Column::Measured, "measured", "INTEGER NOT NULL DEFAULT 255", kMeasuredAndStages, T::Integer, nullptr, "measured",
     false, 0, QOVA_FIELD(measured)},
    {Column::FastIdleVerdict, "fast_idle_verdict", "TEXT", kMeasuredAndStages, T::NullableText, "fastIdle", "verdict",
     false, 0, QOVA_FIELD(fastIdle.verdict)},
    {Column::FastIdleCo, "fast_idle_co", "INTEGER", kMeasuredAndStages, T::NullableInteger, "fastIdle", "co", false, 0,
     QOVA_FIELD(fastIdle.co)},
    {Column::FastIdleHc, "fast_idle_hc", "INTEGER", kMeasuredAndStages, T::NullableInteger, "fastIdle", "hc", false, 0,
     QOVA_FIELD(fastIdle.hc)},
    {Column::FastIdleLambda, "fast_idle_lambda", "INTEGER", kMeasuredAndStages, T::NullableInteger, "fastIdle",
     "lambda", false, 0, QOVA_FIELD(fastIdle.lambda)},
    {Column::FastIdleRpm, "fast_idle_rpm", "INTEGER", kMeasuredAndStages, T::NullableInteger, "fastIdle", "rpm", false,
     0, QOVA_FIELD(fastIdle.rpm)},
    {Column::NaturalIdleVerdict, "natural_idle_verdict", "TEXT", kMeasuredAndStages, T::NullableText, "naturalIdle",
     "verdict", false, 0, QOVA_FIELD(naturalIdle.verdict)},
    {Column::NaturalIdleCo, "natural_idle_co", "INTEGER", kMeasuredAndStages, T::NullableInteger, "naturalIdle", "co",
     false, 0, QOVA_FIELD(naturalIdle.co)},
    {Column::NaturalIdleHc, "natural_idle_hc", "INTEGER", kMeasuredAndStages, T::NullableInteger, "naturalIdle", "hc",
     false, 0, QOVA_FIELD(naturalIdle.hc)},
    {Column::NaturalIdleLambda, "natural_idle_lambda", "INTEGER", kMeasuredAndStages, T::NullableInteger, "naturalIdle",
     "lambda", false, 0, QOVA_FIELD(naturalIdle.lambda)},
    {Column::NaturalIdleRpm, "natural_idle_rpm", "INTEGER", kMeasuredAndStages, T::NullableInteger, "naturalIdle",
     "rpm", false, 0, QOVA_FIELD(naturalIdle.rpm)},
    {Column::Vin, "vin", "TEXT", kCarAndSources, T::NullableText, nullptr, "vin", false, 0, QOVA_FIELD(vin)},
    {Column::ObdVerdict, "obd_verdict", "TEXT", kCarAndSources, T::NullableText, "obd", "verdict", false, 0,
     QOVA_FIELD(obdVerdict)},
    {Column::ObdLamp, "obd_lamp", "TEXT", kCarAndSources, T::NullableText, "obd", "lamp", false, 0,
     QOVA_FIELD(obdLamp)},
    {Column::ObdCodes, "obd_codes", "TEXT", kCarAndSources, T::NullableText, "obd", "codes", false, 0,
     QOVA_FIELD(obdCodes)},
    {Column::ObdReadiness, "obd_readiness", "TEXT", kCarAndSources, T::NullableText, "obd", "readiness", false, 0,
     QOVA_FIELD(obdReadiness)},
    {Column::SpeedSource, "speed_source", "TEXT", kCarAndSources, T::NullableText, nullptr, "speedSource", false, 0,
     QOVA_FIELD(speedSource)},
    {Column::WarmSource, "warm_source", "TEXT", kCarAndSources, T::NullableText, nullptr, "warmSource", false, 0,
     QOVA_FIELD(warmSource)},
};
static_assert(std::size(kColumns) == kColumnCount);

#undef QOVA_FIELD

constexpr bool inColumnOrder()
{
    for (int i = 0; i < kColumnCount; ++i)
        if (static_cast<int>(kColumns[i].column) != i)
            return false;
    return true;
}
static_assert(inColumnOrder(), "StoredColumnOf finds a column by its place");

using F = ResultFormat;
constexpr int kView = 2;

constexpr ResultColumn kResultColumns[] = {
    {"kind", Column::Kind, F::Text, 0, kView},
    {"taken_at", Column::TakenAt, F::Text, 0, kView},
    {"registration", Column::Registration, F::Text, 0, kView},
    {"vehicle", Column::Vehicle, F::Text, 0, kView},
    {"company_header", Column::CompanyHeader, F::Text, 0, kView},
    {"fuel", Column::Fuel, F::TrimmedText, 0, kView},
    {"co_pct", Column::Co, F::Fixed, 2, kView},
    {"co2_pct", Column::Co2, F::Fixed, 1, kView},
    {"hc_ppm", Column::Hc, F::Number, 0, kView},
    {"o2_pct", Column::O2, F::Fixed, 2, kView},
    {"nox_ppm", Column::Nox, F::Number, 0, kView},
    {"rpm", Column::Rpm, F::Number, 0, kView},
    {"oil_temp_c", Column::OilTemp, F::Fixed, 1, kView},
    {"lambda", Column::Efficiency, F::Lambda, 3, kView},
    {"afr", Column::Efficiency, F::Afr, 2, kView},
    {"oil_temp_unit", Column::Fahrenheit, F::OilUnit, 0, kView},
    {"efficiency_unit", Column::AfrMode, F::EfficiencyUnit, 0, kView},
    {"verdict", Column::Verdict, F::NullableText, 0, kView},
    {"fast_idle_verdict", Column::FastIdleVerdict, F::NullableText, 0, kMeasuredAndStages},
    {"fast_idle_co_pct", Column::FastIdleCo, F::Fixed, 2, kMeasuredAndStages},
    {"fast_idle_hc_ppm", Column::FastIdleHc, F::Number, 0, kMeasuredAndStages},
    {"fast_idle_lambda", Column::FastIdleLambda, F::Fixed, 3, kMeasuredAndStages},
    {"fast_idle_rpm", Column::FastIdleRpm, F::Number, 0, kMeasuredAndStages},
    {"natural_idle_verdict", Column::NaturalIdleVerdict, F::NullableText, 0, kMeasuredAndStages},
    {"natural_idle_co_pct", Column::NaturalIdleCo, F::Fixed, 2, kMeasuredAndStages},
    {"natural_idle_hc_ppm", Column::NaturalIdleHc, F::Number, 0, kMeasuredAndStages},
    {"natural_idle_lambda", Column::NaturalIdleLambda, F::Fixed, 3, kMeasuredAndStages},
    {"natural_idle_rpm", Column::NaturalIdleRpm, F::Number, 0, kMeasuredAndStages},
    {"vin", Column::Vin, F::NullableText, 0, kCarAndSources},
    {"obd_verdict", Column::ObdVerdict, F::NullableText, 0, kCarAndSources},
    {"obd_lamp", Column::ObdLamp, F::NullableText, 0, kCarAndSources},
    {"obd_codes", Column::ObdCodes, F::NullableText, 0, kCarAndSources},
    {"obd_readiness", Column::ObdReadiness, F::NullableText, 0, kCarAndSources},
    {"speed_source", Column::SpeedSource, F::NullableText, 0, kCarAndSources},
    {"warm_source", Column::WarmSource, F::NullableText, 0, kCarAndSources},
};

// Qt SQL binds a null QString as NULL: an empty box (no company header set, no vehicle
// typed) would break the NOT NULL columns and the test could never be saved.
QString notNull(const QString &text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

bool isText(CellType type)
{
    return type == T::Text || type == T::NullableText || type == T::Lines || type == T::Time;
}

QString name(const char *text)
{
    return QString::fromLatin1(text);
}

} // namespace

std::span<const StoredColumn> TestColumns()
{
    return kColumns;
}

const StoredColumn &StoredColumnOf(Column column)
{
    return kColumns[static_cast<std::size_t>(column)];
}

std::vector<const StoredColumn *> ColumnsAt(int version)
{
    std::vector<const StoredColumn *> out;
    for (const StoredColumn &c : kColumns)
        if (c.since <= version)
            out.push_back(&c);
    return out;
}

QVariant SqlValue(const StoredColumn &column, const TestEntry &entry)
{
    const QVariant v = column.get(entry);
    switch (column.type) {
    case T::Text:
        return notNull(v.toString());
    case T::NullableText:
        return v.toString().isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(v.toString());
    case T::Integer:
        return v.toInt();
    case T::NullableInteger:
        return v.isValid() ? QVariant(v.toInt()) : QVariant(QMetaType::fromType<int>());
    case T::Flag:
        return v.toBool() ? 1 : 0;
    case T::Lines:
        return notNull(v.toStringList().join(u'\n'));
    case T::Time:
        return IsoTime(v.toDateTime());
    case T::Millis:
        return v.toLongLong();
    }
    return {};
}

void SetFromSql(const StoredColumn &column, TestEntry &entry, const QVariant &value)
{
    if (!column.set)
        return;
    switch (column.type) {
    case T::Text:
        column.set(entry, value.toString());
        return;
    case T::NullableText:
        column.set(entry, value.isNull() ? QString() : value.toString());
        return;
    case T::Integer:
        column.set(entry, value.toInt());
        return;
    case T::NullableInteger:
        column.set(entry, value.isNull() ? QVariant() : QVariant(value.toInt()));
        return;
    case T::Flag:
        column.set(entry, value.toInt() != 0);
        return;
    case T::Lines: {
        const QString page = value.toString();
        column.set(entry, page.isEmpty() ? QStringList() : page.split(u'\n'));
        return;
    }
    case T::Time:
        column.set(entry, FromIsoTime(value.toString()));
        return;
    case T::Millis:
        return;
    }
}

ResultRow ResultRowOf(const TestEntry &entry, std::vector<QByteArray> &keep)
{
    ResultRow row;
    row.id = entry.id;
    keep.reserve(keep.size() + kColumnCount);
    for (const Column c : ExportedColumns()) {
        const StoredColumn &stored = StoredColumnOf(c);
        const QVariant value = SqlValue(stored, entry);
        const auto at = static_cast<std::size_t>(c);
        row.null[at] = value.isNull();
        if (row.null[at])
            continue;
        if (isText(stored.type)) {
            keep.push_back(value.toString().toUtf8());
            row.text[at] = keep.back();
        } else {
            row.number[at] = value.toLongLong();
        }
    }
    return row;
}

std::span<const ResultColumn> ResultColumns()
{
    return kResultColumns;
}

std::vector<Column> ExportedColumns()
{
    std::vector<bool> read(kColumnCount, false);
    read[static_cast<std::size_t>(Column::AfrMode)] = true;
    read[static_cast<std::size_t>(Column::Measured)] = true;
    for (const ResultColumn &r : kResultColumns)
        read[static_cast<std::size_t>(r.from)] = true;
    std::vector<Column> out;
    for (int i = 0; i < kColumnCount; ++i)
        if (read[static_cast<std::size_t>(i)])
            out.push_back(static_cast<Column>(i));
    return out;
}

QString ResultsViewSelect(int version)
{
    const QString afrMode = name(StoredColumnOf(Column::AfrMode).name);
    const bool knowsMeasured = StoredColumnOf(Column::Measured).since <= version;
    QStringList select{QStringLiteral("id")};
    for (const ResultColumn &r : kResultColumns) {
        if (r.since > version)
            continue;
        const StoredColumn &from = StoredColumnOf(r.from);
        const QString column = name(from.name);
        QString divisor = QStringLiteral("1");
        for (int i = 0; i < r.decimals; ++i)
            divisor += u'0';
        const QString rounded = QStringLiteral("ROUND(%1 / %2.0, %3)").arg(column, divisor).arg(r.decimals);
        QString expression;
        switch (r.format) {
        case F::Text:
        case F::TrimmedText:
        case F::NullableText:
        case F::Number:
            expression = column;
            break;
        case F::Fixed:
            expression = rounded;
            break;
        case F::Lambda:
            expression = QStringLiteral("CASE WHEN %1 = 0 THEN %2 END").arg(afrMode, rounded);
            break;
        case F::Afr:
            expression = QStringLiteral("CASE WHEN %1 <> 0 THEN %2 END").arg(afrMode, rounded);
            break;
        case F::OilUnit:
            expression = QStringLiteral("CASE WHEN %1 <> 0 THEN 'F' ELSE 'C' END").arg(column);
            break;
        case F::EfficiencyUnit:
            expression = QStringLiteral("CASE WHEN %1 <> 0 THEN 'afr' ELSE 'lambda' END").arg(column);
            break;
        }
        if (knowsMeasured && from.measuredBit != 0)
            expression = QStringLiteral("CASE WHEN (%1 & %2) <> 0 THEN %3 END")
                             .arg(name(StoredColumnOf(Column::Measured).name))
                             .arg(from.measuredBit)
                             .arg(expression);
        select << (expression == column && column == name(r.name) ? column
                                                                  : expression + QStringLiteral(" AS ") + name(r.name));
    }
    return select.join(QStringLiteral(", "));
}

QStringList ResultColumnNames()
{
    QStringList names{QStringLiteral("id")};
    for (const ResultColumn &r : kResultColumns)
        names << name(r.name);
    return names;
}

int MeasuredBefore3(const QString &kind, int efficiency, int oilTemp)
{
    if (kind != kCheckKind)
        return kAllMeasured;
    int measured = 0;
    if (efficiency != 0)
        measured |= MeasuredCo | MeasuredHc | MeasuredRpm | MeasuredEfficiency;
    if (oilTemp != 0)
        measured |= MeasuredOilTemp;
    return measured;
}

// ---- The queue's file ---------------------------------------------------------------------

QJsonObject ToJson(const TestEntry &e)
{
    QJsonObject top;
    QHash<QString, QJsonObject> groups;
    for (const StoredColumn &c : kColumns) {
        if (!c.jsonName)
            continue;
        const QVariant v = c.get(e);
        QJsonValue json;
        switch (c.type) {
        case T::Text:
            json = notNull(v.toString());
            break;
        case T::NullableText:
            json = v.toString().isNull() ? QJsonValue() : QJsonValue(v.toString());
            break;
        case T::Integer:
            json = v.toInt();
            break;
        case T::NullableInteger:
            json = v.isValid() ? QJsonValue(v.toInt()) : QJsonValue();
            break;
        case T::Flag:
            json = v.toBool();
            break;
        case T::Lines:
            json = QJsonArray::fromStringList(v.toStringList());
            break;
        case T::Time:
            json = IsoTime(v.toDateTime());
            break;
        case T::Millis:
            continue;
        }
        if (c.jsonGroup)
            groups[name(c.jsonGroup)].insert(name(c.jsonName), json);
        else
            top.insert(name(c.jsonName), json);
    }
    for (auto group = groups.cbegin(); group != groups.cend(); ++group)
        top.insert(group.key(), group.value());
    return top;
}

Result<TestEntry> FromJson(const QJsonObject &o)
{
    TestEntry read;
    bool saysMeasured = false;
    for (const StoredColumn &c : kColumns) {
        if (!c.jsonName || !c.set)
            continue;
        const QString field = c.jsonGroup ? name(c.jsonGroup) + u'.' + name(c.jsonName) : name(c.jsonName);
        const auto wrong = [&field](const char *why) {
            return Problem{QStringLiteral("The test cannot be read"),
                           QStringLiteral("its field \"%1\" %2").arg(field, QLatin1String(why)),
                           {}};
        };
        QJsonValue json;
        if (c.jsonGroup) {
            const QJsonValue group = o.value(name(c.jsonGroup));
            if (!group.isObject()) {
                if (group.isUndefined() && c.requiredInJson)
                    return wrong("is missing");
                if (!group.isUndefined())
                    return Problem{QStringLiteral("The test cannot be read"),
                                   QStringLiteral("its field \"%1\" is not a group of fields").arg(name(c.jsonGroup)),
                                   {}};
                continue;
            }
            json = group.toObject().value(name(c.jsonName));
        } else {
            json = o.value(name(c.jsonName));
        }
        if (json.isUndefined()) {
            if (c.requiredInJson)
                return wrong("is missing");
            continue;
        }
        saysMeasured = saysMeasured || c.column == Column::Measured;
        switch (c.type) {
        case T::Text:
            if (!json.isString())
                return wrong("is not text");
            c.set(read, json.toString());
            break;
        case T::NullableText:
            if (!json.isString() && !json.isNull())
                return wrong("is neither text nor null");
            c.set(read, json.isNull() ? QString() : json.toString());
            break;
        case T::Integer:
            if (!json.isDouble())
                return wrong("is not a number");
            c.set(read, json.toInt());
            break;
        case T::NullableInteger:
            if (!json.isDouble() && !json.isNull())
                return wrong("is neither a number nor null");
            c.set(read, json.isNull() ? QVariant() : QVariant(json.toInt()));
            break;
        case T::Flag:
            if (!json.isBool())
                return wrong("is not true or false");
            c.set(read, json.toBool());
            break;
        case T::Lines: {
            if (!json.isArray())
                return wrong("is not a list of lines");
            QStringList lines;
            for (const QJsonValue line : json.toArray())
                lines.append(line.toString());
            c.set(read, lines);
            break;
        }
        case T::Time: {
            const QDateTime time = FromIsoTime(json.toString());
            if (!time.isValid())
                return wrong("is not a time such as 2026-03-01T09:30:00+01:00");
            c.set(read, time);
            break;
        }
        case T::Millis:
            break;
        }
    }
    if (!saysMeasured)
        read.measured = MeasuredBefore3(read.kind, read.printed.efficiency, read.printed.oilTemp);
    return read;
}

} // namespace qova::history
