#include "engine/Platform.h"

#include <sys/prctl.h>
#include <thread>

namespace kestrin {

const std::chrono::microseconds kWakeMargin { 150 };

void UseLeastTimerSlack()
{
    thread_local const bool precise = prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
    (void)precise; // without it the waits are only a little longer
}

void SleepUntil(std::chrono::steady_clock::time_point until)
{
    std::this_thread::sleep_until(until);
}

// Linux timers are fine-grained already.
void HoldFineTimerResolution() { }
void ReleaseFineTimerResolution() { }

} // namespace kestrin
