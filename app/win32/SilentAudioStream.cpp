#include "output/AudioStream.h"

// Until the Windows tone output is in: no stream, so the program keys its lamp in silence.
namespace kestrin {

std::unique_ptr<AudioStream> OpenAudioStream(const ToneDeviceOptions&,
    std::chrono::steady_clock::time_point, const std::atomic<bool>&, std::function<void()>)
{
    return nullptr;
}

void PrepareAudioEnvironment(const ToneDeviceOptions&) { }

} // namespace kestrin
