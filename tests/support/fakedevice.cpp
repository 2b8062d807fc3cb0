#include "tests/support/fakedevice.h"

namespace qova::test {

void FakeDevice::queue(std::vector<std::uint8_t> bytes, std::int64_t atMs)
{
    for (std::uint8_t b : bytes)
        pending_.push_back({b, atMs});
}

std::vector<std::uint8_t> FakeDevice::writtenBytes() const
{
    std::vector<std::uint8_t> out;
    out.reserve(written_.size());
    for (const auto &w : written_)
        out.push_back(w.byte);
    return out;
}

bool FakeDevice::openDevice()
{
    ++opens_;
    open_ = !failOpen;
    return open_;
}

void FakeDevice::close()
{
    if (open_)
        ++closes_;
    open_ = false;
}

bool FakeDevice::writeByte(std::uint8_t byte)
{
    if (!open_ || failWrites)
        return false;
    written_.push_back({byte, clock_.nowMs()});
    if (onWrite)
        onWrite(byte, *this);
    return true;
}

std::optional<std::uint8_t> FakeDevice::readByte()
{
    ++reads_;
    if (!open_)
        return std::nullopt;
    if (!pending_.empty() && pending_.front().atMs <= clock_.nowMs()) {
        const auto b = pending_.front().byte;
        pending_.pop_front();
        return b;
    }
    clock_.sleepMs(1);
    return std::nullopt;
}

std::size_t FakeDevice::queuedBytes()
{
    std::size_t n = 0;
    for (const auto &p : pending_)
        if (p.atMs <= clock_.nowMs())
            ++n;
    return n;
}

} // namespace qova::test
