// The single-instance guard between processes: a copy of this test holds the lock the
// way the program does, and the case tries to take it as a second copy would.
#include "app/singleinstance.h"
#include "tests/support/coreapplication.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using qova::app::SingleInstance;

namespace {

const char *const kHoldVariable = "QOVA_TEST_HOLD_INSTANCE";

// Not a case of its own (so disabled): the holder process that the cases start.
TEST(InstanceHolder, DISABLED_HoldsUntilKilled)
{
    if (qEnvironmentVariable(kHoldVariable) != QLatin1String("1"))
        GTEST_SKIP() << "only run as the holder of another case";
    SingleInstance instance;
    if (!instance.acquire()) {
        std::fputs("refused\n", stdout);
        std::fflush(stdout);
        return;
    }
    std::fputs("held\n", stdout);
    std::fflush(stdout);
    QThread::sleep(60);
}

struct Session {
    const char *runtime; // the user's runtime folder, under the case's folder
    const char *temp;    // TMPDIR
};

struct LockCase {
    const char *name;
    Session holder, seeker;
    bool holderKilled;
    bool seekerStarts;
};

class SingleInstanceGuard : public ::testing::TestWithParam<LockCase> {};

void useSession(QProcessEnvironment &env, const QTemporaryDir &dir, const Session &s)
{
    for (const char *folder : {s.runtime, s.temp}) {
        QDir().mkpath(dir.filePath(QString::fromLatin1(folder)));
        QFile::setPermissions(dir.filePath(QString::fromLatin1(folder)),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QString::fromLatin1(s.runtime)));
    env.insert(QStringLiteral("TMPDIR"), dir.filePath(QString::fromLatin1(s.temp)));
    env.remove(QStringLiteral("XDG_SESSION_ID"));
}

TEST_P(SingleInstanceGuard, LetsOnlyTheSameSessionsRunningCopyStopASecond)
{
#ifdef _WIN32
    GTEST_SKIP() << "sessions and runtime folders are Linux's; test_windowsplatform has Windows's one copy per user";
#endif
    const LockCase &c = GetParam();
    QTemporaryDir dir;
    QProcessEnvironment holderEnv = QProcessEnvironment::systemEnvironment();
    useSession(holderEnv, dir, c.holder);
    holderEnv.insert(QString::fromLatin1(kHoldVariable), QStringLiteral("1"));
    QProcess holder;
    holder.setProcessEnvironment(holderEnv);
    holder.start(qova::test::CoreApplication("test_app_core").applicationFilePath(),
                 {QStringLiteral("--gtest_also_run_disabled_tests"),
                  QStringLiteral("--gtest_filter=InstanceHolder.DISABLED_HoldsUntilKilled")});
    QByteArray said;
    for (int i = 0; i < 100 && !said.contains("held\n") && !said.contains("refused\n"); ++i) {
        holder.waitForReadyRead(100);
        said += holder.readAllStandardOutput();
    }
    ASSERT_TRUE(said.contains("held\n")) << said.toStdString();
    if (c.holderKilled) {
        holder.kill();
        holder.waitForFinished();
    }

    QProcessEnvironment seekerEnv = QProcessEnvironment::systemEnvironment();
    useSession(seekerEnv, dir, c.seeker);
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR"), temp = qgetenv("TMPDIR"),
                     session = qgetenv("XDG_SESSION_ID");
    qputenv("XDG_RUNTIME_DIR", seekerEnv.value(QStringLiteral("XDG_RUNTIME_DIR")).toLocal8Bit());
    qputenv("TMPDIR", seekerEnv.value(QStringLiteral("TMPDIR")).toLocal8Bit());
    qunsetenv("XDG_SESSION_ID");
    bool started = false;
    {
        SingleInstance instance;
        started = instance.acquire();
    }
    qputenv("XDG_RUNTIME_DIR", runtime);
    qputenv("TMPDIR", temp);
    if (!session.isNull())
        qputenv("XDG_SESSION_ID", session);
    if (holder.state() != QProcess::NotRunning) {
        holder.kill();
        holder.waitForFinished();
    }
    EXPECT_EQ(started, c.seekerStarts);
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, SingleInstanceGuard,
    ::testing::Values(LockCase{"SameSession", {"run-a", "tmp"}, {"run-a", "tmp"}, false, false},
                      LockCase{"SameSessionOtherTemporaryFolder", {"run-a", "tmp-a"}, {"run-a", "tmp-b"}, false, false},
                      LockCase{"OtherUserSameTemporaryFolder", {"run-a", "tmp"}, {"run-b", "tmp"}, false, true},
                      LockCase{"OtherUsersKilledCopy", {"run-a", "tmp"}, {"run-b", "tmp"}, true, true},
                      LockCase{"OwnKilledCopy", {"run-a", "tmp"}, {"run-a", "tmp"}, true, true}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
