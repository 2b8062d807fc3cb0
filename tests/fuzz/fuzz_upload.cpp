// Whatever the analyser sends after "D", the upload ends with a message or a data file,
// never reads or writes past its buffer, and writes a file only when it reports success.
#include "store/upload.h"
#include "tests/support/fakedevice.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("FUZZ.QVS"));
    QFile::remove(path);

    // The input is cut into the analyser's answers: the first part follows "D", each
    // further part follows a reply ("O" or "E"). A 0xF5 byte ends a part.
    std::vector<std::vector<std::uint8_t>> parts(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0xF5)
            parts.emplace_back();
        else
            parts.back().push_back(data[i]);
    }
    std::size_t next = 0;
    qova::test::FakeLink fake;
    fake.prepare = [&](qova::test::FakeDevice &d) {
        d.onWrite = [&](std::uint8_t b, qova::test::FakeDevice &dev) {
            if ((b == 'D' || b == 'O' || b == 'E') && next < parts.size())
                dev.queue(parts[next++], dev.written().back().atMs + 5);
        };
    };
    QString storeFileName;
    qova::store::UploadHooks hooks;
    hooks.chooseFile = [&] { return path; };
    if (qova::store::UploadStoredTests(fake.port, storeFileName, hooks).ok() != QFile::exists(path))
        std::abort();
    return 0;
}
