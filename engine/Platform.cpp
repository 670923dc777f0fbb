#include "engine/Platform.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace kestrin {

void FinishWait(std::chrono::steady_clock::time_point end)
{
    while (std::chrono::steady_clock::now() < end) { }
}

void ThreadSleeper::Sleep(int ms)
{
    (void)WaitExactly(ms, [](std::chrono::steady_clock::time_point until) {
        SleepUntil(until);
        return true; // nothing cuts a plain sleep short
    });
}

// Where the spare waits for its job. Only the starter's thread hands jobs over.
struct ThreadStarter::Hand {
    std::mutex mutex;
    std::condition_variable given; // only the spare waits on it
    bool spareWaits = false;
    bool closed = false;
    std::optional<std::function<void()>> job; // handed to the waiting spare
};

namespace {

void RunWorker(const std::shared_ptr<ThreadStarter::Hand>& hand, std::function<void()> job);

// Starts a thread that becomes the spare, unless one already is; false when none could start.
bool StartSpare(const std::shared_ptr<ThreadStarter::Hand>& hand)
{
    return StartDetachedThread([hand] {
        std::unique_lock lock(hand->mutex);
        if (hand->spareWaits || hand->closed)
            return; // another spare waits, or the starter is gone
        hand->spareWaits = true;
        hand->given.wait(lock, [&] { return hand->job.has_value() || hand->closed; });
        if (!hand->job)
            return;
        std::function<void()> job = std::move(*hand->job);
        hand->job.reset();
        hand->spareWaits = false;
        lock.unlock();
        RunWorker(hand, std::move(job));
    });
}

void RunWorker(const std::shared_ptr<ThreadStarter::Hand>& hand, std::function<void()> job)
{
    (void)StartSpare(hand); // without a spare the next Start creates its thread itself
    job();
}

} // namespace

ThreadStarter::ThreadStarter()
    : m_hand(std::make_shared<Hand>())
{ }

ThreadStarter::~ThreadStarter()
{
    {
        std::lock_guard lock(m_hand->mutex);
        m_hand->closed = true;
    }
    m_hand->given.notify_all();
}

bool ThreadStarter::Start(std::function<void()> job)
{
    {
        std::unique_lock lock(m_hand->mutex);
        if (m_hand->spareWaits && !m_hand->job) {
            m_hand->job = std::move(job);
            lock.unlock();
            m_hand->given.notify_one();
            return true;
        }
    }
    // Out of threads: the element stays silent, keying goes on.
    return StartDetachedThread(
        [hand = m_hand, job = std::move(job)]() mutable { RunWorker(hand, std::move(job)); });
}

} // namespace kestrin
