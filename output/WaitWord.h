#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace kestrin {

// Waiting on a word without a lock, so that the audio thread can wake a waiter: the waiter reads
// the word, checks what it waits for, and sleeps only while the word still holds what it read;
// whoever changes what it waits for changes the word and wakes it. Defined per platform.

// Sleeps while word holds expected, at most for timeout; may wake early, without harm.
void WaitWord(
    std::atomic<std::uint32_t>& word, std::uint32_t expected, std::chrono::nanoseconds timeout);

// Wakes every thread in WaitWord on word. Takes no lock and allocates nothing.
void WakeWord(std::atomic<std::uint32_t>& word);

} // namespace kestrin
