// Windows: a WASAPI shared-mode stream on the default output device.

#include "output/AudioStream.h"
#include "output/win32/WasapiStream.h"

namespace kestrin {

std::unique_ptr<AudioStream> OpenAudioStream(const ToneDeviceOptions& options,
    std::chrono::steady_clock::time_point deadline, const std::atomic<bool>& cancel,
    std::function<void()> wake)
{
    return WasapiStream::Open(options, deadline, cancel, std::move(wake));
}

// WASAPI reads nothing from the environment.
void PrepareAudioEnvironment(const ToneDeviceOptions&) { }

} // namespace kestrin
