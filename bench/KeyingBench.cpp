// Measures on-air timing of a whole send: starts the real program on the X server and sound
// server of the environment (DISPLAY, PULSE_SERVER; keying_bench.sh starts private ones), presses
// "Go !" with xdotool, records the null sink's monitor, and compares every silence between two
// tones with the sum of the waits that the timing rules give for it. A preloaded library
// (SleepTrace.cpp) notes the start and end of every wait of the window thread, which gives the work
// done between two waits and when the lamp lit. Prints figures; never fails on a slow machine.
//
//   keying_bench --kestrin PATH --trace-lib PATH [--text TEXT] [--speed N] [--gap N] [--tone N]
// Without --text the window's initial sentence is sent.

#include "ParecRecorder.h"
#include "SendModel.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

namespace {

using namespace kestrin;
using bench::Clock;
using bench::kInitialText;
using bench::Model;
using bench::ModelOf;
using bench::Percentile;

struct Wait {
    long long startNs;
    long long endNs;
    long long askedNs;
};

constexpr long long kSliceNs = 100000000;

std::vector<Wait> ReadTrace(const std::string& path)
{
    std::vector<Wait> waits;
    std::ifstream in(path);
    Wait w {};
    long long lastAskedNs = 0;
    while (in >> w.startNs >> w.endNs >> w.askedNs) {
        // The window thread looks at the display every 100 ms of a wait: a longer one is traced
        // in slices, each but the last asking for 100 ms to the microsecond (a whole wait asks for
        // its end less the wake margin) and the next starting as it ends (later on a busy machine,
        // after looking at the display). Joined back into the wait they make, which asks for the
        // last slice's deadline.
        const bool slice = lastAskedNs > kSliceNs - 10000 && lastAskedNs <= kSliceNs;
        lastAskedNs = w.askedNs;
        if (slice && !waits.empty() && w.startNs - waits.back().endNs < 50000000) {
            Wait& whole = waits.back();
            whole.askedNs = w.startNs + w.askedNs - whole.startNs;
            whole.endNs = w.endNs;
            continue;
        }
        waits.push_back(w);
    }
    return waits;
}

// When a wait really ended: the program sleeps until shortly before the end of each wait and
// watches the clock for the rest, which the trace does not see.
long long EndOf(const Wait& wait, int modelMs)
{
    return std::max(wait.endNs, wait.startNs + modelMs * 1000000LL);
}

// The first run of traced waits that asks what the model waits, to within a millisecond short: a
// timed wait asks for a deadline shortly before the wait's end, reckoned a little before.
std::optional<std::size_t> FindSend(const std::vector<Wait>& trace, const Model& model)
{
    const std::size_t n = model.waitsMs.size();
    for (std::size_t at = 0; at + n <= trace.size(); ++at) {
        bool same = true;
        for (std::size_t i = 0; i < n && same; ++i)
            same = trace[at + i].askedNs > (model.waitsMs[i] - 1) * 1000000LL
                && trace[at + i].askedNs <= model.waitsMs[i] * 1000000LL;
        if (same)
            return at;
    }
    return std::nullopt;
}

std::string Run(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, pipe) != nullptr)
            out += buf;
        pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

std::string Quoted(const std::string& s)
{
    std::string q = "'";
    for (const char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

void PrintFigures(const char* name, std::vector<double> v, const char* unit)
{
    if (v.empty()) {
        std::printf("%-34s none\n", name);
        return;
    }
    std::printf("%-34s median %7.3f  p95 %7.3f  max %7.3f  min %7.3f %s (n=%zu)\n", name,
        Percentile(v, 0.5), Percentile(v, 0.95), *std::max_element(v.begin(), v.end()),
        *std::min_element(v.begin(), v.end()), unit, v.size());
}

} // namespace

int main(int argc, char** argv)
{
    std::map<std::string, std::string> opt { { "--text", "" }, { "--speed", "20" },
        { "--gap", "1" }, { "--tone", "800" }, { "--kestrin", "" }, { "--trace-lib", "" } };
    for (int i = 1; i + 1 < argc; i += 2)
        opt[argv[i]] = argv[i + 1];
    if (opt["--kestrin"].empty() || opt["--trace-lib"].empty()) {
        std::fprintf(stderr,
            "usage: keying_bench --kestrin PATH --trace-lib PATH [--text T] "
            "[--speed N] [--gap N] [--tone N]\n");
        return 2;
    }
    const KeyerSettings settings { std::atoi(opt["--tone"].c_str()),
        std::atoi(opt["--speed"].c_str()), std::atoi(opt["--gap"].c_str()) };
    const std::string text = opt["--text"].empty() ? kInitialText : opt["--text"];
    const Model model = ModelOf(text, settings);

    char dirTemplate[] = "/tmp/kestrin-keying.XXXXXX";
    const std::string dir = mkdtemp(dirTemplate);
    Run("mkdir -p " + dir + "/config && mkdir -m 700 " + dir + "/runtime");
    std::ofstream(dir + "/config/kestrin.INI")
        << "[parms]\nTone=" << settings.tone << "\nSpeed=" << settings.speed
        << "\nGap=" << settings.gap << "\n";
    const std::string trace = dir + "/trace";

    bench::Recorder recorder("rec.monitor");
    if (!recorder.Ok())
        return 1;
    recorder.WaitForData();

    const std::string start = "env -u SDL_AUDIODRIVER -u QT_QPA_PLATFORM XDG_CONFIG_HOME=" + dir
        + "/config XDG_RUNTIME_DIR=" + dir + "/runtime LD_PRELOAD=" + Quoted(opt["--trace-lib"])
        + " KESTRIN_SLEEP_TRACE=" + trace + " " + Quoted(opt["--kestrin"]) + " >" + dir
        + "/out 2>&1 & echo $!";
    const std::string pid = Run(start);
    const std::string wid
        = Run("timeout 20 xdotool search --sync --onlyvisible --name '^Kestrin$' | head -n1");
    if (wid.empty()) {
        std::fprintf(stderr, "no Kestrin window\n");
        return 1;
    }
    // Let the tone device open and the window settle before the send.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    Run("xdotool windowfocus --sync " + wid);
    if (!opt["--text"].empty())
        Run("xdotool key Tab ctrl+a && xdotool type --delay 20 " + Quoted(text)
            + " && xdotool key shift+Tab");
    recorder.ResetClock();
    Run("xdotool key Return");
    std::this_thread::sleep_for(std::chrono::milliseconds(model.totalMs + 1500));
    Run("xdotool key Escape");
    for (int i = 0; i < 100 && Run("kill -0 " + pid + " 2>/dev/null && echo up") == "up"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    recorder.Stop();
    // The null sink runs on the monotonic clock; a fit over these few seconds would tilt lamp to
    // sound by its error (up to 0.5 ms a second was seen).
    const double fittedPpm = recorder.RatePpm();
    recorder.UseNominalRate();

    const auto waits = ReadTrace(trace);
    const auto at = FindSend(waits, model);
    // A send's silences are never shorter than 1 ms; a hole in the stream may be.
    const auto tones = bench::FindTones(recorder.Samples(), bench::kRecordSamplesPerMs);
    std::printf("text %zu characters, speed %d, gap %d: %zu tones and %zu waits in the model, "
                "%zu tones heard, %zu waits traced\n",
        text.size(), settings.speed, settings.gap, model.toneMs.size(), model.waitsMs.size(),
        tones.size(), waits.size());
    if (!at || tones.size() != model.toneMs.size()) {
        // More tones than keyed: a hole split one.
        std::printf("the send was not found whole in the trace or the recording\n");
        // What the window thread asked for, to see where the trace parts from the model.
        std::printf("traced waits (ms asked):");
        for (std::size_t i = 0; i < waits.size() && i < 16; ++i)
            std::printf(" %.3f", double(waits[i].askedNs) / 1e6);
        std::printf("\nmodel waits (ms):");
        for (std::size_t i = 0; i < model.waitsMs.size() && i < 16; ++i)
            std::printf(" %d", model.waitsMs[i]);
        std::printf("\n");
        std::printf("summary: holes %zu\n",
            tones.size() > model.toneMs.size() ? tones.size() - model.toneMs.size() : 0);
        Run("rm -rf " + dir);
        return 1;
    }

    // Work between waits and the overshoot of each wait, on the window thread.
    std::vector<double> between, overshoot;
    for (std::size_t i = 0; i < model.waitsMs.size(); ++i) {
        overshoot.push_back(
            double(EndOf(waits[*at + i], model.waitsMs[i]) - waits[*at + i].startNs) / 1e6
            - model.waitsMs[i]);
        if (i > 0)
            between.push_back(
                double(waits[*at + i].startNs - EndOf(waits[*at + i - 1], model.waitsMs[i - 1]))
                / 1e6);
    }

    // Silences on air against the model, and the lamp against the sound.
    const double msPerSample = 1000.0 / bench::kRecordRate;
    std::vector<double> gapError, threadError, lampToSound, lengthError;
    for (std::size_t i = 0; i < tones.size(); ++i) {
        const auto& t = tones[i];
        lengthError.push_back(double(t.last + 1 - t.first) * msPerSample - double(model.toneMs[i]));
        const Wait& lit = waits[*at + model.toneWait[i]];
        const auto heardNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
            recorder.TimeOf(t.first).time_since_epoch())
                                 .count();
        lampToSound.push_back(double(heardNs - lit.startNs) / 1e6);
        if (i + 1 < tones.size()) {
            const double heard = double(tones[i + 1].first - (t.last + 1)) * msPerSample;
            const double modelled
                = double(model.toneStartMs[i + 1] - (model.toneStartMs[i] + model.toneMs[i]));
            gapError.push_back(heard - modelled);
            // The same spacing as the window thread kept it: from one lamp lit to the next.
            const Wait& nextLit = waits[*at + model.toneWait[i + 1]];
            threadError.push_back(double(nextLit.startNs - lit.startNs) / 1e6
                - double(model.toneStartMs[i + 1] - model.toneStartMs[i]));
        }
    }
    const double heardSpan = double(tones.back().first - tones.front().first) * msPerSample;
    const double modelSpan = double(model.toneStartMs.back() - model.toneStartMs.front());

    PrintFigures("work between two waits", between, "ms");
    // Where it goes: lighting the lamp and starting the worker, and putting the lamp out.
    std::vector<double> lighting, darkening;
    for (const std::size_t w : model.toneWait) {
        lighting.push_back(between[w - 1]);
        if (w < between.size())
            darkening.push_back(between[w]);
    }
    PrintFigures("  lamp lit + worker started", lighting, "ms");
    PrintFigures("  lamp dark", darkening, "ms");
    PrintFigures("wait overshoot", overshoot, "ms");
    PrintFigures("gap error (heard - model)", gapError, "ms");
    PrintFigures("  of it on the window thread", threadError, "ms");
    // The rest: how far the sound strayed from the lamps' spacing.
    std::vector<double> audioError;
    for (std::size_t i = 0; i < gapError.size(); ++i)
        audioError.push_back(gapError[i] - threadError[i]);
    PrintFigures("  of it on the audio side", audioError, "ms");
    PrintFigures("tone length error", lengthError, "ms");
    PrintFigures("lamp lit -> sound", lampToSound, "ms");
    std::printf("%-34s %.1f ms over %.1f s (heard %.1f ms, model %lld ms)\n",
        "drift, first to last tone", heardSpan - modelSpan, modelSpan / 1000.0, heardSpan,
        static_cast<long long>(modelSpan));
    std::printf(
        "%-34s %.0f ppm (not used: mapped at 48 kHz)\n", "recording's fitted rate", fittedPpm);
    std::printf("lamp lit -> sound, tone by tone (ms):");
    for (const double ms : lampToSound)
        std::printf(" %.2f", ms);
    std::printf("\n");
    std::printf("%-34s %.3f ms (p95 - p5 %.3f ms)\n", "lamp lit -> sound spread",
        *std::max_element(lampToSound.begin(), lampToSound.end())
            - *std::min_element(lampToSound.begin(), lampToSound.end()),
        Percentile(lampToSound, 0.95) - Percentile(lampToSound, 0.05));
    const double median = Percentile(gapError, 0.5);
    const double spread = *std::max_element(lampToSound.begin(), lampToSound.end())
        - *std::min_element(lampToSound.begin(), lampToSound.end());
    std::printf("%-34s %.3f ms (median %.3f ms)\n", "first gap error - median",
        gapError.empty() ? 0.0 : gapError.front() - median, median);
    // One line per send, for the script's table.
    const auto largest = [](const std::vector<double>& v) {
        return *std::max_element(
            v.begin(), v.end(), [](double a, double b) { return std::abs(a) < std::abs(b); });
    };
    std::printf("summary: holes 0 gap-median %.3f gap-p95 %.3f gap-max %.3f first-minus-median "
                "%.3f (window thread %.3f) audio-p95 %.3f audio-max %.3f lamp-sound-median %.3f "
                "lamp-sound-spread %.3f\n",
        median, Percentile(gapError, 0.95), largest(gapError), gapError.front() - median,
        threadError.front() - Percentile(threadError, 0.5), Percentile(audioError, 0.95),
        largest(audioError), Percentile(lampToSound, 0.5), spread);
    Run("rm -rf " + dir);
    return 0;
}
