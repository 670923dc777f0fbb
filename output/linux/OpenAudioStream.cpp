// Linux: a libpulse stream written ahead where a PulseAudio server (or one that speaks its
// protocol, such as PipeWire's) answers, SDL2 where none does.

#include "output/AudioStream.h"
#include "output/linux/PulseStream.h"
#include "output/linux/SdlStream.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace kestrin {

namespace {

constexpr const char* kPulseQueueVariable = "PULSE_LATENCY_MSEC";

// SDL_AUDIODRIVER names the driver the user wants; only PulseAudio's lets the stream in.
bool PulseWanted()
{
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    return driver == nullptr || *driver == '\0' || std::strcmp(driver, "pulseaudio") == 0
        || std::strcmp(driver, "pulse") == 0;
}

} // namespace

std::unique_ptr<AudioStream> OpenAudioStream(const ToneDeviceOptions& options,
    std::chrono::steady_clock::time_point deadline, const std::atomic<bool>& cancel,
    std::function<void()> wake)
{
    if (options.writeAhead && PulseWanted()) {
        PulseStream::Opened opened = PulseStream::Open(options.pulse, deadline, cancel, wake);
        if (opened.stream != nullptr)
            return std::move(opened.stream);
        // Tried again on the back-off: a device may appear, or the server answer.
        if (opened.failure == PulseStream::Failure::ServerThere)
            return nullptr;
    }
    if (cancel.load())
        return nullptr;
    return SdlStream::Open(options, std::move(wake));
}

void PrepareAudioEnvironment(const ToneDeviceOptions& options)
{
    // SDL asks PulseAudio for one buffer of queue; libpulse reads this variable when the stream
    // connects and takes it as the queue to keep. The user's own setting wins.
    if (!options.writeAhead && options.serverQueueMs > 0)
        setenv(kPulseQueueVariable, std::to_string(options.serverQueueMs).c_str(), 0);
}

} // namespace kestrin
