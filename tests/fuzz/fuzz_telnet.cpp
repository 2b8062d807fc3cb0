// Any bytes a network serial server can send, split anywhere: the telnet client never
// crashes, and data bytes only ever come from the stream, never from its commands. A
// stream with no IAC at all is all data, byte for byte.
#include "link/telnetcodec.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses where the stream is cut, so splits are fuzzed too.
    const std::size_t step = 1 + data[0] % 17;
    const QByteArray stream(reinterpret_cast<const char *>(data + 1), static_cast<qsizetype>(size - 1));
    qova::link::telnet::Client client;
    std::deque<std::uint8_t> out;
    for (qsizetype at = 0; at < stream.size(); at += static_cast<qsizetype>(step)) {
        client.feed(stream.mid(at, static_cast<qsizetype>(step)), out);
        client.takeAnswers();
        client.takeReplies();
    }
    if (out.size() > static_cast<std::size_t>(stream.size()))
        std::abort();
    if (!stream.contains(char(qova::link::telnet::kIac))) {
        if (out.size() != static_cast<std::size_t>(stream.size()) ||
            !std::equal(out.begin(), out.end(), stream.begin(),
                        [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }))
            std::abort();
    }
    return 0;
}
