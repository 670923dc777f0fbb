#pragma once

// Test doubles for the send engine: a window whose lamp is a recorded state, a virtual clock that
// advances only when slept on, and a tone function that notes each call at its instant.

#include "engine/KeyerWindow.h"
#include "engine/Platform.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace kestrin::test {

enum class Lamp { Unpainted, Dark, Lit };

inline const char* Name(Lamp lamp)
{
    switch (lamp) {
    case Lamp::Unpainted:
        return "unpainted";
    case Lamp::Dark:
        return "dark";
    case Lamp::Lit:
        return "lit";
    }
    return "?";
}

struct ToneCall {
    int atMs;
    int frequencyHz;
    int durationMs;
    friend bool operator==(const ToneCall&, const ToneCall&) = default;
};

struct Wait {
    int atMs;
    int ms;
    Lamp lamp; // the lamp while this wait runs
    friend bool operator==(const Wait&, const Wait&) = default;
};

class FakeWindow : public KeyerWindow {
public:
    std::string text;
    KeyerSettings settings;
    Colour lampOff = kBlack;
    bool surfaceAvailable = true;
    Lamp lamp = Lamp::Unpainted;
    int repaintMarks = 0;
    int surfacesOut = 0; // surfaces handed out and not yet given back
    std::vector<std::string> log; // fill, ellipse, mark, and what the clock adds

    std::string Text() const override { return text; }
    const KeyerSettings& Settings() const override { return settings; }
    Colour LampOffColour() const override { return lampOff; }
    void MarkForRepaint() override
    {
        ++repaintMarks;
        log.push_back("mark");
    }

    std::unique_ptr<LampSurface> GetLampSurface() override
    {
        if (!surfaceAvailable)
            return nullptr;
        return std::make_unique<Surface>(*this);
    }

private:
    class Surface : public LampSurface {
    public:
        explicit Surface(FakeWindow& w)
            : m_w(w)
        {
            ++m_w.surfacesOut;
        }
        ~Surface() override { --m_w.surfacesOut; }
        void FillSolid(const PixelRect& rect, Colour colour) override
        {
            m_w.lamp = (rect == PixelRect { 10, 10, 143, 143 } && colour == kBlack)
                ? Lamp::Dark
                : Lamp::Unpainted;
            m_w.log.push_back("fill");
        }
        void Ellipse(const PixelRect& rect) override
        {
            if (m_w.lamp == Lamp::Dark && rect == PixelRect { 10, 10, 142, 142 })
                m_w.lamp = Lamp::Lit;
            m_w.log.push_back("ellipse");
        }

    private:
        FakeWindow& m_w;
    };
};

// Advances only when slept on, and notes the lamp during each wait.
class VirtualClock : public Sleeper {
public:
    explicit VirtualClock(FakeWindow& window)
        : m_window(window)
    { }
    int nowMs = 0;
    std::vector<Wait> waits;
    std::function<void()> onSleep; // runs at the start of each wait, before time moves

    void Sleep(int ms) override
    {
        if (onSleep)
            onSleep();
        waits.push_back({ nowMs, ms, m_window.lamp });
        m_window.log.push_back("wait " + std::to_string(ms) + " " + Name(m_window.lamp));
        nowMs += ms;
    }
    // Milliseconds from the clock's epoch.
    std::chrono::steady_clock::time_point Now() override { return At(nowMs); }
    static std::chrono::steady_clock::time_point At(int ms)
    {
        return std::chrono::steady_clock::time_point {} + std::chrono::milliseconds(ms);
    }

private:
    FakeWindow& m_window;
};

// Runs each job at once, or holds it back to show that the caller never waits for it.
class FakeStarter : public WorkerStarter {
public:
    bool runAtOnce = true;
    bool canStart = true;
    int started = 0;
    std::vector<std::function<void()>> held;

    bool Start(std::function<void()> job) override
    {
        if (!canStart)
            return false;
        ++started;
        if (runAtOnce)
            job();
        else
            held.push_back(std::move(job));
        return true;
    }
};

// A window, clock, starter and tone recorder wired together.
struct Rig {
    FakeWindow window;
    VirtualClock clock { window };
    FakeStarter starter;
    std::vector<ToneCall> tones;
    // A tone is noted at its call time, which the element took from the clock.
    KeyerServices services { clock, starter,
        [this](int f, int d, std::chrono::steady_clock::time_point calledAt) {
            tones.push_back(
                { static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                      calledAt.time_since_epoch())
                                       .count()),
                    f, d });
            window.log.push_back("tone " + std::to_string(f) + "x" + std::to_string(d));
        } };
};

} // namespace kestrin::test
