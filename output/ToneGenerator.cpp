#include "output/ToneGenerator.h"

#include "output/ToneMixer.h"

#include <SDL.h>
#include <alsa/asoundlib.h>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace kestrin {

namespace {

// ALSA reports a machine without sound on stderr by default; failures here are silent.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) { }

constexpr const char* kPulseQueueVariable = "PULSE_LATENCY_MSEC";

} // namespace

struct ToneGenerator::State {
    enum class Phase { Idle, Opening, Running, Failed, Closed };

    explicit State(const ToneDeviceOptions& options)
        : options(options)
        , mixer(options.startDelayMs)
    { }

    static void Callback(void* userdata, Uint8* stream, int bytes)
    {
        const auto now = ToneMixer::Clock::now();
        static_cast<State*>(userdata)->mixer.Render(
            reinterpret_cast<float*>(stream), bytes / static_cast<int>(sizeof(float)), now);
    }

    // SDL_AUDIODRIVER names the driver the user wants; only PulseAudio's lets the stream in.
    static bool PulseWanted()
    {
        const char* driver = std::getenv("SDL_AUDIODRIVER");
        return driver == nullptr || *driver == '\0' || std::strcmp(driver, "pulseaudio") == 0
            || std::strcmp(driver, "pulse") == 0;
    }

    // Runs on the opener thread; Close joins it before touching the device.
    void Open()
    {
        if (options.writeAhead && PulseWanted()) {
            // No caller reaches the mixer before the phase says it runs.
            mixer.SetStartDelay(options.pulse.startDelayMs);
            std::shared_ptr<PulseStream> opened = PulseStream::Open(mixer, options.pulse);
            if (opened != nullptr) {
                {
                    std::lock_guard lock(mutex);
                    pulse = std::move(opened);
                    phase = Phase::Running;
                }
                phaseChanged.notify_all();
                return;
            }
            mixer.SetStartDelay(options.startDelayMs);
        }
        snd_lib_error_set_handler(&IgnoreAlsaError);
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        SDL_AudioDeviceID opened = 0;
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
            SDL_AudioSpec want {};
            want.freq = kToneSampleRate;
            want.format = AUDIO_F32SYS;
            want.channels = 1;
            want.samples = static_cast<Uint16>(options.bufferFrames);
            want.callback = &State::Callback;
            want.userdata = this;
            SDL_AudioSpec have {};
            // No changes allowed: SDL converts for a device that differs, so the mixer always
            // renders 48 kHz mono float in buffers of the size asked for.
            opened = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
            if (opened == 0)
                SDL_QuitSubSystem(SDL_INIT_AUDIO);
            else
                SDL_PauseAudioDevice(opened, 0);
        }
        // SDL keeps an error text per thread that sets one; this thread ends here.
        SDL_TLSCleanup();
        {
            std::lock_guard lock(mutex);
            device = opened;
            phase = opened != 0 ? Phase::Running : Phase::Failed;
        }
        phaseChanged.notify_all();
    }

    void Close()
    {
        SDL_AudioDeviceID toClose = 0;
        std::shared_ptr<PulseStream> streamToClose;
        {
            std::lock_guard lock(mutex);
            if (phase == Phase::Closed)
                return;
            toClose = device;
            device = 0;
            streamToClose = std::move(pulse);
            phase = Phase::Closed;
        }
        phaseChanged.notify_all();
        // Release the callers first: closing waits for the audio thread, which only renders.
        mixer.Stop();
        // A caller still poking the stream holds it; the last one closes it.
        streamToClose.reset();
        if (toClose != 0) {
            SDL_CloseAudioDevice(toClose);
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        }
    }

    void Sound(int frequencyHz, int durationMs)
    {
        const auto callTime = ToneMixer::Clock::now();
        std::shared_ptr<PulseStream> stream;
        {
            std::lock_guard lock(mutex);
            if (phase != Phase::Running)
                return;
            stream = pulse;
        }
        const ToneMixer::Voice voice = mixer.AddAfterDelay(frequencyHz, durationMs, callTime);
        if (voice.Empty())
            return;
        if (stream != nullptr)
            stream->VoiceAdded();
        const auto toneEnd = callTime + std::chrono::milliseconds(durationMs);
        // A device that stopped calling back, or a Close, gives the tone up: return early then.
        if (!mixer.WaitRendered(voice, toneEnd + std::chrono::milliseconds(kStallBoundMs)))
            return;
        // Rendered is not played: the caller is held for the tone's length, like a beep.
        std::this_thread::sleep_until(toneEnd);
    }

    const ToneDeviceOptions options;
    ToneMixer mixer;
    std::mutex mutex;
    std::condition_variable phaseChanged;
    Phase phase = Phase::Idle;
    SDL_AudioDeviceID device = 0;
    std::shared_ptr<PulseStream> pulse;
};

ToneGenerator::ToneGenerator()
    : ToneGenerator(ToneDeviceOptions {})
{ }

ToneGenerator::ToneGenerator(const ToneDeviceOptions& options)
    : m_state(std::make_shared<State>(options))
{ }

ToneGenerator::~ToneGenerator()
{
    Close();
}

void ToneGenerator::OpenAsync()
{
    {
        std::lock_guard lock(m_state->mutex);
        if (m_state->phase != State::Phase::Idle)
            return;
        m_state->phase = State::Phase::Opening;
    }
    // SDL asks PulseAudio for one buffer of queue; libpulse reads this variable when the stream
    // connects and takes it as the queue to keep. Set here, before the opener thread starts and
    // while the caller (start-up code) runs alone, because changing the environment while other
    // threads read it is unsafe. The user's own setting wins.
    if (!m_state->options.writeAhead && m_state->options.serverQueueMs > 0)
        setenv(kPulseQueueVariable, std::to_string(m_state->options.serverQueueMs).c_str(), 0);
    try {
        m_opener = std::thread([state = m_state] { state->Open(); });
    } catch (const std::system_error&) {
        // No thread, no device: every tone is silent.
        std::lock_guard lock(m_state->mutex);
        m_state->phase = State::Phase::Failed;
    }
}

bool ToneGenerator::WaitUntilOpen()
{
    std::unique_lock lock(m_state->mutex);
    m_state->phaseChanged.wait(lock, [&] { return m_state->phase != State::Phase::Opening; });
    return m_state->phase == State::Phase::Running;
}

void ToneGenerator::Close()
{
    if (m_opener.joinable())
        m_opener.join();
    m_state->Close();
}

void ToneGenerator::Sound(int frequencyHz, int durationMs)
{
    m_state->Sound(frequencyHz, durationMs);
}

std::function<void(int, int)> ToneGenerator::AsToneFunction()
{
    return [state = m_state](
               int frequencyHz, int durationMs) { state->Sound(frequencyHz, durationMs); };
}

} // namespace kestrin
