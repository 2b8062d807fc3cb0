#include "credentials/credentialstore.h"

#include "history/privatefile.h"

using qova::history::KeepPrivate;
using qova::history::MakePrivateFolder;

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#ifdef QOVA_HAVE_QTKEYCHAIN
#include <QEventLoop>
#include <qt6keychain/keychain.h>
#endif

namespace qova::credentials {

namespace {

// The file is small and read whole; one far larger is not this program's.
constexpr qint64 kMaxFileBytes = 64 * 1024;

struct Lines {
    QList<QPair<QString, QString>> entries;
};

Result<Lines> readLines(const QString &path)
{
    Lines lines;
    QFile file(path);
    if (!file.exists())
        return lines;
    if (file.size() > kMaxFileBytes || !file.open(QIODevice::ReadOnly))
        return Problem{QStringLiteral("the password file %1 cannot be read").arg(path),
                       file.size() > kMaxFileBytes ? QStringLiteral("it is too large") : file.errorString(),
                       {}};
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> parts = line.trimmed().split(' ');
        if (parts.size() != 2)
            continue;
        lines.entries.append(
            {QString::fromUtf8(QByteArray::fromBase64(parts[0])), QString::fromUtf8(QByteArray::fromBase64(parts[1]))});
    }
    return lines;
}

#ifdef QOVA_HAVE_QTKEYCHAIN
// Runs a job to its end in a local loop; true when the store itself answered (an entry
// not found is an answer), false when there is no store to ask.
bool runJob(QKeychain::Job &job)
{
    job.setAutoDelete(false);
    job.setInsecureFallback(false); // never a plain-text copy of the store's own
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return job.error() == QKeychain::NoError || job.error() == QKeychain::EntryNotFound ||
           job.error() == QKeychain::AccessDeniedByUser;
}
#endif

} // namespace

Result<QString> FileCredentialStore::read(const QString &key)
{
    const Result<Lines> lines = readLines(path_);
    if (!lines.ok())
        return lines.problem();
    for (const auto &[k, secret] : lines->entries)
        if (k == key)
            return secret;
    return QString();
}

Done FileCredentialStore::write(const QString &key, const QString &secret)
{
    Result<Lines> lines = readLines(path_);
    if (!lines.ok())
        return lines.problem();
    lines->entries.removeIf([&key](const auto &entry) { return entry.first == key; });
    if (!secret.isEmpty())
        lines->entries.append({key, secret});
    if (lines->entries.isEmpty() && !QFile::exists(path_))
        return {};
    if (const Done made = MakePrivateFolder(QFileInfo(path_).absolutePath()); !made.ok())
        return Problem{QStringLiteral("the folder of %1 cannot be made").arg(path_), made.problem().text(), {}};
    QSaveFile file(path_);
    const Problem notWritten{QStringLiteral("the password file %1 cannot be written").arg(path_), {}, {}};
    if (!file.open(QIODevice::WriteOnly))
        return Problem{notWritten.what, file.errorString(), {}};
    // A password file is the user's alone whatever mode an older one had.
    if (const Done kept = KeepPrivate(file, false); !kept.ok())
        return Problem{notWritten.what, kept.problem().text(), {}};
    QByteArray text;
    for (const auto &[k, s] : lines->entries)
        text += k.toUtf8().toBase64() + ' ' + s.toUtf8().toBase64() + '\n';
    if (file.write(text) != text.size() || !file.commit())
        return Problem{notWritten.what, file.errorString(), {}};
    return {};
}

QString FileCredentialStore::where() const
{
    return QStringLiteral("No credential store is running, so the password is kept in %1, which only you can read.")
        .arg(QDir::toNativeSeparators(path_));
}

SystemCredentialStore::SystemCredentialStore(QString service, const QString &fallbackFile)
    : service_(std::move(service)), file_(fallbackFile)
{
}

Result<QString> SystemCredentialStore::read(const QString &key)
{
#ifdef QOVA_HAVE_QTKEYCHAIN
    QKeychain::ReadPasswordJob job(service_);
    job.setKey(key);
    systemRunning_ = runJob(job);
    asked_ = true;
    if (systemRunning_ && job.error() == QKeychain::NoError)
        return job.textData();
    if (systemRunning_ && job.error() == QKeychain::AccessDeniedByUser)
        return Problem{QStringLiteral("the credential store refused to give the password"), {}, {}};
    if (systemRunning_) {
        // Kept in the file while no store ran: moved into the store now that one does. Should
        // the move fail, the file still has it and the next read tries again.
        Result<QString> kept = file_.read(key);
        if (kept.ok() && !kept->isEmpty() && write(key, *kept).ok() && systemRunning_)
            (void)file_.write(key, {});
        return kept;
    }
#endif
    return file_.read(key);
}

Done SystemCredentialStore::write(const QString &key, const QString &secret)
{
#ifdef QOVA_HAVE_QTKEYCHAIN
    bool answered = false;
    if (secret.isEmpty()) {
        QKeychain::DeletePasswordJob job(service_);
        job.setKey(key);
        answered = runJob(job) || job.error() == QKeychain::CouldNotDeleteEntry;
    } else {
        QKeychain::WritePasswordJob job(service_);
        job.setKey(key);
        job.setTextData(secret);
        answered = runJob(job);
        if (answered && job.error() != QKeychain::NoError) {
            systemRunning_ = true;
            return Problem{QStringLiteral("the credential store refused the password"), job.errorString(), {}};
        }
    }
    systemRunning_ = answered;
    asked_ = true;
    if (answered) {
        // No second copy left behind in the file; one that stays is removed at the next write.
        (void)file_.write(key, {});
        return {};
    }
#endif
    return file_.write(key, secret);
}

QString SystemCredentialStore::where() const
{
#ifdef QOVA_HAVE_QTKEYCHAIN
    if (!asked_)
        return QStringLiteral("The password is kept in the system's credential store, or where none is running in "
                              "%1, which only you can read.")
            .arg(QDir::toNativeSeparators(file_.path()));
#endif
    return systemRunning_ ? QStringLiteral("The password is kept in the system's credential store.") : file_.where();
}

CredentialStore &ProgramCredentials()
{
    static SystemCredentialStore store(QStringLiteral("QOVA workstation"),
                                       QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
                                           .filePath(QStringLiteral("Qovaks/history-password")));
    return store;
}

} // namespace qova::credentials
