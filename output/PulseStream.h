#pragma once

#include "output/ToneMixer.h"

#include <memory>

namespace kestrin {

struct PulseStreamOptions {
    // What is kept written ahead of the sink: a machine stalled for less leaves no hole.
    int queueMs = 100;
    // The sink takes, and asks for more, in blocks this long; the shorter, the sooner a new voice
    // can start, and the more often the stream wakes (4 ms cost up to 1.1 % of a core idle).
    int requestMs = 6;
    // A voice starts this long after its call, by the sample clock that the requests keep: well
    // past what the sink may have taken, so that its rewrite lands before the sink gets there.
    int startDelayMs = 15;
};

// A PulseAudio playback stream (48 kHz, mono, float) that keeps a deep queue of the mixer's output
// written ahead of the sink and, the moment a voice is added, writes the queue again from the
// voice's start: the queue guards against holes without adding latency. The server takes the
// rewritten samples in place of the old ones (it rewinds the sink if it had taken them already).
// Opening fails fast and silently when no server answers; a server lost later stops the mixer, so
// the rest is silent. Everything runs on libpulse's own thread; VoiceAdded only pokes it.
class PulseStream {
public:
    // Connects and starts the stream; null when there is no server or it refuses the stream.
    static std::unique_ptr<PulseStream> Open(ToneMixer& mixer, const PulseStreamOptions& options);

    ~PulseStream();
    PulseStream(const PulseStream&) = delete;
    PulseStream& operator=(const PulseStream&) = delete;

    // Tells the stream that the mixer has a new voice. Thread-safe, never blocks.
    void VoiceAdded();

    // How many samples ahead of the sink nothing is changed any more: what the sink may take
    // before its next request arrives, and a little more.
    std::int64_t GuardSamples() const;

    struct Impl;

private:
    explicit PulseStream(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace kestrin
