#include "output/ToneGenerator.h"

#include "output/ToneMixer.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace kestrin {

namespace {

using Clock = ToneMixer::Clock;

} // namespace

struct ToneGenerator::State : std::enable_shared_from_this<State> {
    explicit State(const ToneDeviceOptions& chosen)
        : options(chosen)
        , schedule(chosen.schedule)
    { }

    // What the supervisor does for a device while the lock is not held.
    std::unique_ptr<AudioStream> OpenDevice()
    {
        std::weak_ptr<State> weak = weak_from_this();
        return OpenAudioStream(options,
            Clock::now() + std::chrono::milliseconds(options.openTimeoutMs), closing, [weak] {
                if (auto self = weak.lock())
                    self->DeviceLost();
            });
    }

    // From the audio thread: only the flag and a wake-up.
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
        std::unique_ptr<AudioStream> old = std::move(device);
        paused = deviceLost = false;
        schedule.Closed(now);
        lock.unlock();
        old.reset();
        lock.lock();
    }

    void Supervise()
    {
        std::unique_lock lock(mutex);
        while (!closing.load()) {
            const auto now = Clock::now();
            if (device != nullptr && device->LostPollInterval().count() > 0) {
                device->PollLost();
                if (device->Lost())
                    schedule.Lost();
            }
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
                device->Resume();
                lock.lock();
                changed.notify_all();
                continue;
            }
            if (next.action == OutputSchedule::Action::Close && device != nullptr
                && device->CanPause() && !deviceLost) {
                paused = true;
                schedule.Closed(now);
                lock.unlock();
                device->Pause();
                lock.lock();
                continue;
            }
            if (next.action == OutputSchedule::Action::Open) {
                opening = true;
                lock.unlock();
                std::unique_ptr<AudioStream> opened = OpenDevice();
                lock.lock();
                opening = false;
                ++attempts;
                if (opened != nullptr && closing.load()) {
                    lock.unlock();
                    opened.reset();
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
            if (device != nullptr && device->LostPollInterval().count() > 0)
                until = std::min(
                    until.value_or(Clock::time_point::max()), now + device->LostPollInterval());
            if (until)
                changed.wait_until(lock, *until);
            else
                changed.wait(lock);
        }
        std::unique_ptr<AudioStream> old = std::move(device);
        lock.unlock();
        old.reset();
        lock.lock();
        finished = true;
        changed.notify_all();
    }

    // Places the voice on the running device, waiting a little for an open in progress or about
    // to start; returns the mixer that holds it, or null when there is none. The device is only
    // touched with the lock held, so the supervisor alone closes it.
    std::shared_ptr<ToneMixer> AddVoice(
        int frequencyHz, int durationMs, Clock::time_point callTime, ToneMixer::Voice& voice)
    {
        std::unique_lock lock(mutex);
        if (!started || closing.load())
            return nullptr;
        schedule.Want(callTime, callTime + std::chrono::milliseconds(std::max(durationMs, 0)));
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
        if (paused || device == nullptr)
            return nullptr;
        voice = device->Mixer().AddAfterDelay(frequencyHz, durationMs, callTime);
        if (voice.Empty())
            return nullptr;
        device->VoiceAdded();
        return device->SharedMixer();
    }

    void Sound(int frequencyHz, int durationMs)
    {
        const auto callTime = Clock::now();
        ToneMixer::Voice voice;
        const std::shared_ptr<ToneMixer> mixer = AddVoice(frequencyHz, durationMs, callTime, voice);
        if (mixer == nullptr)
            return;
        const auto toneEnd = callTime + std::chrono::milliseconds(durationMs);
        // A device that stopped calling back, or a Close, gives the tone up: return early then.
        if (!mixer->WaitRendered(voice, toneEnd + std::chrono::milliseconds(kStallBoundMs)))
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
    std::unique_ptr<AudioStream> device;
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
    // Before the supervisor starts and while the caller (start-up code) runs alone, because
    // changing the environment while other threads read it is unsafe.
    PrepareAudioEnvironment(m_state->options);
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
