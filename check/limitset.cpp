#include "check/limitset.h"

#include "obd/obddecode.h"

#include <stdexcept>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QSet>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>
#include <set>

namespace qova::check {

bool HcLimitApplies(Fuel fuel)
{
    return fuel != Fuel::Cng;
}
QString StageName(StageKind kind)
{
    return kind == StageKind::FastIdle ? QStringLiteral("fast idle") : QStringLiteral("natural idle");
}

namespace {

// "petrol", "lpg" and "cng": what a limit set's fuels may name.
QString fuelFileNames()
{
    QStringList quoted;
    for (const link::FuelInfo &info : link::kFuels)
        quoted << u'"' + QLatin1String(info.fileName) + u'"';
    const QString last = quoted.takeLast();
    return quoted.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

// Thrown inside the reader only; a bad file is an answer, not an exception, to callers.
struct FieldError {
    FieldError(QString where, QString why, QString id = {})
        : path(std::move(where)), message(std::move(why)), setId(std::move(id))
    {
    }
    QString path, message;
    QString setId; // of the set it is in, when known
};

// Outside these no analyser reads and no engine runs, so a limit there is a typing error that
// would pass or fail every car.
constexpr double kCoPercentMax = 15;
constexpr int kHcPpmMax = 20000;
constexpr double kLambdaLowest = 0.5, kLambdaHighest = 2.0;
constexpr int kEngineRpmMax = 10000;
// No engine has more readiness monitors than the diagnostics define.
constexpr int kMonitorsAtMost = obd::kMonitorKinds;
// A coolant below 30 degC is a cold engine whatever the set says; one above 110 degC is
// never read at idle, so a set asking for it could not start a check.
constexpr int kWarmCoolantLowestC = 30, kWarmCoolantHighestC = 110;

int lineOf(const QByteArray &text, int offset)
{
    return 1 + static_cast<int>(text.left(offset).count('\n'));
}

class Reader {
public:
    Reader(const QJsonObject &object, QString path) : object_(object), path_(std::move(path)) {}

    const QString &path() const { return path_; }
    QString field(const QString &key) const { return path_.isEmpty() ? key : path_ + QLatin1Char('.') + key; }
    [[noreturn]] void fail(const QString &key, const QString &message) const { throw FieldError{field(key), message}; }

    void onlyKeys(std::initializer_list<const char *> keys) const
    {
        QSet<QString> known;
        for (const char *k : keys)
            known.insert(QString::fromLatin1(k));
        for (const QString &k : object_.keys())
            if (!known.contains(k))
                fail(k, QStringLiteral("unknown field"));
    }
    QJsonValue value(const QString &key) const { return object_.value(key); }
    bool has(const QString &key) const { return object_.contains(key) && !object_.value(key).isNull(); }

    QString text(const QString &key) const
    {
        const QJsonValue v = object_.value(key);
        if (!v.isString() || v.toString().trimmed().isEmpty())
            fail(key, has(key) ? QStringLiteral("must be a text") : QStringLiteral("is missing"));
        return v.toString();
    }
    std::optional<bool> flag(const QString &key) const
    {
        if (!has(key))
            return std::nullopt;
        if (!object_.value(key).isBool())
            fail(key, QStringLiteral("must be true or false"));
        return object_.value(key).toBool();
    }
    std::optional<double> number(const QString &key, double min, double max) const
    {
        if (!has(key))
            return std::nullopt;
        const QJsonValue v = object_.value(key);
        if (!v.isDouble() || v.toDouble() < min || v.toDouble() > max)
            fail(key, QStringLiteral("must be a number from %1 to %2").arg(min).arg(max));
        return v.toDouble();
    }
    int whole(const QString &key, int min, int max) const
    {
        const auto v = number(key, min, max);
        if (!v)
            fail(key, QStringLiteral("is missing"));
        if (*v != std::floor(*v))
            fail(key, QStringLiteral("must be a whole number"));
        return static_cast<int>(*v);
    }
    std::optional<QDate> date(const QString &key) const
    {
        if (!has(key))
            return std::nullopt;
        const QDate d = QDate::fromString(object_.value(key).toString(), Qt::ISODate);
        if (!object_.value(key).isString() || !d.isValid())
            fail(key, QStringLiteral("must be a date YYYY-MM-DD"));
        return d;
    }
    QJsonArray array(const QString &key, bool required) const
    {
        if (!has(key)) {
            if (required)
                fail(key, QStringLiteral("is missing"));
            return {};
        }
        if (!object_.value(key).isArray())
            fail(key, QStringLiteral("must be a list"));
        return object_.value(key).toArray();
    }
    Reader object(const QString &key) const
    {
        if (!object_.value(key).isObject())
            fail(key, QStringLiteral("must be an object"));
        return Reader(object_.value(key).toObject(), field(key));
    }
    Reader element(const QJsonArray &array, const QString &key, qsizetype i) const
    {
        const QString at = field(key) + QStringLiteral("[%1]").arg(i);
        if (!array.at(i).isObject())
            throw FieldError{at, QStringLiteral("must be an object")};
        return Reader(array.at(i).toObject(), at);
    }

private:
    QJsonObject object_;
    QString path_;
};

std::optional<int> hundredths(const std::optional<double> &v)
{
    return v ? std::optional<int>(static_cast<int>(std::lround(*v * 100))) : std::nullopt;
}
std::optional<int> thousandths(const std::optional<double> &v)
{
    return v ? std::optional<int>(static_cast<int>(std::lround(*v * 1000))) : std::nullopt;
}

StageLimits readStage(const Reader &r)
{
    r.onlyKeys({"stage", "minRpm", "maxRpm", "coMax", "hcMax", "lambdaMin", "lambdaMax", "recheck"});
    StageLimits s;
    const QString kind = r.text(QStringLiteral("stage"));
    if (kind == QLatin1String("fastIdle"))
        s.kind = StageKind::FastIdle;
    else if (kind == QLatin1String("naturalIdle"))
        s.kind = StageKind::NaturalIdle;
    else
        r.fail(QStringLiteral("stage"), QStringLiteral("must be \"fastIdle\" or \"naturalIdle\""));
    s.minRpm = r.whole(QStringLiteral("minRpm"), 0, kEngineRpmMax);
    s.maxRpm = r.whole(QStringLiteral("maxRpm"), 0, kEngineRpmMax);
    if (s.maxRpm <= s.minRpm)
        r.fail(QStringLiteral("maxRpm"), QStringLiteral("must be above minRpm"));
    s.limits.coMax = hundredths(r.number(QStringLiteral("coMax"), 0, kCoPercentMax));
    if (r.has(QStringLiteral("hcMax")))
        s.limits.hcMax = r.whole(QStringLiteral("hcMax"), 0, kHcPpmMax);
    s.limits.lambdaMin = thousandths(r.number(QStringLiteral("lambdaMin"), kLambdaLowest, kLambdaHighest));
    s.limits.lambdaMax = thousandths(r.number(QStringLiteral("lambdaMax"), kLambdaLowest, kLambdaHighest));
    if (s.limits.lambdaMin && s.limits.lambdaMax && *s.limits.lambdaMax < *s.limits.lambdaMin)
        r.fail(QStringLiteral("lambdaMax"), QStringLiteral("must not be below lambdaMin"));
    if (r.has(QStringLiteral("recheck"))) {
        const Reader c = r.object(QStringLiteral("recheck"));
        c.onlyKeys({"minRpm", "maxRpm", "hcMax"});
        HcRecheck h;
        h.minRpm = c.whole(QStringLiteral("minRpm"), 0, kEngineRpmMax);
        h.maxRpm = c.whole(QStringLiteral("maxRpm"), 0, kEngineRpmMax);
        if (h.maxRpm <= h.minRpm)
            c.fail(QStringLiteral("maxRpm"), QStringLiteral("must be above minRpm"));
        h.hcMax = c.whole(QStringLiteral("hcMax"), 0, kHcPpmMax);
        // The re-check follows a fail on HC; a stage without an HC limit never fails on it.
        if (!s.limits.hcMax)
            r.fail(QStringLiteral("recheck"), QStringLiteral("needs an hcMax on its stage"));
        s.recheck = h;
    }
    return s;
}

ObdRule readObdRule(const Reader &r)
{
    r.onlyKeys({"lampFails", "incompleteMonitorsAllowed", "storedCodesFail"});
    ObdRule rule;
    rule.lampFails = r.flag(QStringLiteral("lampFails")).value_or(false);
    if (r.has(QStringLiteral("incompleteMonitorsAllowed")))
        rule.incompleteMonitorsAllowed = r.whole(QStringLiteral("incompleteMonitorsAllowed"), 0, kMonitorsAtMost);
    rule.storedCodesFail = r.flag(QStringLiteral("storedCodesFail")).value_or(false);
    return rule;
}

bool limitsAGasBesidesHc(const GasLimits &l)
{
    return l.coMax || l.lambdaMin || l.lambdaMax;
}

bool mayApplyToCng(const LimitSet &set)
{
    return set.fuels.empty() || std::find(set.fuels.begin(), set.fuels.end(), Fuel::Cng) != set.fuels.end();
}

// `stage` is the last of `set.stages`. A metered stage without a gas limit would pass any
// car; the check runs the stages in the file's order and keeps one verdict per kind, so a
// kind given twice, fast idle after natural idle or overlapping windows judge the wrong stage.
void checkStageAmongOthers(const Reader &r, const LimitSet &set, const StageLimits &stage)
{
    if (set.metered && !limitsAGasBesidesHc(stage.limits)) {
        if (!stage.limits.hcMax)
            throw FieldError{r.path(), QStringLiteral("limits no gas; a metered stage needs coMax, hcMax, lambdaMin or "
                                                      "lambdaMax (or the set's \"metered\": false)")};
        // HC is never judged on CNG, so such a stage would pass every CNG car.
        if (mayApplyToCng(set))
            throw FieldError{r.path(), QStringLiteral("limits HC only, which is never applied to CNG; add coMax or "
                                                      "lambda limits, or leave \"cng\" out of the set's fuels")};
    }
    for (auto earlier = set.stages.begin(); earlier + 1 < set.stages.end(); ++earlier) {
        if (earlier->kind == stage.kind)
            r.fail(QStringLiteral("stage"), StageName(stage.kind) + QStringLiteral(" is given twice"));
        if (stage.kind == StageKind::FastIdle)
            r.fail(QStringLiteral("stage"), QStringLiteral("fast idle must come before natural idle"));
        // Kinds are distinct and in order here: `earlier` is fast idle, `stage` natural idle.
        if (stage.maxRpm >= earlier->minRpm)
            r.fail(QStringLiteral("maxRpm"),
                   QStringLiteral("must be below the fast idle window, which starts at %1").arg(earlier->minRpm));
    }
}

LimitSet readSet(const Reader &r)
{
    r.onlyKeys({"id", "name", "source", "scheme", "vehicleTypes", "applies", "firstUsedFrom", "firstUsedBefore",
                "fuels", "catalyst", "twoStroke", "metered", "stages", "obd", "warmCoolantC"});
    LimitSet s;
    s.id = r.text(QStringLiteral("id"));
    s.name = r.text(QStringLiteral("name"));
    s.source = r.text(QStringLiteral("source"));
    s.scheme = r.text(QStringLiteral("scheme"));
    s.applies = r.text(QStringLiteral("applies"));
    const QJsonArray types = r.array(QStringLiteral("vehicleTypes"), true);
    for (const QJsonValue &t : types) {
        if (!t.isString() || t.toString().isEmpty())
            r.fail(QStringLiteral("vehicleTypes"), QStringLiteral("must be a list of texts"));
        s.vehicleTypes << t.toString();
    }
    if (s.vehicleTypes.isEmpty())
        r.fail(QStringLiteral("vehicleTypes"), QStringLiteral("must name at least one type"));
    s.firstUsedFrom = r.date(QStringLiteral("firstUsedFrom"));
    s.firstUsedBefore = r.date(QStringLiteral("firstUsedBefore"));
    if (s.firstUsedFrom && s.firstUsedBefore && *s.firstUsedBefore <= *s.firstUsedFrom)
        r.fail(QStringLiteral("firstUsedBefore"), QStringLiteral("must be after firstUsedFrom"));
    for (const QJsonValue &f : r.array(QStringLiteral("fuels"), false)) {
        const QString name = f.toString();
        const auto named =
            std::find_if(std::begin(link::kFuels), std::end(link::kFuels),
                         [&](const link::FuelInfo &info) { return name == QLatin1String(info.fileName); });
        if (named != std::end(link::kFuels))
            s.fuels.push_back(named->fuel);
        else
            r.fail(QStringLiteral("fuels"), QStringLiteral("may hold only %1").arg(fuelFileNames()));
    }
    s.catalyst = r.flag(QStringLiteral("catalyst"));
    s.twoStroke = r.flag(QStringLiteral("twoStroke"));
    s.metered = r.flag(QStringLiteral("metered")).value_or(true);
    const QJsonArray stages = r.array(QStringLiteral("stages"), true);
    if (stages.isEmpty())
        r.fail(QStringLiteral("stages"), QStringLiteral("must hold at least one stage"));
    for (qsizetype i = 0; i < stages.size(); ++i) {
        const Reader stage = r.element(stages, QStringLiteral("stages"), i);
        s.stages.push_back(readStage(stage));
        checkStageAmongOthers(stage, s, s.stages.back());
    }
    if (r.has(QStringLiteral("obd")))
        s.obd = readObdRule(r.object(QStringLiteral("obd")));
    if (r.has(QStringLiteral("warmCoolantC")))
        s.warmCoolantC = r.whole(QStringLiteral("warmCoolantC"), kWarmCoolantLowestC, kWarmCoolantHighestC);
    return s;
}

// The operator is told which set was refused by its id, once the id could be read.
LimitSet readSetNamed(const Reader &r)
{
    try {
        return readSet(r);
    } catch (const FieldError &e) {
        const QJsonValue id = r.value(QStringLiteral("id"));
        if (!id.isString() || id.toString().trimmed().isEmpty())
            throw;
        throw FieldError{e.path, e.message, id.toString()};
    }
}

QString englishDate(const QDate &d)
{
    return QStringLiteral("%1 %2 %3")
        .arg(d.day())
        .arg(QLocale::c().standaloneMonthName(d.month(), QLocale::LongFormat))
        .arg(d.year());
}

bool fits(const LimitSet &s, const Vehicle &v)
{
    if (s.scheme.compare(v.scheme, Qt::CaseInsensitive) != 0)
        return false;
    if (!s.vehicleTypes.contains(v.type, Qt::CaseInsensitive))
        return false;
    if (s.firstUsedFrom && v.firstUsed < *s.firstUsedFrom)
        return false;
    if (s.firstUsedBefore && v.firstUsed >= *s.firstUsedBefore)
        return false;
    if (!s.fuels.empty() && std::find(s.fuels.begin(), s.fuels.end(), v.fuel) == s.fuels.end())
        return false;
    if (s.catalyst && *s.catalyst != v.catalyst)
        return false;
    if (s.twoStroke && *s.twoStroke != v.twoStroke)
        return false;
    return true;
}

} // namespace

Result<std::vector<LimitSet>> ParseLimitSets(const QByteArray &json, const QString &fileName)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return Problem{fileName,
                       QStringLiteral("line %1: %2").arg(lineOf(json, parseError.offset)).arg(parseError.errorString()),
                       {}};
    try {
        if (!doc.isObject())
            throw FieldError{QString(), QStringLiteral("the file must hold one object")};
        const Reader top(doc.object(), QString());
        top.onlyKeys({"format", "sets"});
        if (top.whole(QStringLiteral("format"), 1, 1000) != 1)
            top.fail(QStringLiteral("format"), QStringLiteral("must be 1"));
        const QJsonArray sets = top.array(QStringLiteral("sets"), true);
        std::vector<LimitSet> out;
        std::set<QString> ids;
        for (qsizetype i = 0; i < sets.size(); ++i) {
            const Reader r = top.element(sets, QStringLiteral("sets"), i);
            LimitSet s = readSetNamed(r);
            if (!ids.insert(s.id).second)
                r.fail(QStringLiteral("id"), QStringLiteral("\"%1\" is given twice").arg(s.id));
            s.file = fileName;
            out.push_back(std::move(s));
        }
        return out;
    } catch (const FieldError &e) {
        QString where = fileName;
        if (!e.setId.isEmpty())
            where += QStringLiteral(": set \"%1\"").arg(e.setId);
        return Problem{where, e.path.isEmpty() ? e.message : QStringLiteral("%1: %2").arg(e.path, e.message), {}};
    }
}

std::vector<LimitSet> ShippedLimitSets()
{
    const QString path = QStringLiteral(":/check/limitsets.json");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return ParseLimitSets(file.readAll(), path).valueOr({});
}

Result<LimitSet> ShippedLimitSet(const QString &id)
{
    for (LimitSet &s : ShippedLimitSets())
        if (s.id == id)
            return std::move(s);
    return Problem{QStringLiteral("There is no shipped limit set \"%1\"").arg(id), {}, {}};
}

QString WorkshopLimitFilePath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
        .filePath(QStringLiteral("limitsets.json"));
}

LimitLibrary LoadLimitLibrary(const QString &workshopFile)
{
    LimitLibrary library{ShippedLimitSets(), {}};
    QFile file(workshopFile);
    if (!file.exists())
        return library;
    const auto tooLarge = [&] {
        return QStringLiteral("%1: is larger than %2 bytes; a limit set file is a few kilobytes")
            .arg(workshopFile)
            .arg(kLimitSetFileMaxBytes);
    };
    // Refused unread: parsing a huge file would hold the window for many seconds.
    if (file.size() > kLimitSetFileMaxBytes) {
        library.workshopError = tooLarge();
        return library;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        library.workshopError = QStringLiteral("%1: cannot be read: %2").arg(workshopFile, file.errorString());
        return library;
    }
    // A pipe or device reports no size; read one byte past the bound to tell.
    const QByteArray content = file.read(kLimitSetFileMaxBytes + 1);
    if (content.size() > kLimitSetFileMaxBytes) {
        library.workshopError = tooLarge();
        return library;
    }
    Result<std::vector<LimitSet>> read = ParseLimitSets(content, workshopFile);
    if (!read.ok()) {
        library.workshopError = read.problem().text();
        return library;
    }
    for (qsizetype i = 0; i < qsizetype(read->size()); ++i) {
        for (const LimitSet &shipped : library.sets)
            if (shipped.id == (*read)[std::size_t(i)].id) {
                library.workshopError = QStringLiteral("%1: sets[%2].id: \"%3\" is the id of a shipped set")
                                            .arg(workshopFile)
                                            .arg(i)
                                            .arg(shipped.id);
                return library;
            }
    }
    library.sets.insert(library.sets.end(), read->begin(), read->end());
    return library;
}

Result<LimitSet> MakerLimitSet(const MakerFigures &f)
{
    auto bad = [](const QString &what) { return Problem{what, {}, {}}; };
    LimitSet s;
    s.id = QStringLiteral("maker");
    s.name = QStringLiteral("Vehicle maker's limits");
    s.source = QStringLiteral("the vehicle maker's figures, typed in for this check");
    s.applies = QStringLiteral("the vehicle maker's limits");
    auto co = [](const std::optional<double> &v) { return hundredths(v); };
    if (f.fastIdle) {
        if (f.fastMaxRpm <= f.fastMinRpm)
            return bad(QStringLiteral("fast idle: the highest engine speed must be above the lowest"));
        if (f.fastLambdaMin && f.fastLambdaMax && *f.fastLambdaMax < *f.fastLambdaMin)
            return bad(QStringLiteral("fast idle: the highest lambda must not be below the lowest"));
        StageLimits fast{StageKind::FastIdle, f.fastMinRpm, f.fastMaxRpm, {}, std::nullopt};
        fast.limits = {co(f.fastCoPercent), f.fastHcPpm, thousandths(f.fastLambdaMin), thousandths(f.fastLambdaMax)};
        s.stages.push_back(fast);
    }
    if (f.idleMaxRpm <= f.idleMinRpm)
        return bad(QStringLiteral("natural idle: the highest engine speed must be above the lowest"));
    StageLimits idle{StageKind::NaturalIdle, f.idleMinRpm, f.idleMaxRpm, {}, std::nullopt};
    idle.limits = {co(f.idleCoPercent), f.idleHcPpm, std::nullopt, std::nullopt};
    s.stages.push_back(idle);
    for (const StageLimits &stage : s.stages)
        if ((stage.limits.coMax && *stage.limits.coMax < 0) || (stage.limits.hcMax && *stage.limits.hcMax < 0))
            return bad(StageName(stage.kind) + QStringLiteral(": a limit must not be negative"));
    return s;
}

LimitChoice ChooseLimitSet(const std::vector<LimitSet> &sets, const Vehicle &v)
{
    const QString who = v.scheme + QLatin1Char(' ') + v.type;
    if (!v.firstUsed.isValid())
        return {std::nullopt, who + QStringLiteral(": the date of first use is needed to choose the limits")};
    for (const LimitSet &s : sets)
        if (fits(s, v))
            return {s, who + QStringLiteral(", ") + s.applies};
    return {std::nullopt,
            QStringLiteral("%1, first used %2%3: no limit set applies; type the vehicle maker's limits")
                .arg(who, englishDate(v.firstUsed),
                     v.catalyst ? QStringLiteral(", with a catalyst") : QStringLiteral(", without a catalyst"))};
}

} // namespace qova::check
