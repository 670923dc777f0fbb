#include "output/linux/SdlStream.h"

#include <SDL.h>
#include <alsa/asoundlib.h>

namespace kestrin {

namespace {

// ALSA reports a machine without sound on stderr by default; failures here are silent.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) { }

void Callback(void* mixer, Uint8* stream, int bytes)
{
    const auto now = ToneMixer::Clock::now();
    static_cast<ToneMixer*>(mixer)->Render(
        reinterpret_cast<float*>(stream), bytes / static_cast<int>(sizeof(float)), now);
}

} // namespace

SdlStream::SdlStream(const ToneDeviceOptions& options, std::function<void()> wake)
    : AudioStream(std::make_shared<ToneMixer>(ToneMixer::Mode::OnDemand, options.startDelayMs),
        std::move(wake))
{ }

std::unique_ptr<SdlStream> SdlStream::Open(
    const ToneDeviceOptions& options, std::function<void()> wake)
{
    std::unique_ptr<SdlStream> stream(new SdlStream(options, std::move(wake)));
    snd_lib_error_set_handler(&IgnoreAlsaError);
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        SDL_TLSCleanup(); // SDL keeps an error text per thread that sets one
        return nullptr;
    }
    SDL_AudioSpec want {};
    want.freq = kToneSampleRate;
    want.format = AUDIO_F32SYS;
    want.channels = 1;
    want.samples = static_cast<Uint16>(options.bufferFrames);
    want.callback = &Callback;
    want.userdata = &stream->Mixer();
    SDL_AudioSpec have {};
    // No changes allowed: SDL converts for a device that differs, so the mixer always renders
    // 48 kHz mono float in buffers of the size asked for.
    stream->m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (stream->m_device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        SDL_TLSCleanup();
        return nullptr;
    }
    SDL_PauseAudioDevice(stream->m_device, 0);
    return stream;
}

SdlStream::~SdlStream()
{
    if (m_device == 0)
        return;
    Mixer().Stop();
    SDL_CloseAudioDevice(m_device); // waits for the audio thread, which only renders
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    SDL_TLSCleanup();
}

std::chrono::milliseconds SdlStream::LostPollInterval() const
{
    return std::chrono::milliseconds(250);
}

void SdlStream::PollLost()
{
    if (SDL_GetAudioDeviceStatus(m_device) == SDL_AUDIO_STOPPED)
        ReportLost();
}

} // namespace kestrin
