#include "output/ToneGenerator.h"

#include "output/ToneMixer.h"
#include "output/WaitWord.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace kestrin {

struct ToneGenerator::State : std::enable_shared_from_this<State> {
    State(const ToneDeviceOptions& chosen, AudioStreamOpener opener)
        : options(chosen)
        , open(opener ? std::move(opener) : AudioStreamOpener(&OpenAudioStream))
        , schedule(chosen.schedule)
    { }

    // What the supervisor does for a device while the lock is not held. A lost stream reports
    // itself from the audio thread, which may take no lock: through its flag and this wake-up.
    std::unique_ptr<AudioStream> OpenDevice()
    {
        std::weak_ptr<State> weak = weak_from_this();
        return open(options, Clock::now() + std::chrono::milliseconds(options.openTimeoutMs),
            closing, [weak] {
                if (auto self = weak.lock())
                    self->Poke();
            });
    }

    // Wakes the supervisor: after a change made under the lock, or from the audio thread.
    void Poke()
    {
        events.fetch_add(1);
        WakeWord(events);
    }

    // Destroys the open device outside the lock, and tells the schedule.
    void CloseCurrent(std::unique_lock<std::mutex>& lock, Clock::time_point now)
    {
        std::unique_ptr<AudioStream> old = std::move(device);
        paused = false;
        schedule.Closed(now);
        lock.unlock();
        old.reset();
        lock.lock();
    }

    void Supervise()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            // Read before anything is looked at: a change after this ends the wait below at once.
            const std::uint32_t seen = events.load();
            if (closing.load())
                break;
            const auto now = Clock::now();
            const bool polled = device != nullptr && device->LostPollInterval().count() > 0;
            if (polled)
                device->PollLost();
            const bool lost = device != nullptr && device->Lost();
            if (lost)
                schedule.Lost();
            // A paused stream whose server went away is closed, and the server tried again.
            if (lost && paused) {
                CloseCurrent(lock, now);
                continue;
            }
            const OutputSchedule::Decision next = schedule.Next(now, device != nullptr && !paused);
            if (next.action == OutputSchedule::Action::Open && device != nullptr) {
                // Paused while idle: one message to the server. Callers keep waiting until the
                // stream has restarted its clock, so that none is placed by the time before.
                schedule.Opened();
                resuming = true;
                lock.unlock();
                device->Resume();
                lock.lock();
                paused = resuming = false;
                changed.notify_all();
                continue;
            }
            if (next.action == OutputSchedule::Action::Close && device != nullptr
                && device->CanPause() && !lost) {
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
                if (opened != nullptr && closing.load())
                    opened.reset();
                lock.lock();
                opening = false;
                ++attempts;
                if (opened != nullptr) {
                    device = std::move(opened);
                    schedule.Opened();
                } else if (!closing.load()) {
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
            if (polled)
                until = std::min(
                    until.value_or(Clock::time_point::max()), now + device->LostPollInterval());
            lock.unlock();
            // No timeout: a day, after which it only looks again.
            WaitWord(events, seen,
                until ? std::chrono::nanoseconds(*until - Clock::now())
                      : std::chrono::nanoseconds(std::chrono::hours(24)));
            lock.lock();
        }
        std::unique_ptr<AudioStream> old = std::move(device);
        lock.unlock();
        old.reset();
        lock.lock();
        finished = true;
        changed.notify_all();
    }

    // The running device's mixer, waiting a little for an open in progress or about to start, or
    // for a resume. Null when there is none.
    std::shared_ptr<ToneMixer> RunningMixer(std::unique_lock<std::mutex>& lock,
        Clock::time_point callTime, int durationMs, Clock::time_point giveUp)
    {
        if (!started || closing.load())
            return nullptr;
        schedule.Want(callTime, callTime + std::chrono::milliseconds(std::max(durationMs, 0)));
        if (device == nullptr || paused) {
            const bool due = opening || resuming
                || schedule.Next(Clock::now(), false).action == OutputSchedule::Action::Open;
            if (!due)
                return nullptr;
            Poke();
            const int seen = attempts;
            changed.wait_until(lock, giveUp, [&] {
                return (device != nullptr && !paused) || closing.load() || attempts != seen;
            });
        }
        if (paused || device == nullptr || closing.load())
            return nullptr;
        return device->SharedMixer();
    }

    // Places the voice on the running device; returns the mixer that holds it, or null when there
    // is none. The device is only touched with the lock held, so that the supervisor alone
    // destroys it, and never while it is in use.
    std::shared_ptr<ToneMixer> AddVoice(
        int frequencyHz, int durationMs, Clock::time_point callTime, ToneMixer::Voice& voice)
    {
        const auto giveUp
            = std::max(callTime, Clock::now()) + std::chrono::milliseconds(kStallBoundMs);
        std::unique_lock lock(mutex);
        const std::shared_ptr<ToneMixer> mixer = RunningMixer(lock, callTime, durationMs, giveUp);
        if (mixer == nullptr)
            return nullptr;
        // A stream just opened or resumed has not yet said where its sink is: the voice waits for
        // that, outside the lock, rather than be placed off the clock that the rest keep.
        if (!mixer->ClockKnown()) {
            lock.unlock();
            mixer->WaitClockKnown(giveUp);
            lock.lock();
            if (paused || device == nullptr || device->SharedMixer() != mixer)
                return nullptr;
        }
        voice = mixer->AddAfterDelay(frequencyHz, durationMs, callTime);
        if (voice.Empty())
            return nullptr;
        device->VoiceAdded();
        return mixer;
    }

    void Sound(int frequencyHz, int durationMs, Clock::time_point callTime)
    {
        ToneMixer::Voice voice;
        const std::shared_ptr<ToneMixer> mixer = AddVoice(frequencyHz, durationMs, callTime, voice);
        if (mixer == nullptr)
            return;
        const auto toneEnd = callTime + std::chrono::milliseconds(durationMs);
        // A device that stopped calling back, or a Close, gives the tone up: return early then.
        if (!mixer->WaitRendered(
                voice, std::max(toneEnd, Clock::now()) + std::chrono::milliseconds(kStallBoundMs)))
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
        Poke();
    }

    const ToneDeviceOptions options;
    const AudioStreamOpener open;
    std::mutex mutex;
    // Callers wait on it for the supervisor, which notifies it with the lock held.
    std::condition_variable changed;
    // The supervisor waits on it: bumped by every change that it must look at.
    std::atomic<std::uint32_t> events { 0 };
    OutputSchedule schedule;
    std::unique_ptr<AudioStream> device;
    bool started = false;
    bool opening = false;
    bool paused = false; // the device is a stream paused while idle, or resuming
    bool resuming = false;
    bool finished = false;
    int attempts = 0;
    std::atomic<bool> closing { false };
    std::thread supervisor;
};

ToneGenerator::ToneGenerator()
    : ToneGenerator(ToneDeviceOptions {})
{ }

ToneGenerator::ToneGenerator(const ToneDeviceOptions& options, AudioStreamOpener opener)
    : m_state(std::make_shared<State>(options, std::move(opener)))
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
    m_state->closing.notify_all();
    m_state->changed.notify_all();
    m_state->Poke();
    if (!m_state->supervisor.joinable())
        return;
    // The supervisor holds no lock while it closes the device, and the audio thread takes none,
    // so this ends as soon as the device is closed. Only a device stuck in its library (SDL
    // waiting on a server that stopped answering) is left to its thread, which owns what it
    // touches, so that it cannot keep the program from ending.
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
    m_state->Sound(frequencyHz, durationMs, Clock::now());
}

void ToneGenerator::Sound(int frequencyHz, int durationMs, Clock::time_point calledAt)
{
    m_state->Sound(frequencyHz, durationMs, calledAt);
}

std::function<void(int, int, ToneGenerator::Clock::time_point)> ToneGenerator::AsToneFunction()
{
    return [state = m_state](int frequencyHz, int durationMs, Clock::time_point calledAt) {
        state->Sound(frequencyHz, durationMs, calledAt);
    };
}

std::function<void()> ToneGenerator::AsPrepareFunction()
{
    return [state = m_state] { state->Prepare(); };
}

} // namespace kestrin
