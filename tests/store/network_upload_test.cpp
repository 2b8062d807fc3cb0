// An upload over a network serial server that is stopped in the middle fails with its
// message, at once, and leaves the operator's data file as it was.
#include "link/networkdevice.h"
#include "store/upload.h"
#include "tests/link/networkpeer.h"
#include "tests/store/uploadanalyser.h"
#include "tests/support/coreapplication.h"
#include "tests/support/okresult.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qova;
using test::NetworkPeer;

namespace {

QByteArray asBytes(const std::vector<std::uint8_t> &v)
{
    return QByteArray(reinterpret_cast<const char *>(v.data()), static_cast<qsizetype>(v.size()));
}

class NetworkUpload : public testing::TestWithParam<NetworkPeer::Kind> {
protected:
    static void SetUpTestSuite() { test::CoreApplication("network_upload_test"); }
};

TEST_P(NetworkUpload, ADroppedConnectionFailsTheUploadAndKeepsTheFile)
{
    std::vector<std::uint8_t> data(60);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 7 + 255);
    // The acknowledgement and a first block, with 255s telnet doubles; the server stops
    // when the program takes that block.
    NetworkPeer::Behaviour b;
    b.kind = GetParam();
    b.answers = {{store::kUploadRequest,
                  QByteArray(1, static_cast<char>(store::kUploadAcknowledge)) + asBytes(test::StoreBlockBytes(data))}};
    b.dropOn = store::kBlockAccepted;
    NetworkPeer peer(b);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("MAY.QVS"));
    const QByteArray previous(90, 'x');
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(previous);
    }
    link::EventLoopPause pause;
    const QString name = QStringLiteral("%1://127.0.0.1:%2")
                             .arg(GetParam() == NetworkPeer::Kind::Raw ? "tcp" : "rfc2217")
                             .arg(peer.port());
    link::PortState port([&](int) { return std::make_unique<link::NetworkDevice>(name, pause); }, pause);
    QString storeFile;
    store::UploadHooks hooks;
    hooks.chooseFile = [&path] { return path; };
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(test::Said(store::UploadStoredTests(port, storeFile, hooks)), store::kNoAcknowledge);
    // No waiting out the block time-outs for a server that is gone.
    EXPECT_LT(clock.elapsed(), store::kBlockWaitMs);
    EXPECT_EQ(peer.received(), QByteArray("DO"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), previous);
}

INSTANTIATE_TEST_SUITE_P(Kinds, NetworkUpload, testing::Values(NetworkPeer::Kind::Raw, NetworkPeer::Kind::Rfc2217),
                         [](const auto &info) { return info.param == NetworkPeer::Kind::Raw ? "Raw" : "Rfc2217"; });

} // namespace
