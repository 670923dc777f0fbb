#pragma once

#include "output/ToneMixer.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace kestrin {

struct PulseStreamOptions {
    // What is kept written ahead of the sink: a machine stalled for less leaves no hole.
    int queueMs = 100;
    // The sink takes, and asks for more, in blocks this long; the shorter, the sooner a new voice
    // can start, and the more often the stream wakes (4 ms cost up to 1.1 % of a core).
    int requestMs = 6;
    // A voice starts this long after its call, by the sample clock that the requests keep: well
    // past what the sink may have taken, so that its rewrite lands before the sink gets there.
    int startDelayMs = 15;
};

// A PulseAudio playback stream (48 kHz, mono, float) that keeps a deep queue of the mixer's output
// written ahead of the sink and, the moment a voice is added, writes the queue again from the
// voice's start: the queue guards against holes without adding latency. The server takes the
// rewritten samples in place of the old ones (it rewinds the sink if it had taken them already).
// The mixer must render written ahead. Nothing here waits on the server without a bound: opening
// gives up at its deadline, and writing and closing never wait for an answer. A server lost later
// stops the mixer and calls onLost; reconnecting is the owner's business. The owner pauses it
// while idle. Everything runs on
// libpulse's own thread; VoiceAdded only pokes it.
class PulseStream {
public:
    enum class Failure {
        NoServer, // nothing answers, or the server refused the stream: another library may try
        NoAnswer, // a server is there but did not answer in time, or the open was cancelled
    };

    struct Opened {
        std::unique_ptr<PulseStream> stream; // null on failure
        Failure failure = Failure::NoServer;
    };

    // Connects and starts the stream. Gives up at deadline, or soon after cancel turns true.
    static Opened Open(ToneMixer& mixer, const PulseStreamOptions& options,
        std::chrono::steady_clock::time_point deadline, const std::atomic<bool>& cancel,
        std::function<void()> onLost);

    ~PulseStream();
    PulseStream(const PulseStream&) = delete;
    PulseStream& operator=(const PulseStream&) = delete;

    // Tells the stream that the mixer has a new voice. Thread-safe, never blocks.
    void VoiceAdded();

    // Pauses the stream (corked: no requests, no wake-ups) and resumes it, keeping the connection,
    // so that resuming costs one message to the server. What is queued stays; the sample clock
    // starts afresh on resuming. Neither waits for the server.
    void Pause();
    void Resume();

    struct Impl;

private:
    explicit PulseStream(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace kestrin
