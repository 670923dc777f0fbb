#include "output/WordWait.h"

#include <climits>
#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kestrin {

static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t)
        && std::atomic<std::uint32_t>::is_always_lock_free,
    "the word doubles as a futex word");

void WaitOnWord(
    std::atomic<std::uint32_t>& word, std::uint32_t expected, std::chrono::nanoseconds timeout)
{
    constexpr std::int64_t kNsPerSecond = 1'000'000'000;
    timespec ts {};
    ts.tv_sec = static_cast<time_t>(timeout.count() / kNsPerSecond);
    ts.tv_nsec = static_cast<long>(timeout.count() % kNsPerSecond);
    (void)syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAIT_PRIVATE, expected,
        &ts, nullptr, 0); // a timeout, a signal or a changed word: all re-checked
}

void WakeAllOnWord(std::atomic<std::uint32_t>& word)
{
    (void)syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAKE_PRIVATE, INT_MAX,
        nullptr, nullptr, 0); // nobody left to wake is fine
}

} // namespace kestrin
