#pragma once

#include "output/OutputSchedule.h"
#include "output/PulseStream.h"

#include <functional>
#include <memory>

namespace kestrin {

// How the tone generator meets the device. The defaults are the measured choice (BENCHMARKS.md);
// the benchmark tries others.
struct ToneDeviceOptions {
    // With a PulseAudio server (or one that speaks its protocol, such as PipeWire's), write far
    // ahead of the sink and rewrite the queue when a voice arrives, through libpulse; SDL only when
    // there is no server or SDL_AUDIODRIVER asks for another driver. Off: SDL alone, as the
    // comparison in the benchmark does.
    bool writeAhead = true;
    PulseStreamOptions pulse;
    // Frames per SDL device buffer: the audio thread's period, 5.3 ms. Short, so that the start
    // delay and with it the latency can be short.
    int bufferFrames = 256;
    // What PulseAudio keeps queued for SDL (0: SDL's own choice, one buffer), when SDL plays
    // through it. One buffer left holes of 2.5 to 60 ms in every run on a busy machine.
    int serverQueueMs = 20;
    // Through SDL, a voice starts this long after its call: a buffer, plus the few ms by which
    // the server's requests wander, so that a voice is almost never moved later.
    int startDelayMs = 10;
    // A server that has not answered an open in this long is given up on until the next try.
    int openTimeoutMs = 1000;
    // When the device closes after the last tone, and how it is tried again.
    OutputSchedule::Timing schedule;
};

// The machine's tone generator: one audio stream (48 kHz, mono, float), through libpulse or SDL2,
// with a ToneMixer rendering into it. The stream runs only while sound is wanted: it opens in the
// background when a send starts (Prepare) or a tone is asked for, and closes a few seconds after
// the last tone, so that an idle program has no stream and no wake-ups. A server lost while open,
// or not there, is tried again in the background with a bounded back-off while sound is wanted.
// Sound blocks its caller while its tone plays and fails silently; no call waits on the server
// without a bound. Nothing is printed and no signal handler is installed.
class ToneGenerator {
public:
    // How much longer than its tone a call may be held by a device that has stopped, or by an
    // open in progress.
    static constexpr int kStallBoundMs = 100;
    // How long Close waits for the device to close; a device stuck in its library is left behind.
    static constexpr int kCloseBoundMs = 500;

    ToneGenerator();
    explicit ToneGenerator(const ToneDeviceOptions& options);
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

    // Sounds frequencyHz for durationMs, starting a fixed delay from now; returns once the tone
    // has been handed to the device and not before durationMs have passed. Thread-safe. Silent
    // for a frequency that cannot be rendered, 0 or less, or 24000 Hz and above.
    void Sound(int frequencyHz, int durationMs);

    // A function calling Sound that stays safe, and silent, after this generator is gone:
    // detached workers may still call it while the program exits.
    std::function<void(int frequencyHz, int durationMs)> AsToneFunction();
    // Likewise for Prepare.
    std::function<void()> AsPrepareFunction();

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace kestrin
