#pragma once

#include "output/AudioStream.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace kestrin {

// A PulseAudio playback stream (48 kHz, mono, float) that keeps a deep queue of the mixer's output
// written ahead of the sink and, the moment a voice is added, writes the queue again from the
// voice's start: the queue guards against holes without adding latency. The server takes the
// rewritten samples in place of the old ones (it rewinds the sink if it had taken them already).
// Its mixer renders written ahead. Nothing here waits on the server without a bound: opening
// gives up at its deadline, and writing and closing never wait for an answer. A server lost later
// is reported as a lost stream; reconnecting is the owner's business. The owner pauses it while
// idle. Everything runs on libpulse's own thread; VoiceAdded only pokes it.
class PulseStream final : public AudioStream {
public:
    enum class Failure {
        NoServer, // nothing answers: another library may try
        // A server is there: it did not answer in time, the open was cancelled, or it refused
        // the stream (it has no output device, for one). No other library may try it: SDL's
        // PulseAudio driver would wait on it without a bound, or crash on a missing sink.
        ServerThere,
    };

    struct Opened {
        std::unique_ptr<PulseStream> stream; // null on failure
        Failure failure = Failure::NoServer;
    };

    // Connects and starts the stream. Gives up at deadline, or soon after cancel turns true. wake:
    // as for OpenAudioStream.
    static Opened Open(const WriteAheadOptions& options,
        std::chrono::steady_clock::time_point deadline, const std::atomic<bool>& cancel,
        std::function<void()> wake);

    ~PulseStream() override;

    void VoiceAdded() override;

    // Corked: no requests, no wake-ups; the connection is kept, so that resuming costs one message
    // to the server. What is queued stays.
    bool CanPause() const override { return true; }
    void Pause() override;
    void Resume() override;

    struct Impl;

private:
    PulseStream(const WriteAheadOptions& options, std::function<void()> wake);
    std::unique_ptr<Impl> m_impl;
};

} // namespace kestrin
