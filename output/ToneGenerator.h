#pragma once

#include "output/AudioStream.h"

#include <functional>
#include <memory>

namespace kestrin {

// The machine's tone generator: one audio stream (48 kHz, mono, float), the platform's
// AudioStream, with a ToneMixer rendering into it. The stream runs only while sound is wanted: it
// opens in the background when a send starts (Prepare) or a tone is asked for, and closes a few
// seconds after the last tone, so that an idle program has no stream and no wake-ups. A server lost
// while open, or not there, is tried again in the background with a bounded back-off while sound is
// wanted. Sound blocks its caller while its tone plays and fails silently; no call waits on the
// server without a bound. Nothing is printed and no signal handler is installed.
class ToneGenerator {
public:
    // How much longer than its tone a call may be held by a device that has stopped, or by an
    // open in progress.
    static constexpr int kStallBoundMs = 100;
    // How long Close waits for the device to close; a device stuck in its library is left behind.
    static constexpr int kCloseBoundMs = 500;

    using Clock = std::chrono::steady_clock;

    ToneGenerator();
    // opener: how the stream is opened; OpenAudioStream when empty (tests pass their own).
    explicit ToneGenerator(const ToneDeviceOptions& options, AudioStreamOpener opener = {});
    ~ToneGenerator();
    ToneGenerator(const ToneGenerator&) = delete;
    ToneGenerator& operator=(const ToneGenerator&) = delete;

    // Starts the thread that opens and closes the device, and opens it, and returns at once; only
    // the first call does anything. Until the device runs, calls are silent and return at once.
    // Call it before other threads start: it may set the sound server's queue length in the
    // environment.
    void OpenAsync();

    // Tells the output that a send starts, so that the device is running by the first tone.
    // Never blocks.
    void Prepare();

    // Blocks until the open in progress or about to start is over; true when the device runs.
    // False at once when OpenAsync was never called or after Close.
    bool WaitUntilOpen();

    // Stops the device; calls still sounding return, later ones are silent. Waits at most
    // kCloseBoundMs. Idempotent; the destructor calls it.
    void Close();

    // Sounds frequencyHz for durationMs, starting a fixed delay after calledAt (now by default)
    // by the stream's clock, or as soon after as can still be written; returns once the tone has
    // been handed to the device and not before durationMs after calledAt. Thread-safe. Silent for
    // a frequency that cannot be rendered, 0 or less, or 24000 Hz and above.
    void Sound(int frequencyHz, int durationMs);
    void Sound(int frequencyHz, int durationMs, Clock::time_point calledAt);

    // A function calling Sound that stays safe, and silent, after this generator is gone:
    // detached workers may still call it while the program exits.
    std::function<void(int frequencyHz, int durationMs, Clock::time_point calledAt)>
    AsToneFunction();
    // Likewise for Prepare.
    std::function<void()> AsPrepareFunction();

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace kestrin
