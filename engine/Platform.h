#pragma once

#include <functional>

namespace kestrin {

// Blocks the calling thread for a number of milliseconds; tests pass a virtual clock.
class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void Sleep(int ms) = 0;
};

// Starts a detached worker running job. Returns false when no worker could be started; the caller
// never waits for the job and keeps no handle to it.
class WorkerStarter {
public:
    virtual ~WorkerStarter() = default;
    [[nodiscard]] virtual bool Start(std::function<void()> job) = 0;
};

// Sounds frequencyHz for durationMs, blocking its caller for that long; fails silently.
using ToneFunction = std::function<void(int frequencyHz, int durationMs)>;

// What keying needs of the machine besides the window.
struct KeyerServices {
    Sleeper& sleeper;
    WorkerStarter& workers;
    ToneFunction tone;
};

// The real ones: std::this_thread::sleep_for, with the least timer slack the kernel allows on the
// sleeping thread, and detached std::threads.
class ThreadSleeper final : public Sleeper {
public:
    void Sleep(int ms) override;
};

class ThreadStarter final : public WorkerStarter {
public:
    [[nodiscard]] bool Start(std::function<void()> job) override;
};

} // namespace kestrin
