#include "engine/Platform.h"

#include <atomic>
#include <chrono>
#include <sys/prctl.h>
#include <system_error>
#include <thread>

namespace kestrin {

void UseLeastTimerSlack()
{
    thread_local const bool precise = prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
    (void)precise; // without it the waits are only a little longer
}

void FinishWait(std::chrono::steady_clock::time_point end)
{
    while (std::chrono::steady_clock::now() < end) { }
}

void ThreadSleeper::Sleep(int ms)
{
    (void)WaitExactly(ms, [](std::chrono::steady_clock::time_point until) {
        std::this_thread::sleep_until(until);
        return true; // nothing cuts a plain sleep short
    });
}

// Where the spare waits for its job. Only the starter's thread hands jobs over.
struct ThreadStarter::Hand {
    enum : int { kNoSpare, kSpareWaits, kHanding, kGiven, kClosed };
    std::atomic<int> state { kNoSpare };
    std::function<void()> job; // written before kGiven, read by the spare after it
};

namespace {

void RunWorker(const std::shared_ptr<ThreadStarter::Hand>& hand, std::function<void()> job);

// Starts a thread that becomes the spare, unless one already is; false when none could start.
bool StartSpare(const std::shared_ptr<ThreadStarter::Hand>& hand)
{
    try {
        std::thread([hand] {
            using Hand = ThreadStarter::Hand;
            int expected = Hand::kNoSpare;
            if (!hand->state.compare_exchange_strong(expected, Hand::kSpareWaits))
                return; // another spare waits, or the starter is gone
            int now = Hand::kSpareWaits;
            while (now == Hand::kSpareWaits || now == Hand::kHanding) {
                hand->state.wait(now);
                now = hand->state.load();
            }
            if (now != Hand::kGiven)
                return;
            std::function<void()> job = std::move(hand->job);
            hand->state.store(Hand::kNoSpare);
            RunWorker(hand, std::move(job));
        }).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
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
    m_hand->state.store(Hand::kClosed);
    m_hand->state.notify_all();
}

bool ThreadStarter::Start(std::function<void()> job)
{
    int expected = Hand::kSpareWaits;
    if (m_hand->state.compare_exchange_strong(expected, Hand::kHanding)) {
        m_hand->job = std::move(job);
        m_hand->state.store(Hand::kGiven);
        m_hand->state.notify_one();
        return true;
    }
    try {
        std::thread([hand = m_hand, job = std::move(job)]() mutable {
            RunWorker(hand, std::move(job));
        }).detach();
        return true;
    } catch (const std::system_error&) {
        // Out of threads: the element stays silent, keying goes on.
        return false;
    }
}

} // namespace kestrin
