#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace kestrin {

// Blocks the calling thread for a number of milliseconds; tests pass a virtual clock.
class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void Sleep(int ms) = 0;
    // Told around each whole send, so that a sleeper can hold for that long what keeps its
    // waits exact.
    virtual void SendStarts() { }
    virtual void SendEnds() { }
    // The time on the clock that Sleep keeps.
    virtual std::chrono::steady_clock::time_point Now() { return std::chrono::steady_clock::now(); }
};

// Starts a detached worker running job. Returns false when no worker could be started; the caller
// never waits for the job and keeps no handle to it.
class WorkerStarter {
public:
    virtual ~WorkerStarter() = default;
    [[nodiscard]] virtual bool Start(std::function<void()> job) = 0;
};

// Sounds frequencyHz for durationMs as called at calledAt (its element's lamp lit then), blocking
// its caller until durationMs after that; fails silently. A caller that runs late still has its
// tone placed by calledAt, as far as the output can still place it.
using ToneFunction = std::function<void(
    int frequencyHz, int durationMs, std::chrono::steady_clock::time_point calledAt)>;

// What keying needs of the machine besides the window.
struct KeyerServices {
    Sleeper& sleeper;
    WorkerStarter& workers;
    ToneFunction tone;
    // Told before a send's first wait, so that the tone output can be running by its first tone.
    std::function<void()> sendStarting {};
};

// What each platform does (engine/<platform>/):

// Asks the system to wake the calling thread's timed waits as close to their end as it can: by
// default Linux may wake them up to 50 us late, and on air every gap would carry it. Once per
// thread.
void UseLeastTimerSlack();

// Sleeps the calling thread until `until`, or a little after: with the least slack on Linux, on
// a high-resolution waitable timer on Windows.
void SleepUntil(std::chrono::steady_clock::time_point until);

// Runs job on a new thread at normal priority with the default stack size, which frees itself
// when the job ends; false when no thread could be started. A std::thread on Linux; a native
// thread on Windows, where MinGW's detached std::threads sometimes never ran their job under Wine.
[[nodiscard]] bool StartDetachedThread(std::function<void()> job);

// Where the system's timer only ticks every few milliseconds (Windows before 10 1803 refuses a
// high-resolution timer), raises its resolution between these two calls; nothing elsewhere.
void HoldFineTimerResolution();
void ReleaseFineTimerResolution();

// Even so a sleeping thread wakes after its time (Linux some 50 us; a Windows timer, under Wine
// at least, 0.3 ms at the median and more than 1 ms one wait in twenty), and every gap on air
// would carry that: a real wait sleeps until this much before its end and spends the rest on the
// clock. Per platform.
extern const std::chrono::microseconds kWakeMargin;

// Spends the time left until `end` on the clock.
void FinishWait(std::chrono::steady_clock::time_point end);

// Waits ms as exactly as the machine allows, with the least timer slack: sleepUntil(t) sleeps
// until t and returns false when something cut it short, which ends the wait at once. Returns
// whether the wait ran its whole length. What every real sleeper does.
template <typename SleepUntil> bool WaitExactly(int ms, SleepUntil sleepUntil)
{
    UseLeastTimerSlack();
    if (ms <= 0)
        return true;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    if (!sleepUntil(end - kWakeMargin))
        return false;
    FinishWait(end);
    return true;
}

// The real ones: WaitExactly over a plain sleep, and detached std::threads.
class ThreadSleeper final : public Sleeper {
public:
    void Sleep(int ms) override;
    void SendStarts() override { HoldFineTimerResolution(); }
    void SendEnds() override { ReleaseFineTimerResolution(); }
};

// Runs each job on a detached thread of its own. Creating a thread costs its creator a tenth of
// a millisecond or more, which would land on air between two waits; so after the first job one
// thread stays started and waiting, Start hands it the job and returns, and that thread starts
// the next spare before it runs the job. Start creates a thread itself only when no spare waits.
class ThreadStarter final : public WorkerStarter {
public:
    ThreadStarter();
    ~ThreadStarter() override; // the waiting spare ends
    ThreadStarter(const ThreadStarter&) = delete;
    ThreadStarter& operator=(const ThreadStarter&) = delete;
    [[nodiscard]] bool Start(std::function<void()> job) override;

    struct Hand; // where the spare waits; shared with it

private:
    std::shared_ptr<Hand> m_hand;
};

} // namespace kestrin
