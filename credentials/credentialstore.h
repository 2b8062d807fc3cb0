#pragma once

#include "result/result.h"

#include <QString>
#include <memory>

namespace qova::credentials {

using qova::Done;
using qova::Problem;
using qova::Result;

// Where a secret is kept. Every call answers before it returns (the system's store is
// asked with a local event loop, so windows keep painting meanwhile).
class CredentialStore {
public:
    virtual ~CredentialStore() = default;
    // The secret kept under `key`: an empty text when there is none.
    virtual Result<QString> read(const QString &key) = 0;
    // Keeps `secret` under `key`; an empty secret removes the key.
    virtual Done write(const QString &key, const QString &secret) = 0;
    // Where the last secret went or came from, for the operator: never the secret.
    virtual QString where() const = 0;
};

// A file only its user can read (0600 on POSIX, in a 0700 folder when it makes one): one
// line per key, the key and the secret in base64 separated by a blank.
class FileCredentialStore : public CredentialStore {
public:
    explicit FileCredentialStore(QString path) : path_(std::move(path)) {}
    Result<QString> read(const QString &key) override;
    Done write(const QString &key, const QString &secret) override;
    QString where() const override;
    const QString &path() const { return path_; }

private:
    QString path_;
};

// The system's credential store, or the file where none is running (or the build has no
// QtKeychain). A secret found in the file is moved to the system's store once it runs.
class SystemCredentialStore : public CredentialStore {
public:
    // `service` names the program's entries in the system's store; `fallbackFile` is the file.
    SystemCredentialStore(QString service, const QString &fallbackFile);
    Result<QString> read(const QString &key) override;
    Done write(const QString &key, const QString &secret) override;
    QString where() const override;
    // Whether the system's store answered the last call.
    bool systemStoreRunning() const { return systemRunning_; }

private:
    QString service_;
    FileCredentialStore file_;
    bool systemRunning_ = false;
    bool asked_ = false; // whether the system's store was asked yet
};

// The program's store: the system's, with the file in the user's configuration folder.
CredentialStore &ProgramCredentials();

} // namespace qova::credentials
