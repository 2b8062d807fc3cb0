#include "store/upload.h"

#include <QSaveFile>
#include <array>
#include <new>
#include <span>
#include <vector>

namespace qova::store {

std::uint16_t BlockCheckWord(std::uint8_t length, const std::uint8_t *data, std::size_t count)
{
    return link::BlockCheckWord(length, std::span<const std::uint8_t>(data, count));
}

namespace {

// Waits until `count` bytes are queued, never past `deadline`. The analyser paces the
// exchange: a block that is complete is read at once, a late one no later than it would
// have been after the full wait.
void waitForBytes(link::PortState &port, std::int64_t deadline, std::size_t count)
{
    const std::int64_t left = deadline - port.pause->nowMs();
    if (left <= 0)
        return;
    port.pause->sleepUntil(static_cast<int>(left),
                           [&port, count] { return !port.handleValid() || port.PortHandle->queuedBytes() >= count; });
}

struct BusyGuard {
    const std::function<void(bool)> &busy;
    explicit BusyGuard(const std::function<void(bool)> &b) : busy(b)
    {
        if (busy)
            busy(true);
    }
    ~BusyGuard()
    {
        if (busy)
            busy(false);
    }
};

// The message for the operator, empty when the data file was written.
QString upload(link::PortState &port, QString &StoreFileName, const UploadHooks &hooks)
{
    if (const Done opened = link::OpenPort(port); !opened.ok()) {
        if (hooks.portFailed)
            hooks.portFailed(opened.problem());
        return kPortFailed;
    }

    std::vector<std::uint8_t> received;
    try {
        received.reserve(kReceiveBufferSize);
    } catch (const std::bad_alloc &) {
        return kMemoryError;
    }

    const QString path = hooks.chooseFile ? hooks.chooseFile() : QString();
    if (path.isEmpty())
        return kUploadCanceled;
    StoreFileName = path;
    // Written beside the chosen file and renamed over it only on success.
    std::unique_ptr<QSaveFile> file = hooks.makeFile(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) // see WriteAll
        return kCanNotCreateFile;

    link::DrainInput(port);
    UploadProgress progress;
    link::WriteByte(port, kUploadRequest);
    std::int64_t deadline = port.pause->nowMs() + kAcknowledgeWaitMs;
    {
        BusyGuard busy(hooks.busy);
        waitForBytes(port, deadline, 1);
        if (link::ReadByte(port) != kUploadAcknowledge) {
            file->cancelWriting();
            return kNoAcknowledge;
        }

        std::array<std::uint8_t, link::kMaxBlockData> block{};
        try {
            // A device that has gone (an adapter pulled out) reads as the end of the store.
            while (port.handleValid()) {
                waitForBytes(port, deadline, 1);
                const std::uint8_t length = link::ReadByte(port);
                if (length == link::kEndBlock || progress.rejected >= kMaxRejectedBlocks)
                    break;
                // The data bytes and the two bytes of the check word.
                waitForBytes(port, deadline, std::size_t{length} + 1);
                std::uint16_t sum = length;
                const int dataBytes = length - 1;
                for (int i = 0; i < dataBytes; ++i) {
                    block[static_cast<std::size_t>(i)] = link::ReadByte(port);
                    sum = static_cast<std::uint16_t>(sum + block[static_cast<std::size_t>(i)]);
                }
                const std::uint8_t low = link::ReadByte(port);
                const std::uint8_t high = link::ReadByte(port);
                sum = static_cast<std::uint16_t>(sum + link::WordLowFirst(low, high));
                int waitMs = kBlockWaitMs;
                if (sum == 0) {
                    received.insert(received.end(), block.begin(), block.begin() + dataBytes);
                    link::WriteByte(port, kBlockAccepted);
                    ++progress.accepted;
                    progress.bytes = static_cast<qint64>(received.size());
                } else {
                    link::WriteByte(port, kBlockRejected);
                    ++progress.rejected;
                    waitMs += kRejectedWaitMs;
                }
                deadline = port.pause->nowMs() + waitMs;
                if (hooks.progress)
                    hooks.progress(progress);
            }
        } catch (const std::bad_alloc &) {
            file->cancelWriting();
            return kMemoryError;
        }
    }

    // The blocks that came before the device went are not the whole store: saving them
    // would replace the operator's file with a part of one.
    if (!port.handleValid()) {
        file->cancelWriting();
        return kNoAcknowledge;
    }
    if (received.empty()) {
        file->cancelWriting();
        return kNoData;
    }
    if (progress.rejected != 0) {
        file->cancelWriting();
        return kDataError;
    }
    // The analyser program's words go to the operator; the reason has no place in them.
    if (!WriteAll(*file, reinterpret_cast<const char *>(received.data()), static_cast<qint64>(received.size())).ok() ||
        !file->commit()) {
        file->cancelWriting();
        return kCanNotWriteData + path;
    }
    return {};
}

} // namespace

Done UploadStoredTests(link::PortState &port, QString &StoreFileName, const UploadHooks &hooks)
{
    if (const QString message = upload(port, StoreFileName, hooks); !message.isEmpty())
        return Problem{message, {}, {}};
    return {};
}

} // namespace qova::store
