#pragma once

#include "result/result.h"
#include <QByteArray>
#include <QSaveFile>
#include <QString>
#include <functional>
#include <memory>

namespace qova::store {

using qova::Done;
using qova::Problem;
using qova::Result;

// Asks the operator for a file; the chosen path, or empty when cancelled.
using ChooseFile = std::function<QString()>;
// Makes the file a save goes through. Tests hand in one that runs out of room.
using SaveFileFactory = std::function<std::unique_ptr<QSaveFile>(const QString &path)>;
std::unique_ptr<QSaveFile> MakeSaveFile(const QString &path);

// A device may take fewer bytes than offered without reporting an error (a full disk
// under QSaveFile does), so every write's count is checked. A problem at the first short
// one, naming the file and the device's reason.
// A QSaveFile must be opened Unbuffered for this to hold: a write that fails only when the
// buffer is flushed is not reported by its commit(), which then puts a cut-off file in
// place of the old one.
Done WriteAll(QIODevice &device, const char *data, qint64 size);

inline const QString kUserCanceled = QStringLiteral("user Canceled");
inline const QString kCanNotOpenFile = QStringLiteral("Can not open file ");
inline const QString kNoDataInFile = QStringLiteral("No data in file ");
inline const QString kCanNotWriteFile = QStringLiteral("Can not write file ");
inline const QString kExportOntoData = QStringLiteral("Can not export onto the data file ");
inline const QString kFileTooLarge = QStringLiteral("File too large to be a data file ");

// An analyser stores a few hundred tests; a file of more than two million cannot be one of
// its uploads, and reading it whole could take all the memory there is.
inline constexpr qint64 kMaxDataFileBytes = qint64{64} << 20;

// The viewer's column header over the list.
inline const QString kListHeader = QStringLiteral("  Date      time    HC  CO   CO2  O2   NO  RPM  OIL");
// The export's first line, without its line end.
inline constexpr char kExportHeader[] = "Date        time     HC    CO  CO2  O2   NO   RPM  OIL ";

// Reads the data file named in StoreFileName, asking for one first when the name is empty.
// On success StoreData holds the file and StoreRecordCount its whole records; a trailing
// partial record stays in StoreData but is never counted. On a problem (its text the
// message the operator is shown) StoreData and StoreRecordCount are as they were.
Done LoadStoredTests(QString &StoreFileName, QByteArray &StoreData, int &StoreRecordCount,
                     const ChooseFile &chooseFile);

// Reads a whole data file, or says that it is missing, empty or too large.
Result<QByteArray> ReadDataFile(const QString &path);

// The end of an export into `outPath`: the file is kept only when every write went through
// (`written`) and it commits, else dropped. Returns what the operator is told either way.
QString FinishExport(QSaveFile &file, bool written, const QString &dataPath, const QString &outPath);

// The text file's path: the data file's with its last three characters made "txt"; a name
// of one or two characters gets ".txt" after it, so the text always lands beside its data.
QString ExportPathFor(const QString &dataPath);

// Asks for a data file and writes its text form beside it. Always returns a message:
// "done  MAY.QVS---> MAY.txt" on success. Rows are dated in `currentYear`.
QString ExportStoredTests(const ChooseFile &chooseFile, int currentYear,
                          const SaveFileFactory &makeFile = MakeSaveFile);
// The export of one chosen data file, from opening it on.
QString ExportStoredFile(const QString &dataPath, int currentYear, const SaveFileFactory &makeFile = MakeSaveFile);

// The export's text for whole records of `data`, header included, as written to the file.
QByteArray StoredTestsText(const QByteArray &data, int currentYear);

} // namespace qova::store
