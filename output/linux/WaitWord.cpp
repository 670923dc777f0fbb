#include "output/WaitWord.h"

#include <climits>
#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kestrin {

namespace {

constexpr std::int64_t kNsPerSecond = 1'000'000'000;

static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t)
        && std::atomic<std::uint32_t>::is_always_lock_free,
    "a word waited on is a futex");

} // namespace

void WaitWord(
    std::atomic<std::uint32_t>& word, std::uint32_t expected, std::chrono::nanoseconds timeout)
{
    if (timeout.count() <= 0)
        return;
    timespec ts {};
    ts.tv_sec = static_cast<time_t>(timeout.count() / kNsPerSecond);
    ts.tv_nsec = static_cast<long>(timeout.count() % kNsPerSecond);
    (void)syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAIT_PRIVATE, expected,
        &ts, nullptr, 0); // a timeout, a signal or a changed word: all re-checked by the caller
}

void WakeWord(std::atomic<std::uint32_t>& word)
{
    (void)syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAKE_PRIVATE, INT_MAX,
        nullptr, nullptr, 0); // nobody left to wake is fine
}

} // namespace kestrin
