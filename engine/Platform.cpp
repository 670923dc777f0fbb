#include "engine/Platform.h"

#include <chrono>
#include <system_error>
#include <thread>

namespace kestrin {

void ThreadSleeper::Sleep(int ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool ThreadStarter::Start(std::function<void()> job)
{
    try {
        std::thread(std::move(job)).detach();
        return true;
    } catch (const std::system_error&) {
        // Out of threads: the element stays silent, keying goes on.
        return false;
    }
}

} // namespace kestrin
