#pragma once

// What the timing rules give for a send, as the keying benchmarks compare it with what was heard:
// every wait in order, and each tone's start and length, from the engine's own SendText run on a
// clock that only advances when slept on.

#include "engine/KeyerWindow.h"
#include "engine/Platform.h"
#include "engine/SendText.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kestrin::bench {

// The window's initial sentence, what a send without typing sends.
inline constexpr const char* kInitialText = "Type your text to send here and click the Go! button.";

struct Model {
    std::vector<int> waitsMs; // the waits that really sleep (> 0 ms)
    std::vector<std::size_t> toneWait; // per tone: index of the wait that it sounds through
    std::vector<long long> toneStartMs;
    std::vector<int> toneMs;
    long long totalMs = 0;
};

class ModelWindow final : public KeyerWindow, public Sleeper, public WorkerStarter {
public:
    ModelWindow(std::string text, KeyerSettings settings)
        : m_text(std::move(text))
        , m_settings(settings)
    { }
    std::string Text() const override { return m_text; }
    const KeyerSettings& Settings() const override { return m_settings; }
    Colour LampOffColour() const override { return kBlack; }
    std::unique_ptr<LampSurface> GetLampSurface() override { return nullptr; }
    void MarkForRepaint() override { }
    void Sleep(int ms) override
    {
        if (ms <= 0)
            return;
        model.waitsMs.push_back(ms);
        model.totalMs += ms;
    }
    bool Start(std::function<void()> job) override
    {
        job();
        return true;
    }
    Model model;

private:
    std::string m_text;
    KeyerSettings m_settings;
};

inline Model ModelOf(const std::string& text, const KeyerSettings& settings)
{
    ModelWindow window(text, settings);
    const KeyerServices services { window, window,
        [&window](int, int durationMs, std::chrono::steady_clock::time_point) {
            // The element's own wait is the next one slept.
            window.model.toneWait.push_back(window.model.waitsMs.size());
            window.model.toneStartMs.push_back(window.model.totalMs);
            window.model.toneMs.push_back(durationMs);
        } };
    SendText(window, services);
    return window.model;
}

} // namespace kestrin::bench
