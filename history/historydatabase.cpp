#include "historydatabase.h"

#include "privatefile.h"

#include <QAtomicInt>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStorageInfo>
#include <QThread>
#include <QVariant>

#if QOVA_HISTORY_NATIVE_SQLITE
#include <sqlite3.h>
#endif

namespace qova::history {

namespace {

QAtomicInt connectionCount;

bool isPostgres(const QSqlDatabase &db)
{
    return db.driverName() == QLatin1String("QPSQL");
}

QString sqlError(const QSqlError &error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    return text.isEmpty() ? QStringLiteral("no reason given") : text;
}

// SQLITE_BUSY and SQLITE_LOCKED: another program holds the file for the moment.
bool isBusy(const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    return code == QLatin1String("5") || code == QLatin1String("6");
}

// The columns of a test, in the order `bindEntry` and `readEntry` use.
const QString kColumns = QStringLiteral(
    "uid, kind, taken_at, taken_ms, registration, registration_key, vehicle, company_header, fuel, fuel_code, "
    "mode_flags, afr_mode, fahrenheit, co, co2, hc, o2, nox, rpm, oil_temp, efficiency, received_co, received_co2, "
    "received_hc, received_o2, received_nox, received_rpm, received_oil_temp, received_efficiency, page, verdict");
constexpr int kColumnCount = 31;

QString valueColumns(const QString &prefix)
{
    QStringList out;
    for (const char *name : {"co", "co2", "hc", "o2", "nox", "rpm", "oil_temp", "efficiency"})
        out.append(prefix + QLatin1String(name) + QStringLiteral(" INTEGER NOT NULL"));
    return out.join(QStringLiteral(", "));
}

// Each version's statements; `id` is the one column the two databases spell differently.
std::vector<QString> migrationStatements(int version, bool postgres)
{
    switch (version) {
    case 1:
        return {
            QStringLiteral("CREATE TABLE tests (id %1, uid VARCHAR(36) NOT NULL UNIQUE, kind VARCHAR(8) NOT NULL, "
                           "taken_at VARCHAR(32) NOT NULL, taken_ms BIGINT NOT NULL, registration TEXT NOT NULL, "
                           "registration_key TEXT NOT NULL, vehicle TEXT NOT NULL, company_header TEXT NOT NULL, "
                           "fuel TEXT NOT NULL, fuel_code INTEGER NOT NULL, mode_flags INTEGER NOT NULL, "
                           "afr_mode INTEGER NOT NULL, fahrenheit INTEGER NOT NULL, %2, %3, page TEXT NOT NULL, "
                           "verdict TEXT)")
                .arg(postgres ? QStringLiteral("BIGSERIAL PRIMARY KEY")
                              : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT"),
                     valueColumns({}), valueColumns(QStringLiteral("received_"))),
            QStringLiteral("CREATE INDEX tests_by_registration ON tests (registration_key, taken_ms, id)"),
            QStringLiteral("CREATE INDEX tests_by_time ON tests (taken_ms, id)"),
        };
    case 2:
        return {QStringLiteral(
            "CREATE VIEW test_results AS SELECT id, kind, taken_at, registration, vehicle, company_header, fuel, "
            "ROUND(co / 100.0, 2) AS co_pct, ROUND(co2 / 10.0, 1) AS co2_pct, hc AS hc_ppm, "
            "ROUND(o2 / 100.0, 2) AS o2_pct, nox AS nox_ppm, rpm, ROUND(oil_temp / 10.0, 1) AS oil_temp_c, "
            "CASE WHEN afr_mode = 0 THEN ROUND(efficiency / 1000.0, 3) END AS lambda, "
            "CASE WHEN afr_mode <> 0 THEN ROUND(efficiency / 100.0, 2) END AS afr, "
            "CASE WHEN fahrenheit <> 0 THEN 'F' ELSE 'C' END AS oil_temp_unit, "
            "CASE WHEN afr_mode <> 0 THEN 'afr' ELSE 'lambda' END AS efficiency_unit, "
            "verdict FROM tests")};
    default:
        return {};
    }
}

void bindValues(QSqlQuery &q, const Values &v)
{
    for (int value : {v.co, v.co2, v.hc, v.o2, v.nox, v.rpm, v.oilTemp, v.efficiency})
        q.addBindValue(value);
}

// Qt SQL binds a null QString as NULL: an empty box (no company header set, no vehicle
// typed) would break the NOT NULL columns and the test could never be saved.
QString notNull(const QString &text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

void bindEntry(QSqlQuery &q, const TestEntry &e)
{
    q.addBindValue(e.uid);
    q.addBindValue(notNull(e.kind));
    q.addBindValue(IsoTime(e.takenAt));
    q.addBindValue(e.takenAt.toMSecsSinceEpoch());
    q.addBindValue(notNull(e.registration));
    q.addBindValue(notNull(NormalisedRegistration(e.registration)));
    q.addBindValue(notNull(e.vehicle));
    q.addBindValue(notNull(e.companyHeader));
    q.addBindValue(notNull(e.fuel));
    q.addBindValue(e.fuelCode);
    q.addBindValue(e.modeFlags);
    q.addBindValue(e.afr ? 1 : 0);
    q.addBindValue(e.fahrenheit ? 1 : 0);
    bindValues(q, e.printed);
    bindValues(q, e.received);
    q.addBindValue(notNull(e.pageLines.join(u'\n')));
    q.addBindValue(e.verdict.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(e.verdict));
}

Values readValues(const QSqlQuery &q, int first)
{
    return {q.value(first).toInt(),     q.value(first + 1).toInt(), q.value(first + 2).toInt(),
            q.value(first + 3).toInt(), q.value(first + 4).toInt(), q.value(first + 5).toInt(),
            q.value(first + 6).toInt(), q.value(first + 7).toInt()};
}

// Reads the row of "SELECT id, <kColumns>".
TestEntry readEntry(const QSqlQuery &q)
{
    TestEntry e;
    e.id = q.value(0).toLongLong();
    e.uid = q.value(1).toString();
    e.kind = q.value(2).toString();
    e.takenAt = FromIsoTime(q.value(3).toString());
    e.registration = q.value(5).toString();
    e.vehicle = q.value(7).toString();
    e.companyHeader = q.value(8).toString();
    e.fuel = q.value(9).toString();
    e.fuelCode = q.value(10).toInt();
    e.modeFlags = q.value(11).toInt();
    e.afr = q.value(12).toInt() != 0;
    e.fahrenheit = q.value(13).toInt() != 0;
    e.printed = readValues(q, 14);
    e.received = readValues(q, 22);
    const QString page = q.value(30).toString();
    e.pageLines = page.isEmpty() ? QStringList() : page.split(u'\n');
    if (!q.value(31).isNull())
        e.verdict = q.value(31).toString();
    return e;
}

} // namespace

HistoryDatabase::HistoryDatabase() : name_(QStringLiteral("qova-history-%1").arg(connectionCount.fetchAndAddRelaxed(1)))
{
}

HistoryDatabase::~HistoryDatabase()
{
    close();
}

QSqlDatabase HistoryDatabase::connection() const
{
    return QSqlDatabase::database(name_, false);
}

bool HistoryDatabase::isOpen() const
{
    return QSqlDatabase::contains(name_) && connection().isOpen();
}

void HistoryDatabase::close()
{
    if (!QSqlDatabase::contains(name_))
        return;
    {
        QSqlDatabase db = connection();
        db.close();
    }
    QSqlDatabase::removeDatabase(name_);
}

Problem HistoryDatabase::fail(const QString &what, const QString &why)
{
    lastError_ = QStringLiteral("%1: %2").arg(what, why);
    return {lastError_};
}

QString SqliteOnlyNote()
{
    if (QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return {};
    return QStringLiteral("This build keeps its history in SQLite only: it has no PostgreSQL driver, so a "
                          "postgresql:// location cannot be used.");
}

Problem HistoryDatabase::open(const QString &url, const Options &options)
{
    close();
    location_ = ParseDatabaseUrl(url);
    lastError_.clear();
    directResults_ = options.directResults;
    beforeCommit_ = options.beforeCommit;
    if (location_.kind == DatabaseLocation::Kind::Invalid)
        return fail(QStringLiteral("The history's location \"%1\" cannot be used").arg(location_.shown),
                    location_.problem);

    const bool sqlite = location_.kind == DatabaseLocation::Kind::Sqlite;
    const QString driver = sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL");
#ifdef Q_OS_WIN
    if (!sqlite && !QSqlDatabase::isDriverAvailable(driver))
        return fail(QStringLiteral("The history at %1 cannot be opened").arg(location_.shown), SqliteOnlyNote());
#endif
    if (!QSqlDatabase::isDriverAvailable(driver))
        return fail(QStringLiteral("The history at %1 cannot be opened").arg(location_.shown),
                    QStringLiteral("Qt's %1 driver is not installed (on Debian: %2)")
                        .arg(driver, sqlite ? QStringLiteral("libqt6sql6-sqlite") : QStringLiteral("libqt6sql6-psql")));

    if (sqlite) {
        if (!MakePrivateFolder(QFileInfo(location_.path).absolutePath()))
            return fail(QStringLiteral("The history file %1 cannot be created").arg(location_.path),
                        QStringLiteral("its folder cannot be made"));
        // Made empty and 0600 before SQLite first opens it (SQLite would make it 0644);
        // its journal files take the mode of the database file.
        if (!QFile::exists(location_.path)) {
            QFile made(location_.path);
            if (made.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
                made.close();
        }
    }

    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, name_);
        if (sqlite) {
            db.setDatabaseName(location_.path);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(options.busyTimeoutMs));
        } else {
            db.setDatabaseName(location_.database);
            if (!location_.host.isEmpty())
                db.setHostName(location_.host);
            if (location_.port > 0)
                db.setPort(location_.port);
            if (!location_.user.isEmpty())
                db.setUserName(location_.user);
            const QString password = location_.password.isEmpty() ? options.password : location_.password;
            if (!password.isEmpty())
                db.setPassword(password);
            db.setConnectOptions(PostgresConnectOptions(location_));
        }
        if (!db.open()) {
            const QString why = sqlError(db.lastError());
            db = {};
            close();
            return fail(QStringLiteral("The history at %1 cannot be opened").arg(location_.shown), why);
        }
        if (sqlite) {
            QSqlQuery q(db);
            // SQLite opens anything and only fails on its first read; a file that is not a
            // database must never be written to, so it is read before anything is changed.
            // Only SQLite reads it: any other descriptor of the file closed in this process
            // would drop the locks SQLite holds on it.
            if (!q.exec(QStringLiteral("PRAGMA schema_version")) &&
                q.lastError().nativeErrorCode() == QLatin1String("26")) {
                q = QSqlQuery();
                db = {};
                close();
                return fail(
                    QStringLiteral("The history file %1 is damaged or not a history database").arg(location_.path),
                    QStringLiteral("it is left as it is; move it away or choose another file in the "
                                   "history settings"));
            }
            q.finish();
            // Changing the journal needs the file to itself, and SQLite refuses at once,
            // without its busy wait, while another program is inside a transaction there
            // (two workstations starting together on a new file), so the wait is here.
            QDeadlineTimer deadline(options.busyTimeoutMs);
            bool inWal = false;
            while (true) {
                inWal = q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) && q.next() &&
                        q.value(0).toString().toLower() == QLatin1String("wal");
                if (inWal || !isBusy(q.lastError()) || deadline.hasExpired())
                    break;
                q.finish();
                QThread::msleep(20);
            }
            if (!inWal) {
                const QString why = q.lastError().isValid() ? sqlError(q.lastError())
                                                            : QStringLiteral("its journal cannot be put in WAL mode");
                q = QSqlQuery();
                db = {};
                close();
                return fail(QStringLiteral("The history file %1 cannot be used").arg(location_.path), why);
            }
            q.exec(QStringLiteral("PRAGMA synchronous=FULL"));
        }
    }
    if (const Problem problem = migrate(options.upToVersion)) {
        close();
        return problem;
    }
    return {};
}

int HistoryDatabase::schemaVersion()
{
    QSqlDatabase db = connection();
    if (!db.tables().contains(QStringLiteral("schema_version")))
        return 0;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT MAX(version) FROM schema_version")) || !q.next())
        return -1;
    return q.value(0).toInt();
}

Problem HistoryDatabase::migrate(int upTo)
{
    QSqlDatabase db = connection();
    const bool postgres = isPostgres(db);
    const QString what = QStringLiteral("The history at %1 cannot be brought up to date").arg(location_.shown);
    QSqlQuery q(db);
    // One workstation at a time: the second to start waits, then finds the work done.
    if (!q.exec(postgres ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE")))
        return fail(what, sqlError(q.lastError()));
    auto rollBack = [&](const QString &why) {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        return fail(what, why);
    };
    if (postgres && !q.exec(QStringLiteral("SELECT pg_advisory_xact_lock(7146001)")))
        return rollBack(sqlError(q.lastError()));
    if (!db.tables().contains(QStringLiteral("schema_version"))) {
        if (!q.exec(QStringLiteral("CREATE TABLE schema_version (version INTEGER NOT NULL)")) ||
            !q.exec(QStringLiteral("INSERT INTO schema_version (version) VALUES (0)")))
            return rollBack(sqlError(q.lastError()));
    }
    if (!q.exec(QStringLiteral("SELECT MAX(version) FROM schema_version")) || !q.next())
        return rollBack(sqlError(q.lastError()));
    const int found = q.value(0).toInt();
    if (found > kSchemaVersion)
        return rollBack(QStringLiteral("it was made by a newer program (schema version %1; this one knows up to %2)")
                            .arg(found)
                            .arg(kSchemaVersion));
    for (int version = found + 1; version <= upTo; ++version) {
        for (const QString &statement : migrationStatements(version, postgres))
            if (!q.exec(statement))
                return rollBack(QStringLiteral("step %1: %2").arg(version).arg(sqlError(q.lastError())));
        if (!q.exec(QStringLiteral("UPDATE schema_version SET version = %1").arg(version)))
            return rollBack(sqlError(q.lastError()));
    }
    if (!q.exec(QStringLiteral("COMMIT")))
        return rollBack(sqlError(q.lastError()));
    return {};
}

QString HistoryDatabase::insert(TestEntry &entry)
{
    QSqlDatabase db = connection();
    QSqlQuery q(db);
    QStringList marks;
    for (int i = 0; i < kColumnCount; ++i)
        marks.append(QStringLiteral("?"));
    q.prepare(QStringLiteral("INSERT INTO tests (%1) VALUES (%2) ON CONFLICT (uid) DO NOTHING RETURNING id")
                  .arg(kColumns, marks.join(u',')));
    bindEntry(q, entry);
    if (!q.exec())
        return sqlError(q.lastError());
    if (q.next()) {
        entry.id = q.value(0).toLongLong();
        return {};
    }
    // Saved before: its answer was lost, or it waited in the queue twice.
    QSqlQuery again(db);
    again.prepare(QStringLiteral("SELECT id FROM tests WHERE uid = ?"));
    again.addBindValue(entry.uid);
    if (again.exec() && again.next()) {
        entry.id = again.value(0).toLongLong();
        return {};
    }
    return again.lastError().isValid() ? sqlError(again.lastError())
                                       : QStringLiteral("the test's row cannot be found again");
}

Problem HistoryDatabase::save(TestEntry &entry)
{
    std::vector<TestEntry> one{entry};
    const Problem problem = saveAll(one);
    if (!problem)
        entry.id = one.front().id;
    return problem;
}

Problem HistoryDatabase::saveAll(std::vector<TestEntry> &entries)
{
    const QString what = QStringLiteral("The test could not be saved to the history at %1").arg(location_.shown);
    if (!isOpen())
        return fail(what, QStringLiteral("the history is not open"));
    QSqlDatabase db = connection();
    if (!db.transaction())
        return fail(what, sqlError(db.lastError()));
    std::vector<TestEntry> saved = entries;
    for (TestEntry &entry : saved) {
        if (const QString why = insert(entry); !why.isEmpty()) {
            db.rollback();
            return fail(what, why);
        }
    }
    if (beforeCommit_)
        beforeCommit_();
    if (!db.commit()) {
        const QString why = sqlError(db.lastError());
        db.rollback();
        return fail(what, why);
    }
    entries = std::move(saved);
    return {};
}

namespace {
QString selectEntries(const QString &registration)
{
    return QStringLiteral("SELECT id, %1 FROM tests %2 ORDER BY taken_ms DESC, id DESC")
        .arg(kColumns, registration.isEmpty() ? QString() : QStringLiteral("WHERE registration_key = ?"));
}
} // namespace

std::vector<TestEntry> HistoryDatabase::search(const QString &registration, int limit, int offset)
{
    std::vector<TestEntry> found;
    if (!isOpen())
        return found;
    const QString key = NormalisedRegistration(registration);
    QSqlQuery q(connection());
    q.setForwardOnly(true);
    q.prepare(selectEntries(key) + QStringLiteral(" LIMIT ? OFFSET ?"));
    if (!key.isEmpty())
        q.addBindValue(key);
    q.addBindValue(limit);
    q.addBindValue(offset);
    if (!q.exec()) {
        lastError_ = sqlError(q.lastError());
        return found;
    }
    while (q.next())
        found.push_back(readEntry(q));
    return found;
}

bool HistoryDatabase::forEach(const QString &registration, const std::function<void(const TestEntry &)> &each)
{
    if (!isOpen())
        return false;
    const QString key = NormalisedRegistration(registration);
    QSqlQuery q(connection());
    q.setForwardOnly(true);
    q.prepare(selectEntries(key));
    if (!key.isEmpty())
        q.addBindValue(key);
    if (!q.exec()) {
        lastError_ = sqlError(q.lastError());
        return false;
    }
    while (q.next())
        each(readEntry(q));
    return true;
}

namespace {

QString resultsQuery(const QString &key)
{
    return QStringLiteral("SELECT id, kind, taken_at, registration, vehicle, company_header, fuel, co, co2, hc, o2, "
                          "nox, rpm, oil_temp, efficiency, afr_mode, fahrenheit, verdict FROM tests %1 "
                          "ORDER BY taken_ms DESC, id DESC")
        .arg(key.isEmpty() ? QString() : QStringLiteral("WHERE registration_key = ?"));
}

#if QOVA_HISTORY_NATIVE_SQLITE
// SQLite's own handle behind the Qt connection, when the driver is SQLite and was built
// against the same library.
sqlite3 *nativeSqlite(const QSqlDatabase &db)
{
    if (db.driverName() != QLatin1String("QSQLITE"))
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

// A text column in UTF-8 exactly as Qt's driver would give it. ASCII is used where SQLite
// keeps it; anything else goes through the UTF-16 the driver reads, so bytes another program
// stored that are not UTF-8 come out the same on both paths.
QByteArrayView columnUtf8(sqlite3_stmt *st, int column, QByteArray &scratch)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(st, column));
    if (text == nullptr)
        return {};
    const int size = sqlite3_column_bytes(st, column);
    unsigned char high = 0;
    for (int i = 0; i < size; ++i)
        high |= static_cast<unsigned char>(text[i]);
    if (high < 0x80)
        return {text, size};
    const auto *wide = static_cast<const char16_t *>(sqlite3_column_text16(st, column));
    scratch = QStringView(wide, sqlite3_column_bytes16(st, column) / 2).toUtf8();
    return scratch;
}

// Whether SQLite may read the file through a memory map. Reading the whole history through
// read() copies every page once more and costs the export a fifth of its time; but a read
// error in a mapped file stops the program instead of failing the query, so only on a local
// disk, never on a network share or a removable stick's FUSE mount.
bool mayMap(const QString &path)
{
    static const QByteArrayList local = {"ext2",  "ext3", "ext4", "xfs",      "btrfs",    "f2fs",
                                         "tmpfs", "zfs",  "jfs",  "reiserfs", "bcachefs", "overlay"};
    return local.contains(QStorageInfo(QFileInfo(path).absolutePath()).fileSystemType());
}

// Maps the file while the export reads it, and only then: saves never go through the map.
class MappedWhileReading {
public:
    MappedWhileReading(sqlite3 *db, bool map) : db_(map ? db : nullptr)
    {
        if (db_)
            sqlite3_exec(db_, "PRAGMA mmap_size=2147418112", nullptr, nullptr, nullptr);
    }
    ~MappedWhileReading()
    {
        if (db_)
            sqlite3_exec(db_, "PRAGMA mmap_size=0", nullptr, nullptr, nullptr);
    }
    MappedWhileReading(const MappedWhileReading &) = delete;
    MappedWhileReading &operator=(const MappedWhileReading &) = delete;

private:
    sqlite3 *db_;
};

// The same walk as through QSqlQuery, without a QVariant and a QString for every value.
std::optional<bool> forEachResultNative(sqlite3 *db, bool map, const QString &key,
                                        const std::function<void(const HistoryDatabase::ResultRow &)> &each,
                                        QString &error)
{
    const MappedWhileReading mapped(db, map);
    const QByteArray sql = resultsQuery(key).toUtf8();
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), static_cast<int>(sql.size()), &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return std::nullopt; // let the Qt path say why
    }
    const QByteArray keyUtf8 = key.toUtf8();
    if (!key.isEmpty())
        sqlite3_bind_text(st, 1, keyUtf8.constData(), static_cast<int>(keyUtf8.size()), SQLITE_STATIC);
    HistoryDatabase::ResultRow row;
    QByteArray scratch[7];
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        row.id = sqlite3_column_int64(st, 0);
        row.kind = columnUtf8(st, 1, scratch[0]);
        row.takenAt = columnUtf8(st, 2, scratch[1]);
        row.registration = columnUtf8(st, 3, scratch[2]);
        row.vehicle = columnUtf8(st, 4, scratch[3]);
        row.companyHeader = columnUtf8(st, 5, scratch[4]);
        row.fuel = columnUtf8(st, 6, scratch[5]);
        row.printed = {sqlite3_column_int(st, 7),  sqlite3_column_int(st, 8),  sqlite3_column_int(st, 9),
                       sqlite3_column_int(st, 10), sqlite3_column_int(st, 11), sqlite3_column_int(st, 12),
                       sqlite3_column_int(st, 13), sqlite3_column_int(st, 14)};
        row.afr = sqlite3_column_int(st, 15) != 0;
        row.fahrenheit = sqlite3_column_int(st, 16) != 0;
        row.hasVerdict = sqlite3_column_type(st, 17) != SQLITE_NULL;
        row.verdict = row.hasVerdict ? columnUtf8(st, 17, scratch[6]) : QByteArrayView();
        each(row);
    }
    if (rc != SQLITE_DONE)
        error = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(st);
    return rc == SQLITE_DONE;
}
#endif

} // namespace

bool HistoryDatabase::readsResultsDirectly() const
{
#if QOVA_HISTORY_NATIVE_SQLITE
    return directResults_ && isOpen() && nativeSqlite(connection()) != nullptr;
#else
    return false;
#endif
}

bool HistoryDatabase::forEachResult(const QString &registration, const std::function<void(const ResultRow &)> &each)
{
    if (!isOpen())
        return false;
    const QString key = NormalisedRegistration(registration);
#if QOVA_HISTORY_NATIVE_SQLITE
    if (sqlite3 *native = directResults_ ? nativeSqlite(connection()) : nullptr)
        if (const std::optional<bool> done = forEachResultNative(native, mayMap(location_.path), key, each, lastError_))
            return *done;
#endif
    QSqlQuery q(connection());
    q.setForwardOnly(true);
    q.prepare(resultsQuery(key));
    if (!key.isEmpty())
        q.addBindValue(key);
    if (!q.exec()) {
        lastError_ = sqlError(q.lastError());
        return false;
    }
    ResultRow row;
    QByteArray text[7];
    auto utf8 = [&](int column, int slot) -> QByteArrayView {
        const QVariant value = q.value(column);
        if (value.isNull())
            return {};
        text[slot] = value.toString().toUtf8();
        return text[slot];
    };
    while (q.next()) {
        row.id = q.value(0).toLongLong();
        row.kind = utf8(1, 0);
        row.takenAt = utf8(2, 1);
        row.registration = utf8(3, 2);
        row.vehicle = utf8(4, 3);
        row.companyHeader = utf8(5, 4);
        row.fuel = utf8(6, 5);
        row.printed = readValues(q, 7);
        row.afr = q.value(15).toInt() != 0;
        row.fahrenheit = q.value(16).toInt() != 0;
        row.hasVerdict = !q.value(17).isNull();
        row.verdict = utf8(17, 6);
        each(row);
    }
    return true;
}

std::optional<TestEntry> HistoryDatabase::find(qint64 id)
{
    if (!isOpen())
        return std::nullopt;
    QSqlQuery q(connection());
    q.prepare(QStringLiteral("SELECT id, %1 FROM tests WHERE id = ?").arg(kColumns));
    q.addBindValue(id);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return readEntry(q);
}

std::optional<TestEntry> HistoryDatabase::last(const QString &registration)
{
    if (NormalisedRegistration(registration).isEmpty())
        return std::nullopt;
    std::vector<TestEntry> found = search(registration, 1);
    if (found.empty())
        return std::nullopt;
    return found.front();
}

qint64 HistoryDatabase::count(const QString &registration)
{
    if (!isOpen())
        return 0;
    const QString key = NormalisedRegistration(registration);
    QSqlQuery q(connection());
    q.prepare(key.isEmpty() ? QStringLiteral("SELECT COUNT(*) FROM tests")
                            : QStringLiteral("SELECT COUNT(*) FROM tests WHERE registration_key = ?"));
    if (!key.isEmpty())
        q.addBindValue(key);
    if (!q.exec() || !q.next())
        return 0;
    return q.value(0).toLongLong();
}

QString PostgresConnectOptions(const DatabaseLocation &location)
{
    QStringList options;
    if (!location.options.isEmpty())
        options.append(location.options);
    // Keepalives find a connection whose server has gone while nothing is sent; the user
    // timeout, one whose data is never acknowledged. A URL may set its own.
    static const std::pair<const char *, const char *> kNoticeAGoneServer[] = {
        {"keepalives", "1"},       {"keepalives_idle", "5"},      {"keepalives_interval", "2"},
        {"keepalives_count", "2"}, {"tcp_user_timeout", "10000"},
    };
    const QStringList given = location.options.split(u';', Qt::SkipEmptyParts);
    for (const auto &[key, value] : kNoticeAGoneServer) {
        const QString name = QLatin1String(key);
        const bool set = std::any_of(given.begin(), given.end(), [&](const QString &option) {
            return option.section(u'=', 0, 0).trimmed() == name;
        });
        if (!set)
            options.append(name + u'=' + QLatin1String(value));
    }
    return options.join(u';');
}

Problem TestConnection(const QString &url, const QString &password)
{
    HistoryDatabase db;
    HistoryDatabase::Options options;
    options.password = password;
    return db.open(url, options);
}

} // namespace qova::history
