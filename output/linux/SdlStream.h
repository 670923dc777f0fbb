#pragma once

#include "output/AudioStream.h"

#include <memory>

namespace kestrin {

// SDL2's audio subsystem, whose thread asks the mixer for each buffer just before it plays it:
// the fallback where no PulseAudio server answers. The subsystem runs only while the stream is
// open, since it keeps a thread that looks for new devices every second. SDL tells of a lost
// device only through its status, so the owner asks. Nothing is printed: ALSA's messages are
// silenced and SDL installs no signal handler.
class SdlStream final : public AudioStream {
public:
    // Null when SDL has no device to open.
    static std::unique_ptr<SdlStream> Open(
        const ToneDeviceOptions& options, std::function<void()> wake);
    ~SdlStream() override;

    // Closing and opening SDL's device is cheap and leaves no thread behind.
    bool CanPause() const override { return false; }
    void Pause() override { }
    void Resume() override { }
    void VoiceAdded() override { } // the next buffer takes it
    std::chrono::milliseconds LostPollInterval() const override;
    void PollLost() override;

private:
    SdlStream(const ToneDeviceOptions& options, std::function<void()> wake);
    std::uint32_t m_device = 0;
};

} // namespace kestrin
