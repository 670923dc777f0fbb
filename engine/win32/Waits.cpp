#include "engine/Platform.h"

#include <windows.h>

#include <atomic>
#include <mmsystem.h>

namespace kestrin {

const std::chrono::microseconds kWakeMargin { 1500 };

namespace {

// Windows 10 1803 and later; MinGW's headers do not have it yet.
constexpr DWORD kHighResolutionTimer = 0x00000002; // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION

// This thread's waitable timer: high resolution where the system offers it, else a plain one,
// whose waits end on the system's timer tick.
class WaitTimer {
public:
    WaitTimer()
        : m_handle(CreateWaitableTimerExW(
            nullptr, nullptr, kHighResolutionTimer, TIMER_MODIFY_STATE | SYNCHRONIZE))
        , m_precise(m_handle != nullptr)
    {
        if (m_handle == nullptr)
            m_handle
                = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_MODIFY_STATE | SYNCHRONIZE);
    }
    ~WaitTimer()
    {
        if (m_handle != nullptr)
            (void)CloseHandle(m_handle); // the thread ends; nothing waits on it any more
    }
    WaitTimer(const WaitTimer&) = delete;
    WaitTimer& operator=(const WaitTimer&) = delete;

    HANDLE Get() const { return m_handle; }
    bool Precise() const { return m_precise; }

private:
    HANDLE m_handle;
    bool m_precise;
};

WaitTimer& ThisThreadsTimer()
{
    thread_local WaitTimer timer;
    return timer;
}

// How many sends hold the fine resolution; only the first raises it and the last lowers it.
std::atomic<int> g_fineResolutionHolders { 0 };

} // namespace

void UseLeastTimerSlack()
{
    (void)ThisThreadsTimer(); // made once per thread, before the first wait needs it
}

void SleepUntil(std::chrono::steady_clock::time_point until)
{
    const auto left = until - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero())
        return;
    const WaitTimer& timer = ThisThreadsTimer();
    // Negative: relative to now, in units of 100 ns, rounded down so that it never wakes late.
    LARGE_INTEGER due {};
    due.QuadPart
        = -std::chrono::duration_cast<std::chrono::duration<LONGLONG, std::ratio<1, 10'000'000>>>(
            left)
               .count();
    if (timer.Get() != nullptr && due.QuadPart < 0
        && SetWaitableTimer(timer.Get(), &due, 0, nullptr, nullptr, FALSE)
        && WaitForSingleObject(timer.Get(), INFINITE) == WAIT_OBJECT_0)
        return;
    // No timer at all: whole milliseconds, rounded down; the clock does the rest.
    Sleep(static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(left).count()));
}

void HoldFineTimerResolution()
{
    if (ThisThreadsTimer().Precise())
        return;
    if (g_fineResolutionHolders.fetch_add(1) == 0)
        (void)timeBeginPeriod(1); // refused: the waits end on the clock, only later
}

void ReleaseFineTimerResolution()
{
    if (ThisThreadsTimer().Precise())
        return;
    if (g_fineResolutionHolders.fetch_sub(1) == 1)
        (void)timeEndPeriod(1); // the system keeps its own tick again
}

} // namespace kestrin
