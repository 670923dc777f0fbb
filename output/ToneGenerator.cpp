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
#include <thread>

namespace kestrin {

namespace {

using Clock = ToneMixer::Clock;

// ALSA reports a machine without sound on stderr by default; failures here are silent.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) { }

constexpr const char* kPulseQueueVariable = "PULSE_LATENCY_MSEC";
// SDL tells of a lost device only through its status: looked at this often while it runs.
constexpr auto kSdlPollInterval = std::chrono::milliseconds(250);

void SdlCallback(void* mixer, Uint8* stream, int bytes)
{
    const auto now = Clock::now();
    static_cast<ToneMixer*>(mixer)->Render(
        reinterpret_cast<float*>(stream), bytes / static_cast<int>(sizeof(float)), now);
}

// SDL_AUDIODRIVER names the driver the user wants; only PulseAudio's lets the stream in.
bool PulseWanted()
{
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    return driver == nullptr || *driver == '\0' || std::strcmp(driver, "pulseaudio") == 0
        || std::strcmp(driver, "pulse") == 0;
}

} // namespace

// One open device with the mixer that renders into it. Callers hold it while they sound; the
// supervisor closes it, and the last holder frees it.
struct ToneDevice {
    std::unique_ptr<ToneMixer> mixer;
    std::unique_ptr<PulseStream> pulse;
    SDL_AudioDeviceID sdl = 0;
};

struct ToneGenerator::State : std::enable_shared_from_this<State> {
    explicit State(const ToneDeviceOptions& chosen)
        : options(chosen)
        , schedule(chosen.schedule)
    { }

    // What the supervisor does for a device while the lock is not held.
    std::shared_ptr<ToneDevice> OpenDevice()
    {
        auto fresh = std::make_shared<ToneDevice>();
        if (options.writeAhead && PulseWanted()) {
            fresh->mixer = std::make_unique<ToneMixer>(
                ToneMixer::Mode::WriteAhead, options.pulse.startDelayMs);
            std::weak_ptr<State> weak = weak_from_this();
            PulseStream::Opened opened = PulseStream::Open(*fresh->mixer, options.pulse,
                Clock::now() + std::chrono::milliseconds(options.openTimeoutMs), closing, [weak] {
                    if (auto self = weak.lock())
                        self->DeviceLost();
                });
            if (opened.stream != nullptr) {
                fresh->pulse = std::move(opened.stream);
                return fresh;
            }
            // A server that is there but does not answer would hold SDL, which would try it
            // too, without a bound.
            if (opened.failure == PulseStream::Failure::NoAnswer)
                return nullptr;
        }
        if (closing.load())
            return nullptr;
        fresh->mixer = std::make_unique<ToneMixer>(ToneMixer::Mode::OnDemand, options.startDelayMs);
        // Only for as long as a device is open: SDL's audio keeps a thread that looks for new
        // devices every second.
        snd_lib_error_set_handler(&IgnoreAlsaError);
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
            return nullptr;
        SDL_AudioSpec want {};
        want.freq = kToneSampleRate;
        want.format = AUDIO_F32SYS;
        want.channels = 1;
        want.samples = static_cast<Uint16>(options.bufferFrames);
        want.callback = &SdlCallback;
        want.userdata = fresh->mixer.get();
        SDL_AudioSpec have {};
        // No changes allowed: SDL converts for a device that differs, so the mixer always renders
        // 48 kHz mono float in buffers of the size asked for.
        fresh->sdl = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (fresh->sdl == 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return nullptr;
        }
        SDL_PauseAudioDevice(fresh->sdl, 0);
        return fresh;
    }

    // Releases the device's callers and stops it; the last holder frees the rest. Only on the
    // supervisor, which alone starts and stops SDL.
    static void CloseDevice(const std::shared_ptr<ToneDevice>& device)
    {
        device->mixer->Stop();
        if (device->sdl != 0) {
            SDL_CloseAudioDevice(device->sdl); // waits for the audio thread, which only renders
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        }
    }

    // From libpulse's thread, with its loop locked: only the flag and a wake-up.
    void DeviceLost()
    {
        {
            std::lock_guard lock(mutex);
            schedule.Lost();
            deviceLost = true;
        }
        changed.notify_all();
    }

    // Closes the open device outside the lock, and tells the schedule.
    void CloseCurrent(std::unique_lock<std::mutex>& lock, Clock::time_point now)
    {
        std::shared_ptr<ToneDevice> old = std::move(device);
        paused = deviceLost = false;
        schedule.Closed(now);
        lock.unlock();
        CloseDevice(old);
        old.reset();
        lock.lock();
    }

    void Supervise()
    {
        std::unique_lock lock(mutex);
        while (!closing.load()) {
            const auto now = Clock::now();
            if (device != nullptr && device->sdl != 0
                && SDL_GetAudioDeviceStatus(device->sdl) == SDL_AUDIO_STOPPED)
                schedule.Lost();
            // A paused stream whose server went away is closed, and the server tried again.
            if (device != nullptr && paused && deviceLost) {
                CloseCurrent(lock, now);
                continue;
            }
            const OutputSchedule::Decision next = schedule.Next(now, device != nullptr && !paused);
            if (next.action == OutputSchedule::Action::Open && device != nullptr) {
                // Paused while idle: one message to the server.
                paused = false;
                schedule.Opened();
                lock.unlock();
                device->pulse->Resume();
                lock.lock();
                changed.notify_all();
                continue;
            }
            if (next.action == OutputSchedule::Action::Close && device != nullptr
                && device->pulse != nullptr && !deviceLost) {
                paused = true;
                schedule.Closed(now);
                lock.unlock();
                device->pulse->Pause();
                lock.lock();
                continue;
            }
            if (next.action == OutputSchedule::Action::Open) {
                opening = true;
                lock.unlock();
                std::shared_ptr<ToneDevice> opened = OpenDevice();
                lock.lock();
                opening = false;
                ++attempts;
                if (opened != nullptr && closing.load()) {
                    lock.unlock();
                    CloseDevice(opened);
                    lock.lock();
                } else if (opened != nullptr) {
                    device = std::move(opened);
                    schedule.Opened();
                } else {
                    schedule.OpenFailed(Clock::now());
                }
                changed.notify_all();
                continue;
            }
            if (next.action == OutputSchedule::Action::Close) {
                CloseCurrent(lock, now);
                continue;
            }
            auto until = next.until;
            if (device != nullptr && device->sdl != 0)
                until = std::min(until.value_or(Clock::time_point::max()), now + kSdlPollInterval);
            if (until)
                changed.wait_until(lock, *until);
            else
                changed.wait(lock);
        }
        std::shared_ptr<ToneDevice> old = std::move(device);
        lock.unlock();
        if (old != nullptr)
            CloseDevice(old);
        old.reset();
        // SDL keeps an error text per thread that sets one; this thread ends here.
        SDL_TLSCleanup();
        lock.lock();
        finished = true;
        changed.notify_all();
    }

    // The device to sound on, waiting a little for an open in progress or about to start. Null
    // when there is none.
    std::shared_ptr<ToneDevice> DeviceFor(Clock::time_point callTime, int durationMs)
    {
        std::unique_lock lock(mutex);
        if (!started || closing.load())
            return nullptr;
        schedule.Want(callTime, callTime + std::chrono::milliseconds(durationMs));
        if (device == nullptr || paused) {
            const bool due
                = opening || schedule.Next(callTime, false).action == OutputSchedule::Action::Open;
            if (!due)
                return nullptr;
            changed.notify_all();
            const int seen = attempts;
            changed.wait_until(lock, callTime + std::chrono::milliseconds(kStallBoundMs), [&] {
                return (device != nullptr && !paused) || closing.load() || attempts != seen;
            });
        }
        return paused ? nullptr : device;
    }

    void Sound(int frequencyHz, int durationMs)
    {
        const auto callTime = Clock::now();
        const std::shared_ptr<ToneDevice> current = DeviceFor(callTime, std::max(durationMs, 0));
        if (current == nullptr)
            return;
        const ToneMixer::Voice voice
            = current->mixer->AddAfterDelay(frequencyHz, durationMs, callTime);
        if (voice.Empty())
            return;
        if (current->pulse != nullptr)
            current->pulse->VoiceAdded();
        const auto toneEnd = callTime + std::chrono::milliseconds(durationMs);
        // A device that stopped calling back, or a Close, gives the tone up: return early then.
        if (!current->mixer->WaitRendered(
                voice, toneEnd + std::chrono::milliseconds(kStallBoundMs)))
            return;
        // Rendered is not played: the caller is held for the tone's length, like a beep.
        std::this_thread::sleep_until(toneEnd);
    }

    void Prepare()
    {
        {
            std::lock_guard lock(mutex);
            if (!started || closing.load())
                return;
            schedule.SendStarts(Clock::now());
        }
        changed.notify_all();
    }

    const ToneDeviceOptions options;
    std::mutex mutex;
    std::condition_variable changed;
    OutputSchedule schedule;
    std::shared_ptr<ToneDevice> device;
    bool started = false;
    bool opening = false;
    bool paused = false; // the device is a stream paused while idle
    bool deviceLost = false;
    bool finished = false;
    int attempts = 0;
    std::atomic<bool> closing { false };
    std::thread supervisor;
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
        if (m_state->started || m_state->closing.load())
            return;
        m_state->started = true;
        const auto now = Clock::now();
        m_state->schedule.Want(now, now);
    }
    // SDL asks PulseAudio for one buffer of queue; libpulse reads this variable when the stream
    // connects and takes it as the queue to keep. Set here, before the supervisor starts and
    // while the caller (start-up code) runs alone, because changing the environment while other
    // threads read it is unsafe. The user's own setting wins.
    if (!m_state->options.writeAhead && m_state->options.serverQueueMs > 0)
        setenv(kPulseQueueVariable, std::to_string(m_state->options.serverQueueMs).c_str(), 0);
    try {
        m_state->supervisor = std::thread([state = m_state] { state->Supervise(); });
    } catch (const std::system_error&) {
        // No thread, no device: every tone is silent.
        std::lock_guard lock(m_state->mutex);
        m_state->closing = true;
    }
}

void ToneGenerator::Prepare()
{
    m_state->Prepare();
}

bool ToneGenerator::WaitUntilOpen()
{
    std::unique_lock lock(m_state->mutex);
    if (!m_state->started)
        return false;
    m_state->changed.wait(lock, [&] {
        return m_state->closing.load() || m_state->device != nullptr
            || (!m_state->opening && m_state->attempts > 0
                && m_state->schedule.Next(Clock::now(), false).action
                    != OutputSchedule::Action::Open);
    });
    return m_state->device != nullptr && !m_state->closing.load();
}

void ToneGenerator::Close()
{
    std::unique_lock lock(m_state->mutex);
    m_state->closing = true;
    m_state->changed.notify_all();
    if (!m_state->supervisor.joinable())
        return;
    // A device stuck in its library (SDL waiting on a server that stopped answering) must not keep
    // the program from ending: it is left to its thread, which owns what it touches.
    const bool done = m_state->changed.wait_for(
        lock, std::chrono::milliseconds(kCloseBoundMs), [&] { return m_state->finished; });
    std::thread supervisor = std::move(m_state->supervisor);
    lock.unlock();
    if (done)
        supervisor.join();
    else
        supervisor.detach();
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

std::function<void()> ToneGenerator::AsPrepareFunction()
{
    return [state = m_state] { state->Prepare(); };
}

} // namespace kestrin
