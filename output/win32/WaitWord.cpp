#include "output/WaitWord.h"

#include <windows.h>

#include <algorithm>

namespace kestrin {

static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t)
        && std::atomic<std::uint32_t>::is_always_lock_free,
    "the word is waited on by its address");

void WaitWord(
    std::atomic<std::uint32_t>& word, std::uint32_t expected, std::chrono::nanoseconds timeout)
{
    if (timeout.count() <= 0)
        return;
    // Whole milliseconds, rounded up, so that a short timeout does not become a busy loop.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(timeout).count();
    (void)WaitOnAddress(reinterpret_cast<volatile VOID*>(&word), &expected, sizeof expected,
        static_cast<DWORD>(std::max<std::int64_t>(ms, 0))); // re-checked by the caller
}

void WakeWord(std::atomic<std::uint32_t>& word)
{
    WakeByAddressAll(reinterpret_cast<PVOID>(&word));
}

} // namespace kestrin
