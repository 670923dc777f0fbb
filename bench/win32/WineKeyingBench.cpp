// Measures a whole send of the Windows program's main window under Wine; wine_keying_bench.sh
// records the sink and reads what this prints. Runs the real CSenderDlg with the services the
// program gives it (the tone generator opened as WinMain opens it, the application's sleeper and
// worker starter), and a second after the window opens clicks "Go !" and then Cancel, which the
// window handles once the send is over. Its lamp surface and sleeper are the real ones, wrapped to
// note the time after each drawing that lit or put out the lamp, and each wait's start and end.
// Prints figures; never fails on a slow machine. Figures are Wine's, not Windows'.
//   wine_keying_bench [--paris]   the initial sentence at the default settings, or "PARIS PARIS"
//                                 at 25 WPM
// Prints "model tone START_MS LENGTH_MS" for every tone of the send as the timing rules give it,
// then "lit NS" and "dark NS" on steady_clock (Wine's monotonic raw clock), then how long the
// lamp's drawings took, how late the waits ended and the work between them on the window thread.

#include "SendModel.h"
#include "output/ToneGenerator.h"
#include "resources/Resource.h"
#include "settings/AtomicFile.h"
#include "settings/SettingsStore.h"
#include "ui/framework/win32/Win32.h"
#include "ui/framework/win32/WinApp.h"
#include "ui/windows/SenderDlg.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace kestrin;
using Clock = std::chrono::steady_clock;

struct Mark {
    Clock::time_point at;
    bool lit;
};

// What the lamp's drawings did during the send.
struct LampLog {
    std::vector<Mark> marks; // each lighting and putting out, once drawn
    std::vector<Clock::duration> drawing; // how long each drawing call took, the window's included
    bool lit = false;
};

// The real surface; after each drawing that changes the lamp, the time it returned.
class TimedSurface final : public LampSurface {
public:
    TimedSurface(std::unique_ptr<LampSurface> real, LampLog& log)
        : m_real(std::move(real))
        , m_log(log)
    { }

    void FillSolid(const PixelRect& rect, Colour colour) override
    {
        const auto start = Clock::now();
        m_real->FillSolid(rect, colour);
        const auto now = Clock::now();
        m_log.drawing.push_back(now - start);
        // Each element also fills before its lamp lights, over a lamp already dark.
        if (m_log.lit)
            m_log.marks.push_back({ now, false });
        m_log.lit = false;
    }

    void Ellipse(const PixelRect& rect) override
    {
        const auto start = Clock::now();
        m_real->Ellipse(rect);
        const auto now = Clock::now();
        m_log.drawing.push_back(now - start);
        m_log.marks.push_back({ now, true });
        m_log.lit = true;
    }

private:
    std::unique_ptr<LampSurface> m_real;
    LampLog& m_log;
};

// The program's own sleeper; notes when each wait began and ended, as the preloaded trace of the
// Linux benchmark does.
class TimedSleeper final : public Sleeper {
public:
    struct Wait {
        Clock::time_point start, end;
        int ms;
    };

    TimedSleeper() { m_waits.reserve(8192); }

    void Sleep(int ms) override
    {
        if (ms <= 0) {
            m_real.Sleep(ms);
            return;
        }
        const auto start = Clock::now();
        m_real.Sleep(ms);
        m_waits.push_back({ start, Clock::now(), ms });
    }
    void SendStarts() override { m_real.SendStarts(); }
    void SendEnds() override { m_real.SendEnds(); }
    Clock::time_point Now() override { return m_real.Now(); }

    const std::vector<Wait>& Waits() const { return m_waits; }

private:
    TerminationSleeper m_real;
    std::vector<Wait> m_waits;
};

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void PrintFigures(const char* name, std::vector<double> v)
{
    if (v.empty())
        return;
    std::sort(v.begin(), v.end());
    const auto at = [&](double p) {
        return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
    };
    std::printf("%-30s median %7.3f  p95 %7.3f  max %7.3f ms (n=%zu)\n", name, at(0.5), at(0.95),
        at(1.0), v.size());
}

constexpr UINT_PTR kClickTimer = 1;
constexpr UINT kSettleMs = 1000;

// A second after the window opened, as a user would and as the Linux benchmark waits: the tone
// device has opened and the window has been drawn. Cancel waits in the queue until the send,
// which runs inside the click's handler, is over.
void CALLBACK ClickGo(HWND window, UINT, UINT_PTR id, DWORD)
{
    KillTimer(window, id);
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_GO, BN_CLICKED),
        reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_GO)));
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

class BenchDlg final : public CSenderDlg {
public:
    BenchDlg(const KeyerServices& services, std::string text)
        : CSenderDlg(services)
        , m_text(std::move(text))
    {
        // Nothing allocates during the send.
        m_log.marks.reserve(4096);
        m_log.drawing.reserve(8192);
    }

    std::unique_ptr<LampSurface> GetLampSurface() override
    {
        auto real = CSenderDlg::GetLampSurface();
        if (real == nullptr)
            return nullptr;
        return std::make_unique<TimedSurface>(std::move(real), m_log);
    }

    const LampLog& Log() const { return m_log; }

protected:
    bool OnInitDialog() override
    {
        const bool focus = CSenderDlg::OnInitDialog();
        SetDlgItemText(IDC_TEXT, m_text);
        (void)SetTimer(GetSafeHwnd(), kClickTimer, kSettleMs, &ClickGo);
        return focus;
    }

private:
    std::string m_text;
    LampLog m_log;
};

} // namespace

int main(int argc, char** argv)
{
    const bool paris = argc > 1 && std::strcmp(argv[1], "--paris") == 0;
    const std::string text = paris ? "PARIS PARIS" : bench::kInitialText;
    KeyerSettings settings;
    if (paris)
        settings.speed = 25;

    LetWritesPastTheSizeLimitFail();
    // As WinMain: opened in the background, the window does not wait for it.
    ToneGenerator tones;
    tones.OpenAsync();
    // As the application object holds them.
    TimedSleeper sleeper;
    ThreadStarter workers;
    BenchDlg dlg(
        KeyerServices { sleeper, workers, tones.AsToneFunction(), tones.AsPrepareFunction() },
        text);
    // The window loads its settings from the file named after this executable, in the benchmark's
    // own Wine prefix: no user's settings are read or written.
    SaveKeyerSettings(dlg.SettingsFile(), settings);

    const bench::Model model = bench::ModelOf(text, settings);
    std::printf("text \"%s\", tone %d Hz, speed %d, gap %d: %zu tones, %lld ms\n", text.c_str(),
        settings.tone, settings.speed, settings.gap, model.toneMs.size(),
        static_cast<long long>(model.totalMs));
    for (std::size_t i = 0; i < model.toneMs.size(); ++i)
        std::printf(
            "model tone %lld %d\n", static_cast<long long>(model.toneStartMs[i]), model.toneMs[i]);
    std::fflush(stdout);

    (void)dlg.DoModal();
    for (const Mark& mark : dlg.Log().marks)
        std::printf("%s %lld\n", mark.lit ? "lit" : "dark",
            static_cast<long long>(mark.at.time_since_epoch().count()));
    std::vector<double> drawing;
    for (const auto d : dlg.Log().drawing)
        drawing.push_back(Ms(d));
    PrintFigures("a lamp drawing, shown", drawing);
    // The window thread between its waits, where the model has the same waits.
    const auto& waits = sleeper.Waits();
    if (waits.size() == model.waitsMs.size()) {
        std::vector<double> overshoot, between, lighting, darkening;
        for (std::size_t i = 0; i < waits.size(); ++i) {
            overshoot.push_back(Ms(waits[i].end - waits[i].start) - waits[i].ms);
            if (i > 0)
                between.push_back(Ms(waits[i].start - waits[i - 1].end));
        }
        for (const std::size_t w : model.toneWait) {
            if (w > 0)
                lighting.push_back(between[w - 1]);
            if (w < between.size())
                darkening.push_back(between[w]);
        }
        PrintFigures("wait overshoot", overshoot);
        PrintFigures("work between two waits", between);
        PrintFigures("  lamp lit + worker started", lighting);
        PrintFigures("  lamp put out", darkening);
    } else {
        std::printf("%zu waits, %zu in the model\n", waits.size(), model.waitsMs.size());
    }
    std::fflush(stdout);
    // The last tone reaches the sink before the device closes.
    Sleep(300);
    return 0;
}
