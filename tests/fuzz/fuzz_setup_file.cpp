// SETUP.EA2 may hold anything: the port is always 1 to 4, and only the first 20 bytes count.
#include "app/settingsfile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const int port = qova::app::PortFromSetupBytes(bytes);
    if (port < 1 || port > 4)
        std::abort();
    if (qova::app::PortFromSetupBytes(bytes.left(20)) != port)
        std::abort();
    return 0;
}
