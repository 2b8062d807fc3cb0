// Where the database password goes: a real Secret Service (gnome-keyring-daemon on a
// session bus of the test's own, unlocked with a test password) and, with no store
// running, the file only the user can read.
#include "app/historysettings.h"
#include "credentials/credentialstore.h"
#include "tests/support/okresult.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace qova;
using credentials::FileCredentialStore;
using credentials::SystemCredentialStore;

namespace {

enum class Mode { SecretService, NoStore };
Mode gMode = Mode::NoStore;
QString gNoService; // why the Secret Service did not start

constexpr QFileDevice::Permissions kOwnerFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions kOwnerFolder = kOwnerFile | QFileDevice::ExeOwner;

#ifndef _WIN32
QFileDevice::Permissions modeOf(const QString &path)
{
    // Qt reports the user's bits twice (owner and user); only the owner's and others' count.
    return QFileInfo(path).permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
}
#endif

// Every key and value of the history's settings, wherever the system keeps them (a file on
// Linux, the registry on Windows).
QByteArray keptHistorySettings()
{
    const QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Qovaks"),
                      QStringLiteral("history"));
    QByteArray out;
    for (const QString &key : s.allKeys())
        out += key.toUtf8() + '=' + s.value(key).toString().toUtf8() + '\n';
    return out;
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class Store : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override
    {
        if (gMode == Mode::SecretService && !gNoService.isEmpty()) {
            if (qEnvironmentVariable("CI") == QLatin1String("true"))
                FAIL() << "the Secret Service is needed in CI and did not start: " << gNoService.toStdString();
            GTEST_SKIP() << "no Secret Service: " << gNoService.toStdString();
        }
        folder = dir.filePath(QStringLiteral("config/Qovaks"));
        file = QDir(folder).filePath(QStringLiteral("history-password"));
        // Each case its own entry, so none reads another's.
        service = QStringLiteral("QOVA test %1").arg(++cases);
    }
    SystemCredentialStore store() const { return SystemCredentialStore(service, file); }

    QTemporaryDir dir;
    QString folder, file, service;
    static inline int cases = 0;
};

const QString kKey = QStringLiteral("history-database");

// The secret read, or nothing when the store could not be read (its problem is printed).
template <class Store> std::optional<QString> Read(Store &&from, const QString &key)
{
    const Result<QString> read = from.read(key);
    if (!read.ok()) {
        ADD_FAILURE() << read.problem().text().toStdString();
        return std::nullopt;
    }
    return read.value();
}

// A password kept is read back whole by a later run, and only where this mode keeps it.
TEST_P(Store, KeepsThePasswordWhereItShould)
{
    const QString secret = QString::fromUtf8(GetParam());
    {
        SystemCredentialStore writer = store();
        ASSERT_TRUE(qova::test::Ok(writer.write(kKey, secret)));
        EXPECT_EQ(writer.systemStoreRunning(), gMode == Mode::SecretService);
        EXPECT_FALSE(writer.where().contains(secret)) << "where() never shows the password";
    }
    SystemCredentialStore reader = store();
    EXPECT_EQ(Read(reader, kKey), std::optional<QString>(secret));
    if (gMode == Mode::SecretService) {
        EXPECT_TRUE(reader.where().contains(QStringLiteral("credential store")));
        EXPECT_FALSE(QFile::exists(file)) << "no copy in a file while the store runs";
    } else {
        EXPECT_TRUE(reader.where().contains(QDir::toNativeSeparators(file))) << reader.where().toStdString();
#ifndef _WIN32 // Windows keeps them private by the profile folder's access list, not by mode bits
        EXPECT_EQ(modeOf(file), kOwnerFile);
        EXPECT_EQ(modeOf(folder), kOwnerFolder);
#endif
        EXPECT_FALSE(contents(file).contains(secret.toUtf8())) << "not as plain text";
    }
    // Blank removes it.
    ASSERT_TRUE(qova::test::Ok(reader.write(kKey, {})));
    EXPECT_EQ(Read(store(), kKey), std::optional<QString>(QString()));
}

INSTANTIATE_TEST_SUITE_P(Passwords, Store,
                         ::testing::Values("hunter2", "p\xC3\xA4ss w\xC3\xB6rd ' \" \\ ; = %", "Z9",
                                           "0123456789012345678901234567890123456789012345678901234567890123456789"
                                           "0123456789012345678901234567890123456789012345678901234567890123456789"));

// The password's folder cannot be made: the settings are not kept, and what is said names
// the folder in the way and why, for the box of HISTORY > DATABASE.
TEST(HistorySettingsNotKept, SayWhichFolderAndWhy)
{
    QTemporaryDir dir;
    const QString blocker = dir.filePath(QStringLiteral("config"));
    {
        QFile file(blocker);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    FileCredentialStore store(dir.filePath(QStringLiteral("config/Qovaks/history-password")));
    const QString said = qova::test::Said(
        app::WriteHistorySettingsTo({QStringLiteral("postgresql://bay1@server/qova"), QStringLiteral("pw")}, store));
    EXPECT_TRUE(said.contains(QStringLiteral("The folder %1 cannot be made: a file of that name is in its place")
                                  .arg(QDir::toNativeSeparators(blocker))))
        << said.toStdString();
    EXPECT_TRUE(QFileInfo(blocker).isFile());
}

struct OldSettings {
    const char *name;
    const char *url;
    const char *password; // the settings' own key; nullptr: none
    const char *keptUrl;
    const char *secret;
};

class OldHistorySettings : public Store {};

// An older version's settings with the password in them: read right, then rewritten
// without it, the password now where this mode keeps passwords.
TEST_P(OldHistorySettings, AreMovedOver)
{
    const OldSettings rows[] = {
        {"own key", "postgresql://bay1@db/qova", "hunter2", "postgresql://bay1@db/qova", "hunter2"},
        {"in the URL", "postgresql://bay1:hunter2@db/qova", nullptr, "postgresql://bay1@db/qova", "hunter2"},
        {"in the query", "postgresql://bay1@db/qova?password=hunter2&sslmode=require", nullptr,
         "postgresql://bay1@db/qova?sslmode=require", "hunter2"},
        {"both", "postgresql://bay1:hunter2@db/qova", "older", "postgresql://bay1@db/qova", "hunter2"},
    };
    const OldSettings &row = rows[std::atoi(GetParam())];
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    {
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Qovaks"), QStringLiteral("history"));
        s.clear();
        s.setValue(QStringLiteral("database"), QString::fromUtf8(row.url));
        if (row.password)
            s.setValue(QStringLiteral("password"), QString::fromUtf8(row.password));
        s.sync();
    }
    ASSERT_TRUE(keptHistorySettings().contains("hunter2") || row.password) << row.name;
    SystemCredentialStore first = store();
    const app::HistorySettings read = app::ReadHistorySettingsFrom(first);
    EXPECT_EQ(read.url, QString::fromUtf8(row.keptUrl)) << row.name;
    EXPECT_EQ(read.password, QString::fromUtf8(row.secret)) << row.name;
    const QByteArray after = keptHistorySettings();
    EXPECT_FALSE(after.contains("hunter2")) << row.name << ": " << after.toStdString();
    EXPECT_FALSE(after.contains("password")) << row.name << ": " << after.toStdString();
    SystemCredentialStore later = store();
    const app::HistorySettings again = app::ReadHistorySettingsFrom(later);
    EXPECT_EQ(again.url, QString::fromUtf8(row.keptUrl)) << row.name;
    EXPECT_EQ(again.password, QString::fromUtf8(row.secret)) << row.name;
    qunsetenv("XDG_CONFIG_HOME");
}

INSTANTIATE_TEST_SUITE_P(Versions, OldHistorySettings, ::testing::Values("0", "1", "2", "3"));

// A password left in the file while no store ran moves into the store once one does.
TEST_F(Store, APasswordLeftInTheFileMovesIntoTheStore)
{
    if (gMode != Mode::SecretService)
        GTEST_SKIP() << "needs the Secret Service";
    ASSERT_TRUE(qova::test::Ok(FileCredentialStore(file).write(kKey, QStringLiteral("hunter2"))));
    SystemCredentialStore s = store();
    EXPECT_EQ(Read(s, kKey), std::optional<QString>(QStringLiteral("hunter2")));
    FileCredentialStore kept(file);
    EXPECT_EQ(Read(kept, kKey), std::optional<QString>(QString()));
    EXPECT_EQ(Read(store(), kKey), std::optional<QString>(QStringLiteral("hunter2")));
}

// A session bus as the system's, less the services it would start on demand.
constexpr char kBusWithoutActivation[] =
    R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <keep_umask/>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

// gnome-keyring on the session bus this program runs on, unlocked with a test password;
// the reason when it does not come up.
QString startKeyring(QProcess &keyring)
{
    if (QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon")).isEmpty())
        return QStringLiteral("gnome-keyring-daemon is not installed (Debian: gnome-keyring)");
    keyring.start(QStringLiteral("gnome-keyring-daemon"),
                  {QStringLiteral("--foreground"), QStringLiteral("--unlock"), QStringLiteral("--components=secrets")});
    if (!keyring.waitForStarted(5000))
        return QStringLiteral("gnome-keyring-daemon did not start: %1").arg(keyring.errorString());
    keyring.write("qova-test");
    keyring.closeWriteChannel();
    // Ready once it answers a round trip. The bound is for a daemon that hangs, not a guess
    // at how long a busy machine takes to start one.
    for (int i = 0; i < 600; ++i) {
        SystemCredentialStore probe(QStringLiteral("QOVA test probe"), QDir::temp().filePath(QStringLiteral("probe")));
        if (probe.write(QStringLiteral("probe"), QStringLiteral("x")).ok() && probe.systemStoreRunning())
            return {};
        if (keyring.state() == QProcess::NotRunning)
            return QStringLiteral("gnome-keyring-daemon ended: %1").arg(QString::fromLocal8Bit(keyring.readAll()));
        QThread::msleep(100);
    }
    return QStringLiteral("gnome-keyring-daemon did not answer on the session bus within 60 s");
}

} // namespace

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const bool secretService = args.contains(QStringLiteral("--secret-service"));
    args.removeAll(QStringLiteral("--secret-service"));
    args.removeAll(QStringLiteral("--no-store"));
    QTemporaryDir home;
    if (secretService && qEnvironmentVariable("QOVA_TEST_OWN_BUS") != QLatin1String("1")) {
        // Again on a session bus of its own, in a home of its own: no keyring of the user's
        // is touched, and the bus ends with the run. The bus starts no service on demand: a
        // round trip tried before our unlocked daemon holds its name would otherwise start a
        // second, locked one that takes the name and refuses every write.
        const QString runner = QStandardPaths::findExecutable(QStringLiteral("dbus-run-session"));
        QFile busConfig(home.filePath(QStringLiteral("bus.conf")));
        if (!runner.isEmpty() && busConfig.open(QIODevice::WriteOnly)) {
            busConfig.write(kBusWithoutActivation);
            busConfig.close();
            QFile::setPermissions(home.path(), kOwnerFolder);
            QProcess run;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("QOVA_TEST_OWN_BUS"), QStringLiteral("1"));
            env.insert(QStringLiteral("HOME"), home.path());
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
            env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
            run.setProcessEnvironment(env);
            run.setProcessChannelMode(QProcess::ForwardedChannels);
            run.start(runner,
                      QStringList{QStringLiteral("--config-file=") + busConfig.fileName(), QStringLiteral("--")} +
                          QStringList{args[0], QStringLiteral("--secret-service")} + args.mid(1));
            run.waitForFinished(-1);
            return run.exitStatus() == QProcess::NormalExit ? run.exitCode() : 1;
        }
        gNoService = runner.isEmpty() ? QStringLiteral("dbus-run-session is not installed (Debian: dbus-daemon)")
                                      : QStringLiteral("the bus's settings %1 cannot be written: %2")
                                            .arg(busConfig.fileName(), busConfig.errorString());
    }
    if (!secretService)
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/qova-no-bus"); // no store to find
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    gMode = secretService ? Mode::SecretService : Mode::NoStore;
    QProcess keyring;
    if (secretService && gNoService.isEmpty())
        gNoService = startKeyring(keyring);
    const int result = RUN_ALL_TESTS();
    if (keyring.state() != QProcess::NotRunning) {
        keyring.terminate();
        if (!keyring.waitForFinished(5000))
            keyring.kill();
        keyring.waitForFinished(5000);
    }
    return result;
}
