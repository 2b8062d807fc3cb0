// Any bytes as what the history reads from outside the program: the file of tests waiting
// to be saved (one test of it per JSON object) and a database URL from the settings or the
// environment. A test read must write back as the same test; a URL is either usable or
// says why not, and never shows its password.
#include "history/databaseurl.h"
#include "history/testentry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>
#include <QUrlQuery>
#include <cstdlib>

using namespace qova::history;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), static_cast<qsizetype>(size - 1));
    if (data[0] & 1) {
        const DatabaseLocation where = ParseDatabaseUrl(QString::fromUtf8(bytes));
        if ((where.kind == DatabaseLocation::Kind::Invalid) == where.problem.isEmpty())
            std::abort();
        const QUrl shown(where.shown);
        if (where.kind != DatabaseLocation::Kind::Postgresql)
            return 0; // a file's path has no password to keep out
        if (!shown.password().isEmpty() || QUrlQuery(shown).hasQueryItem(QStringLiteral("password")))
            std::abort();
        return 0;
    }
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    for (const QJsonValue value : document.array()) {
        if (!value.isObject())
            continue;
        const qova::Result<TestEntry> entry = FromJson(value.toObject());
        if (!entry.ok())
            continue;
        const qova::Result<TestEntry> again = FromJson(ToJson(*entry));
        if (!again.ok() || !(*again == *entry))
            std::abort();
    }
    return 0;
}
