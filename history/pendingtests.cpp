#include "history/pendingtests.h"

#include "history/privatefile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>

namespace qova::history {

PendingTests::PendingTests(QString path) : path_(std::move(path)), writtenTo_(path_) {}

QString DefaultPendingPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("pending-tests.json"));
}

QString PendingTests::fileName(int n) const
{
    if (n == 0)
        return path_;
    const QFileInfo info(path_);
    const QString suffix = info.suffix().isEmpty() ? QString() : QStringLiteral(".") + info.suffix();
    return info.dir().filePath(QStringLiteral("%1-%2%3").arg(info.completeBaseName()).arg(n + 1).arg(suffix));
}

QString PendingTests::writtenTo() const
{
    const QMutexLocker lock(&mutex_);
    return writtenTo_;
}

namespace {

enum class Read { Whole, Unreadable, Damaged };

Read readQueue(const QString &path, std::vector<TestEntry> &into, QString &why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        why = file.errorString();
        return Read::Unreadable;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        why = file.errorString();
        return Read::Unreadable;
    }
    file.close();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (!document.isArray()) {
        why = error.error != QJsonParseError::NoError
                  ? QStringLiteral("at byte %1, %2").arg(error.offset).arg(error.errorString())
                  : QStringLiteral("it holds no list of tests");
        return Read::Damaged;
    }
    std::vector<TestEntry> read;
    const QJsonArray tests = document.array();
    for (qsizetype n = 0; n < tests.size(); ++n) {
        Result<TestEntry> entry = tests[n].isObject()
                                      ? FromJson(tests[n].toObject())
                                      : Result<TestEntry>(Problem{{}, QStringLiteral("it is not a test"), {}});
        if (!entry.ok()) {
            why = QStringLiteral("test %1 cannot be read: %2").arg(n + 1).arg(entry.problem().why);
            return Read::Damaged;
        }
        read.push_back(std::move(entry).value());
    }
    into.insert(into.end(), read.begin(), read.end());
    return Read::Whole;
}

} // namespace

QString PendingTests::load()
{
    const QMutexLocker lock(&mutex_);
    tests_.clear();
    written_.clear();
    mergedFrom_.clear();
    writtenTo_.clear();
    QStringList problems;
    QStringList unreadable;
    for (int n = 0; n < kFiles; ++n) {
        const QString name = fileName(n);
        if (!QFile::exists(name)) {
            // The first free place after the last file that can be read, so a file that
            // could not be read is never written over.
            if (writtenTo_.isEmpty() && (n == 0 || !unreadable.isEmpty()))
                writtenTo_ = name;
            continue;
        }
        QString why;
        switch (readQueue(name, tests_, why)) {
        case Read::Whole:
            if (writtenTo_.isEmpty())
                writtenTo_ = name;
            else
                mergedFrom_.append(name);
            break;
        case Read::Unreadable:
            unreadable.append(name);
            problems.append(QStringLiteral("The tests waiting to be saved in %1 cannot be read: %2").arg(name, why));
            break;
        case Read::Damaged: {
            const QString aside = name + QStringLiteral(".damaged-") +
                                  QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
            QFile::rename(name, aside);
            problems.append(QStringLiteral("The file of tests waiting to be saved, %1, is damaged; it was moved to %2 "
                                           "so that nothing in it is lost")
                                .arg(name, aside));
            problems.append(QStringLiteral("In it, %1").arg(why));
            if (writtenTo_.isEmpty() && !QFile::exists(name))
                writtenTo_ = name;
            break;
        }
        }
    }
    if (!unreadable.isEmpty()) {
        problems.append(writtenTo_.isEmpty()
                            ? QStringLiteral("Tests that cannot be saved to the history now are kept only until the "
                                             "program ends")
                            : QStringLiteral("The file is left as it is; tests waiting from now on are kept in %1")
                                  .arg(writtenTo_));
        problems.append(QStringLiteral("Let the program read %1 again (its owner and permissions) so the tests "
                                       "in it can be saved")
                            .arg(unreadable.join(QStringLiteral(", "))));
    }
    for (const TestEntry &entry : tests_)
        written_.push_back(QJsonDocument(ToJson(entry)).toJson(QJsonDocument::Compact));
    return problems.join(QStringLiteral(".\n"));
}

std::vector<TestEntry> PendingTests::tests() const
{
    const QMutexLocker lock(&mutex_);
    return tests_;
}

int PendingTests::count() const
{
    const QMutexLocker lock(&mutex_);
    return static_cast<int>(tests_.size());
}

std::vector<TestEntry> PendingTests::first(int n) const
{
    const QMutexLocker lock(&mutex_);
    const auto end = tests_.begin() + std::min<std::ptrdiff_t>(n, static_cast<std::ptrdiff_t>(tests_.size()));
    return {tests_.begin(), end};
}

Done PendingTests::add(const TestEntry &entry)
{
    const QMutexLocker lock(&mutex_);
    tests_.push_back(entry);
    written_.push_back(QJsonDocument(ToJson(entry)).toJson(QJsonDocument::Compact));
    return write();
}

Done PendingTests::remove(const QSet<QString> &uids)
{
    const QMutexLocker lock(&mutex_);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < tests_.size(); ++i) {
        if (uids.contains(tests_[i].uid))
            continue;
        if (kept != i) {
            tests_[kept] = std::move(tests_[i]);
            written_[kept] = std::move(written_[i]);
        }
        ++kept;
    }
    if (kept == tests_.size())
        return {};
    tests_.resize(kept);
    written_.resize(kept);
    return write();
}

Done PendingTests::write()
{
    if (writtenTo_.isEmpty())
        return Problem{QStringLiteral("no file beside %1 can take them").arg(path_), {}, {}};
    if (tests_.empty()) {
        if (QFile::exists(writtenTo_) && !QFile::remove(writtenTo_))
            return Problem{QStringLiteral("The file %1 cannot be removed").arg(writtenTo_), {}, {}};
    } else {
        QByteArray bytes;
        qsizetype size = 2;
        for (const QByteArray &one : written_)
            size += one.size() + 1;
        bytes.reserve(size);
        bytes.append('[');
        for (std::size_t i = 0; i < written_.size(); ++i) {
            if (i > 0)
                bytes.append(',');
            bytes.append(written_[i]);
        }
        bytes.append(']');
        const QString notWritten = QStringLiteral("The file %1 cannot be written").arg(writtenTo_);
        if (const Done made = MakePrivateFolder(QFileInfo(writtenTo_).absolutePath()); !made.ok())
            return Problem{notWritten, made.problem().text(), {}};
        const bool existed = QFile::exists(writtenTo_);
        QSaveFile file(writtenTo_);
        if (!file.open(QIODevice::WriteOnly))
            return Problem{notWritten, file.errorString(), {}};
        if (const Done kept = KeepPrivate(file, existed); !kept.ok())
            return Problem{notWritten, kept.problem().text(), {}};
        if (file.write(bytes) != bytes.size() || !file.commit())
            return Problem{notWritten, file.errorString(), {}};
    }
    // Their tests are in the file written to now.
    for (const QString &merged : std::as_const(mergedFrom_))
        QFile::remove(merged);
    mergedFrom_.clear();
    return {};
}

} // namespace qova::history
