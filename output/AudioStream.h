#pragma once

#include "output/OutputSchedule.h"
#include "output/ToneMixer.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace kestrin {

// A stream kept written far ahead of its sink, rewritten when a voice arrives.
struct WriteAheadOptions {
    // What is kept written ahead of the sink: a machine stalled for less leaves no hole.
    int queueMs = 100;
    // The sink takes, and asks for more, in blocks this long; the shorter, the sooner a new voice
    // can start, and the more often the stream wakes (4 ms cost up to 1.1 % of a core).
    int requestMs = 6;
    // A voice starts this long after its call, by the sample clock that the requests keep: well
    // past what the sink may have taken, so that its rewrite lands before the sink gets there.
    int startDelayMs = 15;
};

// How the tone generator meets the device. The defaults are the measured choice (BENCHMARKS.md);
// the benchmark tries others. What each platform makes of them is said where it opens its stream.
struct ToneDeviceOptions {
    // Write far ahead of the sink and rewrite the queue when a voice arrives, where the platform's
    // sound server allows it; off: a device that asks for each buffer just before it plays it
    // (on demand), as the comparison in the benchmark does.
    bool writeAhead = true;
    WriteAheadOptions pulse;
    // Frames per on-demand device buffer: the audio thread's period, 5.3 ms. Short, so that the
    // start delay and with it the latency can be short.
    int bufferFrames = 256;
    // What the sound server keeps queued for an on-demand device (0: the library's own choice, one
    // buffer). One buffer left holes of 2.5 to 60 ms in every run on a busy machine.
    int serverQueueMs = 20;
    // On demand, a voice starts this long after its call: a buffer, plus the few ms by which the
    // server's requests wander, so that a voice is almost never moved later.
    int startDelayMs = 10;
    // A server that has not answered an open in this long is given up on until the next try.
    int openTimeoutMs = 1000;
    // When the device closes after the last tone, and how it is tried again.
    OutputSchedule::Timing schedule;
};

// One running audio stream (48 kHz, mono, float) with the mixer that renders into it, on the
// platform's own audio thread. Destroying it stops the mixer, closes the stream and waits for that
// thread to let go of the mixer; it never waits on a sound server without a bound. Made by
// OpenAudioStream, which each platform defines in a file of its own.
class AudioStream {
public:
    virtual ~AudioStream() = default;
    AudioStream(const AudioStream&) = delete;
    AudioStream& operator=(const AudioStream&) = delete;

    ToneMixer& Mixer() { return *m_mixer; }
    // For callers that wait for their voice: the mixer outlives the stream, stopped.
    std::shared_ptr<ToneMixer> SharedMixer() const { return m_mixer; }

    // Whether Pause and Resume keep the stream at little cost; when not, the owner closes it
    // while idle.
    virtual bool CanPause() const = 0;
    // Pauses the stream (no requests, no wake-ups) and resumes it. The mixer's sample clock is
    // restarted before Resume returns, so that nothing is placed by the time before the pause.
    // Neither waits for the server.
    virtual void Pause() = 0;
    virtual void Resume() = 0;

    // Tells the stream that the mixer has a new voice. Thread-safe, never blocks.
    virtual void VoiceAdded() = 0;

    // True once the stream is lost: its device or server went away. The stream has then stopped
    // the mixer, and called the wake-up given to OpenAudioStream. Thread-safe.
    bool Lost() const { return m_lost.load(std::memory_order_acquire); }
    // How often Lost must be asked, for a stream that cannot tell of its loss by itself; zero
    // when it calls the wake-up.
    virtual std::chrono::milliseconds LostPollInterval() const { return {}; }
    // Looks whether such a stream is lost, and reports it so. Only on the owner's thread.
    virtual void PollLost() { }

protected:
    // wake: see OpenAudioStream.
    AudioStream(std::shared_ptr<ToneMixer> mixer, std::function<void()> wake)
        : m_mixer(std::move(mixer))
        , m_wake(std::move(wake))
    { }

    // For the audio thread: marks the stream lost, stops the mixer and wakes the owner. Takes no
    // lock and allocates nothing, so the wake-up must do neither.
    void ReportLost()
    {
        if (m_lost.exchange(true, std::memory_order_acq_rel))
            return;
        m_mixer->Stop();
        if (m_wake)
            m_wake();
    }

private:
    std::shared_ptr<ToneMixer> m_mixer;
    std::function<void()> m_wake;
    std::atomic<bool> m_lost { false };
};

// Opens the platform's stream and starts it; null when it cannot. Gives up at deadline, or soon
// after cancel turns true. wake is called, on the audio thread, when the stream is lost; it must
// neither lock nor allocate. Defined per platform.
std::unique_ptr<AudioStream> OpenAudioStream(const ToneDeviceOptions& options,
    std::chrono::steady_clock::time_point deadline, const std::atomic<bool>& cancel,
    std::function<void()> wake);

// What opens a stream: OpenAudioStream, or a test's own.
using AudioStreamOpener = std::function<std::unique_ptr<AudioStream>(const ToneDeviceOptions&,
    std::chrono::steady_clock::time_point, const std::atomic<bool>&, std::function<void()>)>;

// Settles what the platform's audio libraries read from the environment, once, while the caller
// runs alone (before other threads start). Defined per platform.
void PrepareAudioEnvironment(const ToneDeviceOptions& options);

} // namespace kestrin
