#include "history/historydatabase.h"

#include "history/privatefile.h"
#include "history/testcolumns.h"

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

// Where a history that cannot be read is put right.
const QString kChooseTheHistory = QStringLiteral("Check the history's location in HISTORY > DATABASE.");

// SQLITE_BUSY and SQLITE_LOCKED: another program holds the file for the moment.
bool isBusy(const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    return code == QLatin1String("5") || code == QLatin1String("6");
}

QString columnName(const StoredColumn &column)
{
    return QString::fromLatin1(column.name);
}

// Every column of `tests` but id, as a SELECT or an INSERT lists them.
QString columnList()
{
    QStringList names;
    for (const StoredColumn &c : TestColumns())
        names << columnName(c);
    return names.join(QStringLiteral(", "));
}

// Each version's statements; `id` is the one column the two databases spell differently.
// The view is made after the steps (`viewStatements`), from the columns the schema then has.
std::vector<QString> migrationStatements(int version, bool postgres)
{
    std::vector<QString> out;
    if (version == 1) {
        QStringList columns{QStringLiteral("id ") + (postgres ? QStringLiteral("BIGSERIAL PRIMARY KEY")
                                                              : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT"))};
        for (const StoredColumn *c : ColumnsAt(1))
            columns << columnName(*c) + u' ' + QLatin1String(c->sqlType);
        out.push_back(QStringLiteral("CREATE TABLE tests (%1)").arg(columns.join(QStringLiteral(", "))));
        out.push_back(QStringLiteral("CREATE INDEX tests_by_registration ON tests (registration_key, taken_ms, id)"));
        out.push_back(QStringLiteral("CREATE INDEX tests_by_time ON tests (taken_ms, id)"));
        return out;
    }
    for (const StoredColumn &c : TestColumns())
        if (c.since == version)
            out.push_back(
                QStringLiteral("ALTER TABLE tests ADD COLUMN %1 %2").arg(columnName(c), QLatin1String(c.sqlType)));
    return out;
}

// The view test_results as version `version` has it. PostgreSQL replaces it in place, so a
// view another tool made on it stays; its columns only ever grow at the end.
std::vector<QString> viewStatements(int version, bool postgres)
{
    const QString select = QStringLiteral("SELECT %1 FROM tests").arg(ResultsViewSelect(version));
    if (postgres)
        return {QStringLiteral("CREATE OR REPLACE VIEW test_results AS ") + select};
    return {QStringLiteral("DROP VIEW IF EXISTS test_results"),
            QStringLiteral("CREATE VIEW test_results AS ") + select};
}

void bindEntry(QSqlQuery &q, const TestEntry &e)
{
    for (const StoredColumn &c : TestColumns())
        q.addBindValue(SqlValue(c, e));
}

// Where each column of the table is in a query's row, found by its name once per query.
std::vector<int> placesIn(const QSqlRecord &record)
{
    std::vector<int> places;
    for (const StoredColumn &c : TestColumns())
        places.push_back(record.indexOf(columnName(c)));
    return places;
}

TestEntry readEntry(const QSqlQuery &q, const std::vector<int> &places)
{
    TestEntry e;
    e.id = q.value(QStringLiteral("id")).toLongLong();
    std::size_t i = 0;
    for (const StoredColumn &c : TestColumns()) {
        if (places[i] >= 0)
            SetFromSql(c, e, q.value(places[i]));
        ++i;
    }
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
    return {what, why, {}};
}

QString SqliteOnlyNote()
{
    if (QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return {};
    return QStringLiteral("This build keeps its history in SQLite only: it has no PostgreSQL driver, so a "
                          "postgresql:// location cannot be used.");
}

Done HistoryDatabase::open(const QString &url, const Options &options)
{
    close();
    location_ = ParseDatabaseUrl(url);
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
        if (const Done made = MakePrivateFolder(QFileInfo(location_.path).absolutePath()); !made.ok())
            return fail(QStringLiteral("The history file %1 cannot be created").arg(location_.path),
                        made.problem().text());
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
    if (Done migrated = migrate(options.upToVersion); !migrated.ok()) {
        close();
        return migrated;
    }
    return {};
}

Result<int> HistoryDatabase::schemaVersion()
{
    QSqlDatabase db = connection();
    if (!db.tables().contains(QStringLiteral("schema_version")))
        return 0;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT MAX(version) FROM schema_version")) || !q.next())
        return Problem{QStringLiteral("The version of the history at %1 cannot be read").arg(location_.shown),
                       sqlError(q.lastError()), kChooseTheHistory};
    return q.value(0).toInt();
}

namespace {

constexpr int kResultsViewVersion = 2;

// Before the table said what was measured, a check kept 0 for what it did not measure; each
// such row is told now, by the rule the queue's older files are read with.
QString markWhatOldChecksMeasured(const QSqlDatabase &db)
{
    const QString efficiency = columnName(StoredColumnOf(Column::Efficiency)),
                  oil = columnName(StoredColumnOf(Column::OilTemp));
    QSqlQuery old(db);
    old.setForwardOnly(true);
    old.prepare(QStringLiteral("SELECT id, %1, %2 FROM tests WHERE kind = ?").arg(efficiency, oil));
    old.addBindValue(kCheckKind);
    if (!old.exec())
        return sqlError(old.lastError());
    // Read whole before the first update: PostgreSQL's driver drops the rest of a result
    // read row by row when another statement runs on the connection.
    std::vector<std::pair<qint64, int>> marks;
    while (old.next())
        marks.emplace_back(old.value(0).toLongLong(),
                           MeasuredBefore3(kCheckKind, old.value(1).toInt(), old.value(2).toInt()));
    if (old.lastError().isValid())
        return sqlError(old.lastError());
    QSqlQuery mark(db);
    mark.prepare(
        QStringLiteral("UPDATE tests SET %1 = ? WHERE id = ?").arg(columnName(StoredColumnOf(Column::Measured))));
    for (const auto &[id, measured] : marks) {
        mark.addBindValue(measured);
        mark.addBindValue(id);
        if (!mark.exec())
            return sqlError(mark.lastError());
    }
    return {};
}

} // namespace

Done HistoryDatabase::migrate(int upTo)
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
        if (version == StoredColumnOf(Column::Measured).since)
            if (const QString why = markWhatOldChecksMeasured(db); !why.isEmpty())
                return rollBack(QStringLiteral("step %1: %2").arg(version).arg(why));
        if (!q.exec(QStringLiteral("UPDATE schema_version SET version = %1").arg(version)))
            return rollBack(sqlError(q.lastError()));
    }
    if (found < upTo && upTo >= kResultsViewVersion)
        for (const QString &statement : viewStatements(upTo, postgres))
            if (!q.exec(statement))
                return rollBack(QStringLiteral("the view test_results: %1").arg(sqlError(q.lastError())));
    if (!q.exec(QStringLiteral("COMMIT")))
        return rollBack(sqlError(q.lastError()));
    return {};
}

QString HistoryDatabase::insert(TestEntry &entry)
{
    QSqlDatabase db = connection();
    QSqlQuery q(db);
    QStringList marks;
    for (std::size_t i = 0; i < TestColumns().size(); ++i)
        marks.append(QStringLiteral("?"));
    q.prepare(QStringLiteral("INSERT INTO tests (%1) VALUES (%2) ON CONFLICT (uid) DO NOTHING RETURNING id")
                  .arg(columnList(), marks.join(u',')));
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

Done HistoryDatabase::save(TestEntry &entry)
{
    std::vector<TestEntry> one{entry};
    Done saved = saveAll(one);
    if (saved.ok())
        entry.id = one.front().id;
    return saved;
}

Done HistoryDatabase::saveAll(std::vector<TestEntry> &entries)
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
        .arg(columnList(), registration.isEmpty() ? QString() : QStringLiteral("WHERE registration_key = ?"));
}
} // namespace

Result<std::vector<TestEntry>> HistoryDatabase::search(const QString &registration, int limit, int offset)
{
    const QString what = QStringLiteral("The history at %1 cannot be searched").arg(location_.shown);
    if (!isOpen())
        return Problem{what, QStringLiteral("it is not open"), kChooseTheHistory};
    const QString key = NormalisedRegistration(registration);
    QSqlQuery q(connection());
    q.setForwardOnly(true);
    // SQLite refuses a statement on a missing table at prepare(); exec() would then only
    // say "No query".
    if (!q.prepare(selectEntries(key) + QStringLiteral(" LIMIT ? OFFSET ?")))
        return Problem{what, sqlError(q.lastError()), kChooseTheHistory};
    if (!key.isEmpty())
        q.addBindValue(key);
    q.addBindValue(limit);
    q.addBindValue(offset);
    // Said, not listed as nothing: an empty list would tell the operator no test matched.
    if (!q.exec())
        return Problem{what, sqlError(q.lastError()), kChooseTheHistory};
    std::vector<TestEntry> found;
    const std::vector<int> places = placesIn(q.record());
    while (q.next())
        found.push_back(readEntry(q, places));
    if (q.lastError().isValid())
        return Problem{what, sqlError(q.lastError()), kChooseTheHistory};
    return found;
}

namespace {

QString resultsQuery(const QString &key)
{
    QStringList names;
    for (const Column c : ExportedColumns())
        names << columnName(StoredColumnOf(c));
    return QStringLiteral("SELECT id, %1 FROM tests %2 ORDER BY taken_ms DESC, id DESC")
        .arg(names.join(QStringLiteral(", ")),
             key.isEmpty() ? QString() : QStringLiteral("WHERE registration_key = ?"));
}

bool readAsText(CellType type)
{
    return type == CellType::Text || type == CellType::NullableText || type == CellType::Lines ||
           type == CellType::Time;
}

// A column of the export's query: where it is in the row, which column of `tests` it is.
struct Place {
    int at;
    Column column;
    bool text;
};

// The export's columns by their names in the query's row.
template <typename NameAt> std::vector<Place> placesByName(int count, NameAt nameAt)
{
    std::vector<Place> places;
    for (int at = 0; at < count; ++at) {
        const QString name = nameAt(at);
        for (const StoredColumn &c : TestColumns())
            if (name == columnName(c))
                places.push_back({at, c.column, readAsText(c.type)});
    }
    return places;
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
                                        const std::function<void(const ResultRow &)> &each, QString &error)
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
    const std::vector<Place> places =
        placesByName(sqlite3_column_count(st), [&](int at) { return QString::fromUtf8(sqlite3_column_name(st, at)); });
    int idAt = -1;
    for (int at = 0; at < sqlite3_column_count(st) && idAt < 0; ++at)
        if (qstrcmp(sqlite3_column_name(st, at), "id") == 0)
            idAt = at;
    ResultRow row;
    QByteArray scratch[kColumnCount];
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        row.id = idAt < 0 ? 0 : sqlite3_column_int64(st, idAt);
        for (const Place &p : places) {
            const auto c = static_cast<std::size_t>(p.column);
            row.null[c] = sqlite3_column_type(st, p.at) == SQLITE_NULL;
            if (p.text)
                row.text[c] = row.null[c] ? QByteArrayView() : columnUtf8(st, p.at, scratch[c]);
            else
                row.number[c] = sqlite3_column_int64(st, p.at);
        }
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

Done HistoryDatabase::forEachResult(const QString &registration, const std::function<void(const ResultRow &)> &each)
{
    if (!isOpen())
        return Problem{{}, QStringLiteral("the history is not open"), {}};
    const QString key = NormalisedRegistration(registration);
#if QOVA_HISTORY_NATIVE_SQLITE
    if (sqlite3 *native = directResults_ ? nativeSqlite(connection()) : nullptr)
        if (QString why;
            const std::optional<bool> done = forEachResultNative(native, mayMap(location_.path), key, each, why)) {
            if (*done)
                return {};
            return Problem{{}, why, {}};
        }
#endif
    QSqlQuery q(connection());
    q.setForwardOnly(true);
    q.prepare(resultsQuery(key));
    if (!key.isEmpty())
        q.addBindValue(key);
    if (!q.exec())
        return Problem{{}, sqlError(q.lastError()), {}};
    const QSqlRecord record = q.record();
    const std::vector<Place> places = placesByName(record.count(), [&](int at) { return record.fieldName(at); });
    const int idAt = record.indexOf(QStringLiteral("id"));
    ResultRow row;
    QByteArray text[kColumnCount];
    while (q.next()) {
        row.id = q.value(idAt).toLongLong();
        for (const Place &p : places) {
            const auto c = static_cast<std::size_t>(p.column);
            const QVariant value = q.value(p.at);
            row.null[c] = value.isNull();
            if (!p.text) {
                row.number[c] = value.toLongLong();
            } else if (row.null[c]) {
                row.text[c] = {};
            } else {
                text[c] = value.toString().toUtf8();
                row.text[c] = text[c];
            }
        }
        each(row);
    }
    return {};
}

Result<std::optional<TestEntry>> HistoryDatabase::find(qint64 id)
{
    const QString what = QStringLiteral("Test %1 cannot be read from the history at %2").arg(id).arg(location_.shown);
    if (!isOpen())
        return Problem{what, QStringLiteral("it is not open"), kChooseTheHistory};
    QSqlQuery q(connection());
    if (!q.prepare(QStringLiteral("SELECT id, %1 FROM tests WHERE id = ?").arg(columnList())))
        return Problem{what, sqlError(q.lastError()), kChooseTheHistory};
    q.addBindValue(id);
    if (!q.exec())
        return Problem{what, sqlError(q.lastError()), kChooseTheHistory};
    if (!q.next())
        return q.lastError().isValid()
                   ? Result<std::optional<TestEntry>>(Problem{what, sqlError(q.lastError()), kChooseTheHistory})
                   : Result<std::optional<TestEntry>>(std::nullopt);
    return std::optional<TestEntry>(readEntry(q, placesIn(q.record())));
}

Result<std::optional<TestEntry>> HistoryDatabase::last(const QString &registration)
{
    if (NormalisedRegistration(registration).isEmpty())
        return std::optional<TestEntry>();
    Result<std::vector<TestEntry>> found = search(registration, 1);
    if (!found.ok())
        return found.problem();
    if (found->empty())
        return std::optional<TestEntry>();
    return std::optional<TestEntry>(std::move(found->front()));
}

Result<qint64> HistoryDatabase::count(const QString &registration)
{
    const QString what = QStringLiteral("The tests in the history at %1 cannot be counted").arg(location_.shown);
    if (!isOpen())
        return Problem{what, QStringLiteral("it is not open"), kChooseTheHistory};
    const QString key = NormalisedRegistration(registration);
    QSqlQuery q(connection());
    if (!q.prepare(key.isEmpty() ? QStringLiteral("SELECT COUNT(*) FROM tests")
                                 : QStringLiteral("SELECT COUNT(*) FROM tests WHERE registration_key = ?")))
        return Problem{what, sqlError(q.lastError()), kChooseTheHistory};
    if (!key.isEmpty())
        q.addBindValue(key);
    if (!q.exec() || !q.next())
        return Problem{what, sqlError(q.lastError()), kChooseTheHistory};
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

} // namespace qova::history
