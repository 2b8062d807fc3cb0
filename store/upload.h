#pragma once

#include "link/protocol.h"
#include "link/serialport.h"
#include "store/storefile.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace qova::store {

using link::kBlockAccepted;
using link::kBlockRejected;
using link::kUploadAcknowledge;
using link::kUploadRequest;

// Longest the analyser may take: for the acknowledge and the whole first block after "D",
// and for each further block after the reply to the one before. A wait ends as soon as
// what it waits for is queued.
inline constexpr int kAcknowledgeWaitMs = 1400;
inline constexpr int kBlockWaitMs = 410;
inline constexpr int kRejectedWaitMs = 100; // added to kBlockWaitMs after an "E"
// After this many rejected blocks the upload gives up.
inline constexpr int kMaxRejectedBlocks = 4;
// What an analyser's store holds; a larger store still arrives whole, the buffer grows.
inline constexpr std::size_t kReceiveBufferSize = 7936;

inline const QString kPortFailed = QStringLiteral("Communication failed try again (1)");
inline const QString kMemoryError = QStringLiteral("Memory location Error");
inline const QString kUploadCanceled = QStringLiteral("User Canceled");
inline const QString kCanNotCreateFile = QStringLiteral("can not open file");
inline const QString kNoAcknowledge = QStringLiteral("Communication failed try again (2)");
inline const QString kNoData = QStringLiteral("    No Data   ");
inline const QString kDataError = QStringLiteral(" Data Error try again");
inline const QString kCanNotWriteData = QStringLiteral("can not write file ");

struct UploadProgress {
    int accepted = 0;
    int rejected = 0;
    qint64 bytes = 0; // data bytes accepted
};

struct UploadHooks {
    ChooseFile chooseFile;                                // the save dialog
    std::function<void(bool)> busy;                       // true from "D" until the exchange ends
    std::function<void(const UploadProgress &)> progress; // after every block
    SaveFileFactory makeFile = MakeSaveFile;
    // Why the port did not open, before the upload gives up with kPortFailed: the box keeps
    // its fixed text and names the device and the reason under it.
    std::function<void(const Problem &)> portFailed;
};

// Copies the analyser's store into a data file the operator names. Opens the port (and
// leaves it open), asks for the file, then runs the exchange; the problem's text is the
// message for the operator. The file is only replaced when the whole upload succeeded;
// after any failure an existing file is as it was and a new one does not appear.
Done UploadStoredTests(link::PortState &port, QString &StoreFileName, const UploadHooks &hooks);

// The check word that makes a block of `length` with these data bytes add up to zero.
std::uint16_t BlockCheckWord(std::uint8_t length, const std::uint8_t *data, std::size_t count);

} // namespace qova::store
