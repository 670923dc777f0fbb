#include "output/linux/PulseStream.h"

#include "output/WriteAheadPlan.h"

#include <algorithm>
#include <optional>
#include <pulse/pulseaudio.h>
#include <pulse/rtclock.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace kestrin {

namespace {

constexpr std::size_t kFrameBytes = sizeof(float);
// While connecting, the loop looks at the deadline and the cancel flag this often.
constexpr pa_usec_t kConnectPollUs = 10'000;

// Nobody waits for the server's answer; a command that could not be sent is a lost stream, which
// its state reports.
void Forget(pa_operation* operation)
{
    if (operation != nullptr)
        pa_operation_unref(operation);
}

std::uint32_t Bytes(int ms)
{
    return static_cast<std::uint32_t>(ms * kSamplesPerMs) * kFrameBytes;
}

} // namespace

struct PulseStream::Impl {
    Impl(PulseStream& whole, const WriteAheadOptions& chosen)
        : owner(whole)
        , mixer(whole.Mixer())
        , options(chosen)
    { }

    ~Impl()
    {
        if (loop != nullptr)
            pa_threaded_mainloop_stop(loop);
        // The loop's thread has ended: nothing else touches these now. Disconnecting only sends;
        // it never waits for a server that may be stopped. It is not a lost server either: no
        // callback may run.
        if (wakeEvent != nullptr)
            pa_threaded_mainloop_get_api(loop)->io_free(wakeEvent);
        if (pollEvent != nullptr)
            pa_threaded_mainloop_get_api(loop)->time_free(pollEvent);
        if (stream != nullptr) {
            pa_stream_set_state_callback(stream, nullptr, nullptr);
            pa_stream_set_write_callback(stream, nullptr, nullptr);
            pa_stream_set_buffer_attr_callback(stream, nullptr, nullptr);
            pa_stream_disconnect(stream);
            pa_stream_unref(stream);
        }
        if (context != nullptr) {
            pa_context_set_state_callback(context, nullptr, nullptr);
            pa_context_disconnect(context);
            pa_context_unref(context);
        }
        if (loop != nullptr)
            pa_threaded_mainloop_free(loop);
        if (wakeFd >= 0)
            close(wakeFd);
    }

    // A context and a stream both connect through states that end in ready or in a failure; the
    // state callbacks, and a short timer for the deadline and the cancel flag, signal the loop.
    // Runs with the loop locked.
    template <typename Object, typename State>
    bool WaitReady(
        const Object* object, State (*stateOf)(const Object*), State ready, int (*good)(State))
    {
        for (;;) {
            const State state = stateOf(object);
            if (state == ready)
                return true;
            if (!good(state))
                return false;
            if (cancel->load() || std::chrono::steady_clock::now() >= deadline) {
                unanswered = true;
                return false;
            }
            pa_threaded_mainloop_wait(loop);
        }
    }

    // Runs with the loop locked; false leaves the destructor to clean up.
    bool Connect()
    {
        pa_proplist* properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Kestrin");
        context = pa_context_new_with_proplist(
            pa_threaded_mainloop_get_api(loop), "Kestrin", properties);
        pa_proplist_free(properties);
        if (context == nullptr)
            return false;
        pa_context_set_state_callback(context, &Impl::OnContextState, this);
        pollEvent = pa_context_rttime_new(
            context, pa_rtclock_now() + kConnectPollUs, &Impl::OnConnectPoll, this);
        // Never start a server: without one, the tone goes to SDL's other drivers or is silent.
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            return false;
        if (!WaitReady(context, &pa_context_get_state, PA_CONTEXT_READY, &PA_CONTEXT_IS_GOOD))
            return false;
        reached = true;

        const pa_sample_spec format { PA_SAMPLE_FLOAT32NE, kToneSampleRate, 1 };
        stream = pa_stream_new(context, "Morse", &format, nullptr);
        if (stream == nullptr)
            return false;
        pa_stream_set_state_callback(stream, &Impl::OnStreamState, this);
        // Early requests: the sink keeps only one request's worth and asks as soon as it took it,
        // so the queue stays deep on our side of the sink, where it can still be rewritten.
        const std::uint32_t any = static_cast<std::uint32_t>(-1);
        const pa_buffer_attr attributes { any, Bytes(options.queueMs), any,
            Bytes(options.requestMs), any };
        if (pa_stream_connect_playback(
                stream, nullptr, &attributes, PA_STREAM_EARLY_REQUESTS, nullptr, nullptr)
            < 0)
            return false;
        if (!WaitReady(stream, &pa_stream_get_state, PA_STREAM_READY, &PA_STREAM_IS_GOOD))
            return false;
        pa_threaded_mainloop_get_api(loop)->time_free(pollEvent);
        pollEvent = nullptr;
        const pa_buffer_attr* granted = pa_stream_get_buffer_attr(stream);
        plan.emplace(granted->tlength / kFrameBytes, granted->minreq / kFrameBytes);
        buffer.resize((granted->tlength + granted->minreq) / kFrameBytes);

        wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (wakeFd < 0)
            return false;
        wakeEvent = pa_threaded_mainloop_get_api(loop)->io_new(
            pa_threaded_mainloop_get_api(loop), wakeFd, PA_IO_EVENT_INPUT, &Impl::OnWake, this);
        if (wakeEvent == nullptr)
            return false;
        // Only now is there a buffer to render into; the first request may have come already.
        running = true;
        pa_stream_set_write_callback(stream, &Impl::OnWritable, this);
        pa_stream_set_buffer_attr_callback(stream, &Impl::OnBufferAttributes, this);
        const std::size_t writable = pa_stream_writable_size(stream);
        if (writable != static_cast<std::size_t>(-1) && writable > 0)
            Refill(writable / kFrameBytes);
        return true;
    }

    static void OnConnectPoll(pa_mainloop_api*, pa_time_event* event, const timeval*, void* self)
    {
        auto* impl = static_cast<Impl*>(self);
        pa_context_rttime_restart(impl->context, event, pa_rtclock_now() + kConnectPollUs);
        pa_threaded_mainloop_signal(impl->loop, 0);
    }

    void Lose()
    {
        if (!running)
            return;
        running = false;
        owner.ReportLost(); // the server went away: callers return at once, silent
    }

    static void OnContextState(pa_context* context, void* self)
    {
        auto* impl = static_cast<Impl*>(self);
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context)))
            impl->Lose();
        pa_threaded_mainloop_signal(impl->loop, 0);
    }

    static void OnStreamState(pa_stream* stream, void* self)
    {
        auto* impl = static_cast<Impl*>(self);
        if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
            impl->Lose();
        pa_threaded_mainloop_signal(impl->loop, 0);
    }

    static void OnWritable(pa_stream*, size_t bytes, void* self)
    {
        static_cast<Impl*>(self)->Refill(bytes / kFrameBytes);
    }

    static void OnBufferAttributes(pa_stream* stream, void* self)
    {
        const pa_buffer_attr* granted = pa_stream_get_buffer_attr(stream);
        if (granted != nullptr)
            static_cast<Impl*>(self)->plan->QueueChanged(
                granted->tlength / kFrameBytes, granted->minreq / kFrameBytes);
    }

    static void OnWake(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t, void* self)
    {
        std::uint64_t count = 0;
        (void)!read(fd, &count, sizeof count); // emptied, or already empty: either is fine
        static_cast<Impl*>(self)->Rewrite();
    }

    // The server asks for frames more: it has taken that many since the queue was full.
    void Refill(std::size_t frames)
    {
        if (!running)
            return;
        const auto now = ToneMixer::Clock::now();
        const WriteAheadPlan::Range append = plan->Request(static_cast<std::int64_t>(frames));
        mixer.Commit(plan->Taken(), plan->GuardSamples(), now);
        resumed = false;
        Rewrite();
        for (std::int64_t done = 0; done < append.count;) {
            const std::int64_t count
                = std::min(append.count - done, static_cast<std::int64_t>(buffer.size()));
            mixer.RenderAhead(buffer.data(), static_cast<int>(count), plan->Written());
            if (pa_stream_write(stream, buffer.data(),
                    static_cast<std::size_t>(count) * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE)
                < 0)
                return;
            plan->Appended(count);
            done += count;
        }
    }

    // Writes the queue again from the earliest new voice on. An absolute seek keeps the server's
    // and libpulse's counts of what is still wanted in step, as a relative one back would not.
    void Rewrite()
    {
        // Just resumed, the server may have let go of what was queued while paused: a voice
        // waits for the first request, which says where the sink is, and starts after it.
        if (!running || resumed)
            return;
        const auto added = mixer.TakeEarliestAdded();
        if (!added)
            return;
        const WriteAheadPlan::Range range = plan->Rewrite(*added, mixer.FirstChangeable());
        if (range.Empty())
            return; // Refill renders it when its turn comes
        // In pieces of the buffer, sized when the stream connected: this thread allocates nothing.
        for (std::int64_t done = 0; done < range.count;) {
            const std::int64_t count
                = std::min(range.count - done, static_cast<std::int64_t>(buffer.size()));
            mixer.RenderAhead(buffer.data(), static_cast<int>(count), range.from + done);
            if (pa_stream_write(stream, buffer.data(),
                    static_cast<std::size_t>(count) * kFrameBytes, nullptr,
                    (range.from + done) * static_cast<std::int64_t>(kFrameBytes), PA_SEEK_ABSOLUTE)
                < 0)
                return; // a lost stream, which its state reports
            done += count;
        }
    }

    PulseStream& owner;
    ToneMixer& mixer;
    const WriteAheadOptions options;
    std::chrono::steady_clock::time_point deadline {};
    const std::atomic<bool>* cancel = nullptr;
    bool unanswered = false;
    bool reached = false; // the server answered
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    pa_time_event* pollEvent = nullptr;
    int wakeFd = -1;
    pa_io_event* wakeEvent = nullptr;
    std::optional<WriteAheadPlan> plan;
    bool running = false; // connected: from now on a failure means the server is lost
    bool resumed = false; // resumed, and no request since
    std::vector<float> buffer;
};

PulseStream::Opened PulseStream::Open(const WriteAheadOptions& options,
    std::chrono::steady_clock::time_point deadline, const std::atomic<bool>& cancel,
    std::function<void()> wake)
{
    std::unique_ptr<PulseStream> stream(new PulseStream(options, std::move(wake)));
    Impl* impl = stream->m_impl.get();
    impl->deadline = deadline;
    impl->cancel = &cancel;
    impl->loop = pa_threaded_mainloop_new();
    if (impl->loop == nullptr)
        return {};
    pa_threaded_mainloop_set_name(impl->loop, "kestrin-tone");
    if (pa_threaded_mainloop_start(impl->loop) < 0)
        return {};
    pa_threaded_mainloop_lock(impl->loop);
    const bool connected = impl->Connect();
    pa_threaded_mainloop_unlock(impl->loop);
    if (!connected)
        return { nullptr,
            impl->unanswered || impl->reached ? Failure::ServerThere : Failure::NoServer };
    return { std::move(stream), Failure::NoServer };
}

PulseStream::PulseStream(const WriteAheadOptions& options, std::function<void()> wake)
    : AudioStream(std::make_shared<ToneMixer>(ToneMixer::Mode::WriteAhead, options.startDelayMs),
        std::move(wake))
    , m_impl(std::make_unique<Impl>(*this, options))
{ }

PulseStream::~PulseStream()
{
    Mixer().Stop();
}

void PulseStream::Pause()
{
    pa_threaded_mainloop_lock(m_impl->loop);
    if (m_impl->running)
        Forget(pa_stream_cork(m_impl->stream, 1, nullptr, nullptr));
    pa_threaded_mainloop_unlock(m_impl->loop);
}

void PulseStream::Resume()
{
    pa_threaded_mainloop_lock(m_impl->loop);
    if (m_impl->running) {
        m_impl->mixer.RestartClock();
        m_impl->resumed = true;
        Forget(pa_stream_cork(m_impl->stream, 0, nullptr, nullptr));
    }
    pa_threaded_mainloop_unlock(m_impl->loop);
}

void PulseStream::VoiceAdded()
{
    const std::uint64_t one = 1;
    (void)!write(m_impl->wakeFd, &one, sizeof one); // a full counter still wakes the loop
}

} // namespace kestrin
