#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace kestrin {

// A wait on one 32-bit word with a timeout, which std::atomic's own wait lacks: a futex on Linux,
// WaitOnAddress on Windows (output/<platform>/WordWait.cpp). Waking never takes a lock, so the
// audio thread may wake waiters.

// Sleeps while word still holds expected, at most for timeout; may wake early without cause, so
// the caller checks again.
void WaitOnWord(
    std::atomic<std::uint32_t>& word, std::uint32_t expected, std::chrono::nanoseconds timeout);

// Wakes every thread waiting on word.
void WakeAllOnWord(std::atomic<std::uint32_t>& word);

} // namespace kestrin
