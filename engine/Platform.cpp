#include "engine/Platform.h"

#include <chrono>
#include <sys/prctl.h>
#include <system_error>
#include <thread>

namespace kestrin {

void ThreadSleeper::Sleep(int ms)
{
    // The kernel may wake a sleeper up to its timer slack late (50 us by default), and on air
    // every gap would carry it: ask for the least, once for the thread that sends.
    thread_local const bool precise = prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
    (void)precise; // without it the waits are only a little longer
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
