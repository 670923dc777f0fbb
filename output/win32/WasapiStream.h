#pragma once

#include "output/AudioStream.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace kestrin {

// A WASAPI shared-mode, event-driven render stream on the default output device. Its own thread
// (under MMCSS, "Pro Audio") owns every COM object: it opens the device, and on each of the
// device's events renders the mixer on demand, 48 kHz mono float, and writes it in the device's
// mix format (the same sample in every channel; a device at another rate converts). WASAPI cannot
// take back what it was given, so a voice starts one device period plus a margin after its call.
// Pause and Resume stop and restart the client, keeping it open. A device that goes away (its
// calls fail, or it takes nothing for seconds), or a change of the default device, is a lost
// stream; reopening is the owner's business.
class WasapiStream final : public AudioStream {
public:
    // What the device granted; the start delay follows from its period.
    struct DeviceInfo {
        int periodFrames = 0; // between two of the device's events, at 48 kHz
        int bufferFrames = 0; // the most the device holds, at 48 kHz
        int channels = 0; // of the mix format
        int mixRate = 0; // the device's own rate
        bool smallPeriod = false; // IAudioClient3 gave a period below the default
        int startDelayMs = 0;
    };

    // Opens and starts the stream; null when there is no output device or it cannot be opened.
    // Gives up at deadline, or soon after cancel turns true.
    static std::unique_ptr<WasapiStream> Open(const ToneDeviceOptions& options,
        std::chrono::steady_clock::time_point deadline, const std::atomic<bool>& cancel,
        std::function<void()> wake);

    ~WasapiStream() override;

    // Stopping the client costs nothing while idle and starting it again is one call.
    bool CanPause() const override { return true; }
    void Pause() override;
    void Resume() override;
    void VoiceAdded() override { } // the next event takes it

    const DeviceInfo& Device() const;

    // The default output device changed: the stream follows it by being lost, so that the owner
    // opens the new one. What the system's notification calls; tests call it too. Never blocks.
    void DefaultDeviceChanged();

    struct Shared;

private:
    WasapiStream(std::shared_ptr<ToneMixer> mixer, std::function<void()> wake,
        std::shared_ptr<Shared> shared, void* thread);
    // For the render thread.
    void Lose() { ReportLost(); }

    std::shared_ptr<Shared> m_shared;
    void* m_thread;
};

} // namespace kestrin
