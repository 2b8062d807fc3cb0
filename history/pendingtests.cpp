#include "pendingtests.h"

#include "privatefile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>

namespace qova::history {

PendingTests::PendingTests(QString path) : path_(std::move(path)) {}

QString DefaultPendingPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("pending-tests.json"));
}

QString PendingTests::load()
{
    tests_.clear();
    QFile file(path_);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("The tests waiting to be saved in %1 cannot be read: %2").arg(path_, file.errorString());
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    file.close();
    std::vector<TestEntry> read;
    bool whole = document.isArray();
    for (const QJsonValue value : document.array()) {
        TestEntry entry;
        if (value.isObject() && FromJson(value.toObject(), entry))
            read.push_back(entry);
        else
            whole = false;
    }
    if (whole) {
        tests_ = std::move(read);
        return {};
    }
    const QString aside =
        path_ + QStringLiteral(".damaged-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QFile::rename(path_, aside);
    return QStringLiteral("The file of tests waiting to be saved, %1, is damaged; it was moved to %2 so that "
                          "nothing in it is lost")
        .arg(path_, aside);
}

QString PendingTests::add(const TestEntry &entry)
{
    tests_.push_back(entry);
    return write();
}

QString PendingTests::removeFirst()
{
    if (!tests_.empty())
        tests_.erase(tests_.begin());
    return write();
}

QString PendingTests::write()
{
    if (tests_.empty()) {
        if (QFile::exists(path_) && !QFile::remove(path_))
            return QStringLiteral("The file %1 cannot be removed").arg(path_);
        return {};
    }
    QJsonArray array;
    for (const TestEntry &entry : tests_)
        array.append(ToJson(entry));
    MakePrivateFolder(QFileInfo(path_).absolutePath());
    const bool existed = QFile::exists(path_);
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly) || !KeepPrivate(file, existed))
        return QStringLiteral("The file %1 cannot be written: %2").arg(path_, file.errorString());
    const QByteArray bytes = QJsonDocument(array).toJson(QJsonDocument::Compact);
    if (file.write(bytes) != bytes.size() || !file.commit())
        return QStringLiteral("The file %1 cannot be written: %2").arg(path_, file.errorString());
    return {};
}

} // namespace qova::history
