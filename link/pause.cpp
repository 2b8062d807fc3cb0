#include "link/pause.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <chrono>
#include <thread>

namespace qova::link {

namespace {
std::int64_t steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

bool Pause::sleepUntil(int ms, const std::function<bool()> &done)
{
    const std::int64_t end = nowMs() + ms;
    while (!done()) {
        if (nowMs() >= end)
            return false;
        sleepMs(1);
    }
    return true;
}

void VirtualPause::sleepMs(int ms)
{
    if (ms > 0)
        now_ += ms;
}

std::int64_t ThreadPause::nowMs() const
{
    return steadyMs();
}

void ThreadPause::sleepMs(int ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::int64_t EventLoopPause::nowMs() const
{
    return steadyMs();
}

void EventLoopPause::sleepMs(int ms)
{
    sleepUntil(ms, [] { return false; });
}

bool EventLoopPause::sleepUntil(int ms, const std::function<bool()> &done)
{
    const std::int64_t end = steadyMs() + ms;
    for (;;) {
        if (done())
            return true;
        const std::int64_t left = end - steadyMs();
        if (left <= 0)
            return false;
        if (QCoreApplication::instance() != nullptr) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
        // Short naps keep the wait accurate to a millisecond or two without spinning a core.
        std::this_thread::sleep_for(std::chrono::milliseconds(left > 1 ? 1 : left));
    }
}

} // namespace qova::link
