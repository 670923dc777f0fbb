#include "output/win32/WasapiStream.h"

#include <windows.h>

#include <algorithm>
#include <audioclient.h>
#include <avrt.h>
#include <mmdeviceapi.h>
#include <mmreg.h>
#include <process.h>
#include <vector>

namespace kestrin {

namespace {

// KSDATAFORMAT_SUBTYPE_IEEE_FLOAT, spelt out: MinGW's headers only declare it for ksguid.
constexpr GUID kFloatSubtype
    = { 0x00000003, 0x0000, 0x0010, { 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71 } };

// What a voice needs beyond the device period: the events wander by this much (measured under
// Wine; BENCHMARKS.md), so that a voice placed by its call is almost never moved later.
constexpr int kStartMarginMs = 5;
// While opening, Open looks at its deadline and the cancel flag this often.
constexpr DWORD kOpenPollMs = 10;
// A running device that has taken nothing for this long is lost: some drivers (Wine's ALSA one,
// whose server went away) neither fail the calls nor signal again. Far above any stall seen
// under load (1.2 s), so that a slow machine is never taken for a lost device.
constexpr auto kStalledLost = std::chrono::seconds(3);
constexpr DWORD kStallCheckMs = 500;

constexpr REFERENCE_TIME kHnsPerSecond = 10'000'000;

template <typename T> void Release(T*& object)
{
    if (object != nullptr)
        object->Release();
    object = nullptr;
}

enum Phase : int { Opening, Opened, Running, Abandoned, Failed };

// Pause and Resume as asked of the render thread; the last one asked wins.
enum Command : int { None, Stop, Start };

} // namespace

struct WasapiStream::Shared {
    Shared()
    {
        quit = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        command = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        changed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        audio = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    }
    ~Shared()
    {
        for (HANDLE event : { quit, ready, go, command, changed, audio })
            if (event != nullptr)
                CloseHandle(event);
    }
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;

    bool Made() const
    {
        return quit != nullptr && ready != nullptr && go != nullptr && command != nullptr
            && changed != nullptr && audio != nullptr;
    }

    HANDLE quit, ready, go, command, changed, audio;
    std::atomic<int> phase { Opening };
    std::atomic<int> wanted { None };
    // Written by the render thread before ready; read by others after.
    DeviceInfo info;
    int startDelayFloorMs = 0;
    // Set by Open before go; the render thread's own after.
    WasapiStream* owner = nullptr;
    ToneMixer* mixer = nullptr;

    // For the render thread, once running.
    void Lose() { owner->Lose(); }
};

namespace {

// Tells the render thread that the default output device changed. Called on a thread of the
// system's; it only signals. A COM object is destroyed by its last Release, never through its
// interface, which has no virtual destructor.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class DefaultDeviceWatch final : public IMMNotificationClient {
public:
    explicit DefaultDeviceWatch(HANDLE changed)
        : m_changed(changed)
    { }
    virtual ~DefaultDeviceWatch() = default;

    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IMMNotificationClient)) {
            *object = static_cast<IMMNotificationClient*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR) override
    {
        if (flow == eRender && role == eConsole)
            SetEvent(m_changed);
        return S_OK;
    }
    // A device that goes away fails the stream's next call, which reports it.
    HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override
    {
        return S_OK;
    }

private:
    HANDLE m_changed;
    std::atomic<ULONG> m_references { 1 };
};
#pragma GCC diagnostic pop

// The render thread: everything COM lives here, so that it all stays in one apartment.
class RenderThread {
public:
    explicit RenderThread(std::shared_ptr<WasapiStream::Shared> shared)
        : m_shared(std::move(shared))
    { }

    void Run()
    {
        const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        const bool opened = com && OpenDevice();
        int expected = Opening;
        if (!m_shared->phase.compare_exchange_strong(expected, opened ? Opened : Failed)) {
            // Open gave up on it (Abandoned): nobody waits for this stream any more.
        } else {
            SetEvent(m_shared->ready);
            if (opened) {
                const HANDLE first[] = { m_shared->quit, m_shared->go };
                if (WaitForMultipleObjects(2, first, FALSE, INFINITE) == WAIT_OBJECT_0 + 1)
                    Render();
            }
        }
        CloseDevice();
        if (com)
            CoUninitialize();
    }

private:
    bool OpenDevice()
    {
        if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                __uuidof(IMMDeviceEnumerator), reinterpret_cast<void**>(&m_enumerator))))
            return false;
        m_watch = new DefaultDeviceWatch(m_shared->changed);
        if (FAILED(m_enumerator->RegisterEndpointNotificationCallback(m_watch)))
            Release(m_watch);
        // No output device: silent, and nothing said.
        if (FAILED(m_enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &m_device)))
            return false;
        if (FAILED(m_device->Activate(
                __uuidof(IAudioClient), CLSCTX_ALL, nullptr, reinterpret_cast<void**>(&m_client))))
            return false;
        WAVEFORMATEX* mix = nullptr;
        if (FAILED(m_client->GetMixFormat(&mix)) || mix == nullptr)
            return false;
        const int channels = std::max<int>(mix->nChannels, 1);
        const int mixRate = static_cast<int>(mix->nSamplesPerSec);
        DWORD mask = 0;
        if (mix->wFormatTag == WAVE_FORMAT_EXTENSIBLE && mix->cbSize >= 22)
            mask = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(mix)->dwChannelMask;
        CoTaskMemFree(mix);

        // The mix format's channels, as float at the mixer's rate: the mixer's sample goes into
        // every channel, and a device at another rate converts.
        WAVEFORMATEXTENSIBLE format {};
        format.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
        format.Format.nChannels = static_cast<WORD>(channels);
        format.Format.nSamplesPerSec = kToneSampleRate;
        format.Format.wBitsPerSample = 32;
        format.Format.nBlockAlign
            = static_cast<WORD>(static_cast<unsigned>(channels) * sizeof(float));
        format.Format.nAvgBytesPerSec = kToneSampleRate * format.Format.nBlockAlign;
        format.Format.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
        format.Samples.wValidBitsPerSample = 32;
        format.dwChannelMask = mask;
        format.SubFormat = kFloatSubtype;
        const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(&format);

        WasapiStream::DeviceInfo& info = m_shared->info;
        info.channels = channels;
        info.mixRate = mixRate;
        REFERENCE_TIME defaultPeriod = 0;
        REFERENCE_TIME minimumPeriod = 0;
        if (FAILED(m_client->GetDevicePeriod(&defaultPeriod, &minimumPeriod)))
            return false;
        info.periodFrames = static_cast<int>(defaultPeriod * kToneSampleRate / kHnsPerSecond);

        // IAudioClient3's smaller period where the device offers one at the mixer's rate.
        bool initialized = false;
        IAudioClient3* client3 = nullptr;
        if (mixRate == kToneSampleRate
            && SUCCEEDED(m_client->QueryInterface(
                __uuidof(IAudioClient3), reinterpret_cast<void**>(&client3)))) {
            UINT32 defaultFrames = 0, fundamental = 0, minimumFrames = 0, maximumFrames = 0;
            if (SUCCEEDED(client3->GetSharedModeEnginePeriod(
                    wave, &defaultFrames, &fundamental, &minimumFrames, &maximumFrames))
                && minimumFrames > 0 && minimumFrames < defaultFrames
                && SUCCEEDED(client3->InitializeSharedAudioStream(
                    AUDCLNT_STREAMFLAGS_EVENTCALLBACK, minimumFrames, wave, nullptr))) {
                initialized = true;
                info.smallPeriod = true;
                info.periodFrames = static_cast<int>(minimumFrames);
            }
            Release(client3);
        }
        if (!initialized) {
            DWORD flags = AUDCLNT_STREAMFLAGS_EVENTCALLBACK;
            if (mixRate != kToneSampleRate)
                flags
                    |= AUDCLNT_STREAMFLAGS_AUTOCONVERTPCM | AUDCLNT_STREAMFLAGS_SRC_DEFAULT_QUALITY;
            if (FAILED(m_client->Initialize(AUDCLNT_SHAREMODE_SHARED, flags, 0, 0, wave, nullptr)))
                return false;
        }
        UINT32 bufferFrames = 0;
        if (FAILED(m_client->GetBufferSize(&bufferFrames)) || bufferFrames == 0)
            return false;
        info.bufferFrames = static_cast<int>(bufferFrames);
        info.periodFrames = std::clamp(info.periodFrames, 1, info.bufferFrames);
        const int periodMs = (info.periodFrames + kSamplesPerMs - 1) / kSamplesPerMs;
        info.startDelayMs = std::max(m_shared->startDelayFloorMs, periodMs + kStartMarginMs);
        if (FAILED(m_client->SetEventHandle(m_shared->audio)))
            return false;
        if (FAILED(m_client->GetService(
                __uuidof(IAudioRenderClient), reinterpret_cast<void**>(&m_render))))
            return false;
        // Allocated here, so that the render loop allocates nothing.
        m_mono.resize(bufferFrames);
        return true;
    }

    void CloseDevice()
    {
        if (m_client != nullptr)
            m_client->Stop();
        Release(m_render);
        Release(m_client);
        Release(m_device);
        if (m_enumerator != nullptr && m_watch != nullptr)
            m_enumerator->UnregisterEndpointNotificationCallback(m_watch);
        Release(m_watch);
        Release(m_enumerator);
    }

    void Render()
    {
        DWORD task = 0;
        const HANDLE mmcss = AvSetMmThreadCharacteristicsW(L"Pro Audio", &task);
        bool running = PadWithSilence() && SUCCEEDED(m_client->Start());
        m_progress = ToneMixer::Clock::now();
        bool paused = false;
        if (!running)
            m_shared->Lose();
        // The device's event last, and not listened to while the client is stopped or lost: an
        // event left signalled, or signalled by a driver while stopped, wakes nobody for nothing.
        const HANDLE events[]
            = { m_shared->quit, m_shared->command, m_shared->changed, m_shared->audio };
        for (;;) {
            const bool playing = running && !paused;
            const DWORD woken = WaitForMultipleObjects(
                playing ? 4 : 3, events, FALSE, playing ? kStallCheckMs : INFINITE);
            if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED)
                break;
            if (!running)
                continue;
            bool ok = true;
            if (woken == WAIT_TIMEOUT) {
                ok = ToneMixer::Clock::now() - m_progress < kStalledLost;
            } else if (woken == WAIT_OBJECT_0 + 2) {
                ok = false; // the default device changed: the owner opens the new one
            } else if (woken == WAIT_OBJECT_0 + 1) {
                const int command = m_shared->wanted.exchange(None);
                if (command == Stop && !paused) {
                    ok = SUCCEEDED(m_client->Stop());
                    paused = true;
                } else if (command == Start && paused) {
                    // What was queued before the pause is dropped: the first event after the
                    // start says where the device is.
                    ok = SUCCEEDED(m_client->Reset()) && PadWithSilence()
                        && SUCCEEDED(m_client->Start());
                    paused = false;
                    m_progress = ToneMixer::Clock::now();
                }
            } else if (!paused) {
                ok = Fill() && ToneMixer::Clock::now() - m_progress < kStalledLost;
            }
            if (!ok) {
                running = false;
                m_client->Stop();
                m_shared->Lose();
            }
        }
        if (mmcss != nullptr)
            AvRevertMmThreadCharacteristics(mmcss);
    }

    // Fills the buffer with silence before the client starts, so that every request of the
    // mixer's is for what the device took since the last one: the first one too says when the
    // device plays what it is asked for, and the sample clock starts right.
    bool PadWithSilence()
    {
        BYTE* data = nullptr;
        const auto frames = static_cast<UINT32>(m_shared->info.bufferFrames);
        return SUCCEEDED(m_render->GetBuffer(frames, &data))
            && SUCCEEDED(m_render->ReleaseBuffer(frames, AUDCLNT_BUFFERFLAGS_SILENT));
    }

    // The device took a period: the buffer is filled again, the mixer asked for the frames on
    // demand. A failure means the device went away (AUDCLNT_E_DEVICE_INVALIDATED and the like).
    bool Fill()
    {
        UINT32 padding = 0;
        if (FAILED(m_client->GetCurrentPadding(&padding)))
            return false;
        const int frames = m_shared->info.bufferFrames - static_cast<int>(padding);
        if (frames <= 0)
            return true;
        m_progress = ToneMixer::Clock::now();
        BYTE* data = nullptr;
        if (FAILED(m_render->GetBuffer(static_cast<UINT32>(frames), &data)))
            return false;
        m_shared->mixer->Render(m_mono.data(), frames, ToneMixer::Clock::now());
        auto* out = reinterpret_cast<float*>(data);
        const int channels = m_shared->info.channels;
        for (int i = 0; i < frames; ++i)
            for (int c = 0; c < channels; ++c)
                *out++ = m_mono[static_cast<std::size_t>(i)];
        return SUCCEEDED(m_render->ReleaseBuffer(static_cast<UINT32>(frames), 0));
    }

    std::shared_ptr<WasapiStream::Shared> m_shared;
    IMMDeviceEnumerator* m_enumerator = nullptr;
    IMMNotificationClient* m_watch = nullptr;
    IMMDevice* m_device = nullptr;
    IAudioClient* m_client = nullptr;
    IAudioRenderClient* m_render = nullptr;
    std::vector<float> m_mono;
    // When the device last took something, or started.
    ToneMixer::Clock::time_point m_progress {};
};

unsigned __stdcall RenderThreadMain(void* argument)
{
    std::unique_ptr<RenderThread> thread(static_cast<RenderThread*>(argument));
    thread->Run();
    return 0;
}

} // namespace

std::unique_ptr<WasapiStream> WasapiStream::Open(const ToneDeviceOptions& options,
    std::chrono::steady_clock::time_point deadline, const std::atomic<bool>& cancel,
    std::function<void()> wake)
{
    auto shared = std::make_shared<Shared>();
    if (!shared->Made())
        return nullptr;
    shared->startDelayFloorMs = options.startDelayMs;
    auto* body = new RenderThread(shared);
    const auto handle = _beginthreadex(nullptr, 0, &RenderThreadMain, body, 0, nullptr);
    if (handle == 0) {
        delete body;
        return nullptr;
    }
    auto* thread = reinterpret_cast<HANDLE>(handle);
    while (WaitForSingleObject(shared->ready, kOpenPollMs) == WAIT_TIMEOUT) {
        if (!cancel.load() && std::chrono::steady_clock::now() < deadline)
            continue;
        int expected = Opening;
        if (shared->phase.compare_exchange_strong(expected, Abandoned)) {
            // Left to end by itself: it owns what it touches.
            CloseHandle(thread);
            return nullptr;
        }
        break; // it became ready meanwhile
    }
    if (shared->phase.load() != Opened) {
        SetEvent(shared->quit);
        WaitForSingleObject(thread, INFINITE); // it only lets go of what it opened
        CloseHandle(thread);
        return nullptr;
    }
    auto mixer = std::make_shared<ToneMixer>(ToneMixer::Mode::OnDemand, shared->info.startDelayMs);
    std::unique_ptr<WasapiStream> stream(
        new WasapiStream(std::move(mixer), std::move(wake), shared, thread));
    shared->owner = stream.get();
    shared->mixer = &stream->Mixer();
    shared->phase.store(Running);
    SetEvent(shared->go);
    return stream;
}

WasapiStream::WasapiStream(std::shared_ptr<ToneMixer> mixer, std::function<void()> wake,
    std::shared_ptr<Shared> shared, void* thread)
    : AudioStream(std::move(mixer), std::move(wake))
    , m_shared(std::move(shared))
    , m_thread(thread)
{ }

WasapiStream::~WasapiStream()
{
    Mixer().Stop();
    SetEvent(m_shared->quit);
    // The render thread waits on nothing but its events, and stopping a client does not wait for
    // the device.
    WaitForSingleObject(m_thread, INFINITE);
    CloseHandle(m_thread);
}

void WasapiStream::Pause()
{
    m_shared->wanted.store(Stop);
    SetEvent(m_shared->command);
}

void WasapiStream::Resume()
{
    Mixer().RestartClock();
    m_shared->wanted.store(Start);
    SetEvent(m_shared->command);
}

const WasapiStream::DeviceInfo& WasapiStream::Device() const
{
    return m_shared->info;
}

void WasapiStream::DefaultDeviceChanged()
{
    SetEvent(m_shared->changed);
}

} // namespace kestrin
