#include "sim/demoanalyser.h"
#include "sim/simdevice.h"
#include "store/upload.h"
#include "tests/store/shortsavefile.h"
#include "tests/store/uploadanalyser.h"
#include "tests/support/fakedevice.h"
#include "tests/support/filesizecap.h"
#include "tests/support/okresult.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qova;
using Bytes = std::vector<std::uint8_t>;

namespace {

// What the analyser sends in answer to "D" and then to each reply, each after `delayMs`,
// one byte a millisecond as a 9600-baud line delivers them.
struct Answer {
    Bytes bytes;
    int delayMs = 0;
    bool unplug = false; // instead of answering, the adapter is pulled out
};

void scriptAnalyser(test::FakeLink &fake, std::vector<Answer> answers)
{
    fake.prepare = [answers = std::move(answers), next = std::size_t{0}](test::FakeDevice &d) mutable {
        d.onWrite = [&answers, &next, &d](std::uint8_t byte, test::FakeDevice &) {
            if (byte != 'D' && byte != 'O' && byte != 'E')
                return;
            if (next >= answers.size())
                return;
            const Answer &a = answers[next++];
            if (a.unplug) {
                d.close();
                return;
            }
            std::int64_t at = d.written().back().atMs + a.delayMs;
            for (std::uint8_t b : a.bytes)
                d.queue({b}, at++);
        };
    };
}

Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const auto &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes range(std::size_t n, std::uint8_t first = 1)
{
    Bytes out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<std::uint8_t>(first + i);
    return out;
}

const Bytes kAck{0x06};
const Bytes kEnd{0x00};
const QByteArray kPrevious("previous contents of the file");

struct Upload {
    test::FakeLink fake;
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("MAY.QVS"));
    QString StoreFileName;
    int chooseCalls = 0;
    std::vector<bool> busy;
    std::vector<store::UploadProgress> progress;
    store::UploadHooks hooks;

    Upload()
    {
        hooks.chooseFile = [this] {
            ++chooseCalls;
            return path;
        };
        hooks.busy = [this](bool on) { busy.push_back(on); };
        hooks.progress = [this](const store::UploadProgress &p) { progress.push_back(p); };
    }
    QString run() { return test::Said(store::UploadStoredTests(fake.port, StoreFileName, hooks)); }
    Bytes sent() { return fake.devices.empty() ? Bytes{} : fake.device().writtenBytes(); }
    QByteArray file() const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
    }
    void preexisting() const
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(kPrevious);
    }
};

struct UploadCase {
    std::string name;
    std::vector<Answer> answers;
    QString message;
    Bytes sent;     // by the workstation
    Bytes fileData; // what the file holds after a successful upload
};

std::vector<UploadCase> uploadCases()
{
    const Bytes example = {0x04, 0x01, 0x02, 0x03, 0xF6, 0xFF};
    const Bytes full = range(254);
    std::vector<UploadCase> cases = {
        {"EndAtOnce", {{cat({kAck, kEnd})}}, store::kNoData, {'D'}, {}},
        {"OnlyEmptyBlocks",
         {{cat({kAck, {0x01, 0xFF, 0xFF}})}, {{0x01, 0xFF, 0xFF}}, {kEnd}},
         store::kNoData,
         {'D', 'O', 'O'},
         {}},
        {"ExampleBlock", {{cat({kAck, example})}, {kEnd}}, {}, {'D', 'O'}, {1, 2, 3}},
        {"LongestBlock", {{cat({kAck, test::StoreBlockBytes(full)})}, {kEnd}}, {}, {'D', 'O'}, full},
        {"BlocksJoinInOrder",
         {{cat({kAck, test::StoreBlockBytes(range(7, 10))})}, {test::StoreBlockBytes(range(23, 50))}, {kEnd}},
         {},
         {'D', 'O', 'O'},
         cat({range(7, 10), range(23, 50)})},
        {"StoreWithoutEndBlock", {{cat({kAck, example})}}, {}, {'D', 'O'}, {1, 2, 3}},
        {"RejectedThenAccepted",
         {{cat({kAck, test::BadStoreBlockBytes(range(30))})}, {test::StoreBlockBytes(range(30))}, {kEnd}},
         store::kDataError,
         {'D', 'E', 'O'},
         {}},
        {"FourthRejectionEndsWithoutData",
         {{cat({kAck, test::BadStoreBlockBytes(range(5))})},
          {test::BadStoreBlockBytes(range(5))},
          {test::BadStoreBlockBytes(range(5))},
          {test::BadStoreBlockBytes(range(5))},
          {test::StoreBlockBytes(range(5))}},
         store::kNoData,
         {'D', 'E', 'E', 'E', 'E'},
         {}},
        {"FourthRejectionAfterData",
         {{cat({kAck, example})},
          {test::BadStoreBlockBytes(range(5))},
          {test::BadStoreBlockBytes(range(5))},
          {test::StoreBlockBytes(range(5))},
          {test::BadStoreBlockBytes(range(5))},
          {test::BadStoreBlockBytes(range(5))},
          {test::StoreBlockBytes(range(5))}},
         store::kDataError,
         {'D', 'O', 'E', 'E', 'O', 'E', 'E'},
         {}},
        {"SilenceAfterRequest", {}, store::kNoAcknowledge, {'D'}, {}},
        {"WrongAcknowledge", {{{0x15, 0x00}}}, store::kNoAcknowledge, {'D'}, {}},
        {"AcknowledgeTooLate", {{cat({kAck, example}), 1401}}, store::kNoAcknowledge, {'D'}, {}},
        {"FirstBlockJustInTime", {{cat({kAck, example}), 1393}, {kEnd}}, {}, {'D', 'O'}, {1, 2, 3}},
        {"FirstBlockTooLate", {{kAck, 0}, {example, 1400}}, store::kNoData, {'D'}, {}},
        {"NextBlockJustInTime",
         {{cat({kAck, example})}, {test::StoreBlockBytes({9, 8}), 405}, {kEnd}},
         {},
         {'D', 'O', 'O'},
         {1, 2, 3, 9, 8}},
        {"NextBlockTooLate", {{cat({kAck, example})}, {test::StoreBlockBytes({9, 8}), 411}}, {}, {'D', 'O'}, {1, 2, 3}},
        {"ResentBlockWithinTheLongerWait",
         {{cat({kAck, example})}, {test::BadStoreBlockBytes({7})}, {test::StoreBlockBytes({7}), 505}, {kEnd}},
         store::kDataError,
         {'D', 'O', 'E', 'O'},
         {}},
        // The adapter goes between blocks: what came is a part of the store, not all of it.
        {"AdapterPulledOutBetweenBlocks",
         {{cat({kAck, example})}, {{}, 0, true}},
         store::kNoAcknowledge,
         {'D', 'O'},
         {}},
        {"AdapterPulledOutAfterARejection",
         {{cat({kAck, example})}, {test::BadStoreBlockBytes({7})}, {{}, 0, true}},
         store::kNoAcknowledge,
         {'D', 'O', 'E'},
         {}},
    };

    // A store larger than the analyser's usual 7936 bytes arrives whole.
    const Bytes big = test::SampleStore(300); // 9000 bytes
    UploadCase large{"StoreLargerThanTheBuffer", {}, {}, {'D'}, big};
    for (std::size_t at = 0; at < big.size(); at += 254) {
        const Bytes data(big.begin() + static_cast<std::ptrdiff_t>(at),
                         big.begin() + static_cast<std::ptrdiff_t>(std::min(big.size(), at + 254)));
        large.answers.push_back({at == 0 ? cat({kAck, test::StoreBlockBytes(data)}) : test::StoreBlockBytes(data)});
        large.sent.push_back('O');
    }
    large.answers.push_back({kEnd});
    cases.push_back(large);
    return cases;
}

class UploadExchange : public testing::TestWithParam<UploadCase> {};

TEST_P(UploadExchange, BytesMessageAndFile)
{
    const UploadCase &c = GetParam();
    Upload u;
    u.preexisting();
    scriptAnalyser(u.fake, c.answers);
    const QString message = u.run();
    EXPECT_EQ(message.toStdString(), c.message.toStdString());
    EXPECT_EQ(u.sent(), c.sent);
    EXPECT_EQ(u.StoreFileName, u.path);
    if (c.message.isEmpty()) {
        EXPECT_EQ(u.file(), QByteArray(reinterpret_cast<const char *>(c.fileData.data()),
                                       static_cast<qsizetype>(c.fileData.size())));
    } else {
        EXPECT_EQ(u.file(), kPrevious) << "a failed upload must leave the file as it was";
    }
    EXPECT_EQ(u.busy, (std::vector<bool>{true, false}));
    EXPECT_TRUE(u.fake.port.PortOpen) << "the upload leaves the port open";
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(QDir(u.dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("MAY.QVS")});
}

INSTANTIATE_TEST_SUITE_P(Cases, UploadExchange, testing::ValuesIn(uploadCases()),
                         [](const auto &info) { return info.param.name; });

TEST(Upload, PulledOutAdapterEndsTheExchangeAtOnce)
{
    Upload u;
    u.preexisting();
    scriptAnalyser(u.fake, {{cat({kAck, test::StoreBlockBytes(range(40))})}, {{}, 0, true}});
    EXPECT_EQ(u.run(), store::kNoAcknowledge);
    // No waiting out the block time-outs for a device that is gone.
    EXPECT_LT(u.fake.clock.nowMs(), 100);
    EXPECT_EQ(u.file(), kPrevious);
}

TEST(Upload, FailureCreatesNoFile)
{
    Upload u;
    scriptAnalyser(u.fake, {{cat({kAck, kEnd})}});
    EXPECT_EQ(u.run(), store::kNoData);
    EXPECT_FALSE(QFile::exists(u.path));
    EXPECT_TRUE(QDir(u.dir.path()).isEmpty());
}

TEST(Upload, ProgressCountsBlocksAndBytes)
{
    Upload u;
    scriptAnalyser(u.fake, {{cat({kAck, test::StoreBlockBytes(range(10))})},
                            {test::BadStoreBlockBytes(range(4))},
                            {test::StoreBlockBytes(range(4))},
                            {kEnd}});
    u.run();
    ASSERT_EQ(u.progress.size(), 3u);
    EXPECT_EQ(u.progress[0].accepted, 1);
    EXPECT_EQ(u.progress[0].bytes, 10);
    EXPECT_EQ(u.progress[1].rejected, 1);
    EXPECT_EQ(u.progress[2].accepted, 2);
    EXPECT_EQ(u.progress[2].bytes, 14);
}

struct OpenFailure {
    std::string name;
    std::function<void(test::FakeDevice &)> breakIt;
};

class UploadPortFailure : public testing::TestWithParam<OpenFailure> {};

TEST_P(UploadPortFailure, NoDialogNoFile)
{
    Upload u;
    u.fake.prepare = GetParam().breakIt;
    std::vector<Problem> told;
    u.hooks.portFailed = [&told](const Problem &problem) { told.push_back(problem); };
    EXPECT_EQ(u.run(), store::kPortFailed);
    // The box under the fixed text names the device and the system's reason.
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], (Problem{QStringLiteral("COM1 (/dev/fake0)"), QStringLiteral("Permission denied"),
                                link::kConnectionFix}));
    EXPECT_EQ(u.chooseCalls, 0);
    EXPECT_TRUE(u.sent().empty());
    EXPECT_FALSE(QFile::exists(u.path));
}

INSTANTIATE_TEST_SUITE_P(Steps, UploadPortFailure,
                         testing::Values(OpenFailure{"Open", [](test::FakeDevice &d) { d.failOpen = true; }},
                                         OpenFailure{"Line", [](test::FakeDevice &d) { d.failLine = true; }},
                                         OpenFailure{"Timeouts", [](test::FakeDevice &d) { d.failTimeouts = true; }},
                                         OpenFailure{"Queues", [](test::FakeDevice &d) { d.failQueues = true; }}),
                         [](const auto &info) { return info.param.name; });

TEST(Upload, CancelSendsNothingAndCreatesNoFile)
{
    Upload u;
    u.hooks.chooseFile = [] { return QString(); };
    scriptAnalyser(u.fake, {{cat({kAck, kEnd})}});
    EXPECT_EQ(u.run(), store::kUploadCanceled);
    EXPECT_TRUE(u.sent().empty());
    EXPECT_TRUE(u.StoreFileName.isEmpty());
    EXPECT_TRUE(QDir(u.dir.path()).isEmpty());
    EXPECT_TRUE(u.fake.port.PortOpen);
}

TEST(Upload, FileThatCannotBeCreated)
{
    Upload u;
    u.path = u.dir.filePath(QStringLiteral("no-such-folder/MAY.QVS"));
    scriptAnalyser(u.fake, {{cat({kAck, kEnd})}});
    EXPECT_EQ(u.run(), store::kCanNotCreateFile);
    EXPECT_EQ(u.StoreFileName, u.path);
    EXPECT_TRUE(u.sent().empty());
}

TEST(Upload, ShortWriteKeepsThePreviousFile)
{
    Upload u;
    u.preexisting();
    u.hooks.makeFile = [](const QString &path) { return std::make_unique<test::ShortSaveFile>(path, 100); };
    scriptAnalyser(u.fake, {{cat({kAck, test::StoreBlockBytes(range(200))})}, {kEnd}});
    EXPECT_EQ(u.run(), store::kCanNotWriteData + u.path);
    EXPECT_EQ(u.file(), kPrevious);
    EXPECT_EQ(QDir(u.dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("MAY.QVS")});
}

// The same on a real file: a write the disk cannot take may only show when the file is
// flushed, after every write reported success.
TEST(Upload, FullDiskKeepsThePreviousFile)
{
    Upload u;
    u.preexisting();
    scriptAnalyser(u.fake, {{cat({kAck, test::StoreBlockBytes(range(200))})}, {kEnd}});
    QString message;
    if (!test::FileSizeCap::kAvailable)
        GTEST_SKIP() << test::FileSizeCap::kMissing;
    {
        test::FileSizeCap cap(100);
        message = u.run();
    }
    EXPECT_EQ(message, store::kCanNotWriteData + u.path);
    EXPECT_EQ(u.file(), kPrevious);
    EXPECT_EQ(QDir(u.dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("MAY.QVS")});
}

TEST(Upload, RepliesAsSoonAsEachBlockIsComplete)
{
    Upload u;
    // First block 300 ms after "D", the next 50 ms after the reply; each 6 bytes long.
    scriptAnalyser(u.fake,
                   {{cat({kAck, {0x04, 1, 2, 3, 0xF6, 0xFF}}), 300}, {{0x04, 1, 2, 3, 0xF6, 0xFF}, 50}, {kEnd}});
    EXPECT_EQ(u.run(), QString());
    const auto &w = u.fake.device().written();
    ASSERT_EQ(w.size(), 3u);
    // The last byte of the first block is queued 6 ms after the acknowledge.
    EXPECT_LE(w[1].atMs - w[0].atMs, 300 + 6 + 2);
    EXPECT_LE(w[2].atMs - w[1].atMs, 50 + 5 + 2);
}

TEST(Upload, ChecksumWordOverTheLengthByte)
{
    const Bytes data{1, 2, 3};
    EXPECT_EQ(store::BlockCheckWord(4, data.data(), data.size()), 0xFFF6);
    EXPECT_EQ(store::BlockCheckWord(1, nullptr, 0), 0xFFFF);
    EXPECT_EQ(test::StoreBlockBytes(data), (Bytes{0x04, 0x01, 0x02, 0x03, 0xF6, 0xFF}));
}

// Against an analyser that answers at once and whose bytes take 10 bits at 9600 baud each,
// the upload of a full store takes little more than those bytes take on the line.
TEST(Upload, PacedByTheAnalyserNotByTheWaits)
{
    link::VirtualPause clock;
    test::UploadAnalyser *analyser = nullptr;
    link::PortState port(test::FullStoreDevices(clock, analyser), clock);
    QTemporaryDir dir;
    QString name;
    store::UploadHooks hooks;
    hooks.chooseFile = [&] { return dir.filePath(QStringLiteral("FULL.QVS")); };
    const std::int64_t start = clock.nowMs();
    ASSERT_EQ(test::Said(store::UploadStoredTests(port, name, hooks)), QString());
    const double elapsed = static_cast<double>(clock.nowMs() - start);
    const double wire = static_cast<double>(analyser->bytesSent()) * 10.0 * 1000.0 / 9600.0;
    EXPECT_EQ(QFile(name).size(), 7936);
    EXPECT_LE(elapsed / wire, 1.10) << "elapsed " << elapsed << " ms, wire " << wire << " ms";
    const double fixedWaits = 1400.0 + 410.0 * 32;
    EXPECT_GT(fixedWaits / wire, 1.5);
}

// The simulated analyser with a full store (265 tests, 7950 bytes) in blocks of varying
// length: the whole store arrives, and the upload takes little more than its bytes on the line.
struct DemoCase {
    const char *name;
    int badBlockEvery;
    QString message;
};

class UploadFromTheSimulator : public testing::TestWithParam<DemoCase> {};

TEST_P(UploadFromTheSimulator, WholeStoreAtTheLinesPace)
{
    link::VirtualPause clock;
    sim::DemoOptions options;
    options.storedTests = 265;
    options.faults.badBlockEvery = GetParam().badBlockEvery;
    auto analyser = std::make_shared<sim::DemoAnalyser>(options);
    link::PortState port([&](int) { return std::make_unique<sim::SimDevice>(clock, analyser); }, clock);
    QTemporaryDir dir;
    QString name;
    store::UploadHooks hooks;
    hooks.chooseFile = [&] { return dir.filePath(QStringLiteral("SIM.QVS")); };
    const std::int64_t start = clock.nowMs();
    ASSERT_EQ(test::Said(store::UploadStoredTests(port, name, hooks)).toStdString(), GetParam().message.toStdString());
    if (!GetParam().message.isEmpty()) {
        EXPECT_FALSE(QFile::exists(name));
        return;
    }
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    ASSERT_EQ(data.size(), 7950);
    EXPECT_EQ(data, QByteArray(reinterpret_cast<const char *>(analyser->store().data()), 7950));
    const double wire = (2.0 + 7950 + 3.0 * analyser->blocksSent()) * 10.0 * 1000.0 / 9600.0;
    const double elapsed = static_cast<double>(clock.nowMs() - start);
    EXPECT_LE(elapsed / wire, 1.10) << "elapsed " << elapsed << " ms, wire " << wire << " ms";
}

INSTANTIATE_TEST_SUITE_P(Simulator, UploadFromTheSimulator,
                         testing::Values(DemoCase{"Clean", 0, {}}, DemoCase{"BadBlocks", 2, store::kDataError}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
