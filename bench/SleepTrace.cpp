// Preloaded into the program by the keying benchmark: notes every sleep of the main thread (start
// and end on the monotonic clock, and what was asked), whether a plain sleep or a timed wait on a
// condition variable, and writes them, one line each, to the file named by KESTRIN_SLEEP_TRACE
// when the program ends. The records stay in memory until then, so
// the trace adds nothing but two clock reads to the work between two waits.

#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

struct Record {
    timespec start;
    timespec end;
    long askedNs;
};

std::array<Record, 1 << 16> g_records;
std::size_t g_count = 0;

using NanosleepFn = int (*)(const timespec*, timespec*);
using ClockNanosleepFn = int (*)(clockid_t, int, const timespec*, timespec*);
using ClockwaitFn = int (*)(pthread_cond_t*, pthread_mutex_t*, clockid_t, const timespec*);

bool OnMainThread()
{
    return syscall(SYS_gettid) == getpid();
}

void Note(const timespec& start, const timespec& asked)
{
    timespec end {};
    clock_gettime(CLOCK_MONOTONIC, &end);
    if (g_count < g_records.size())
        g_records[g_count++] = { start, end, asked.tv_sec * 1000000000L + asked.tv_nsec };
}

struct Writer {
    ~Writer()
    {
        const char* path = std::getenv("KESTRIN_SLEEP_TRACE");
        if (path == nullptr)
            return;
        FILE* out = std::fopen(path, "w");
        if (out == nullptr)
            return;
        const auto ns = [](const timespec& t) { return t.tv_sec * 1000000000LL + t.tv_nsec; };
        for (std::size_t i = 0; i < g_count; ++i)
            std::fprintf(out, "%lld %lld %ld\n", ns(g_records[i].start), ns(g_records[i].end),
                g_records[i].askedNs);
        std::fclose(out);
    }
} g_writer;

} // namespace

extern "C" int nanosleep(const timespec* asked, timespec* left)
{
    static const auto real = reinterpret_cast<NanosleepFn>(dlsym(RTLD_NEXT, "nanosleep"));
    if (!OnMainThread())
        return real(asked, left);
    timespec start {};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const int result = real(asked, left);
    Note(start, *asked);
    return result;
}

extern "C" int clock_nanosleep(clockid_t clock, int flags, const timespec* asked, timespec* left)
{
    static const auto real
        = reinterpret_cast<ClockNanosleepFn>(dlsym(RTLD_NEXT, "clock_nanosleep"));
    if (!OnMainThread() || flags != 0)
        return real(clock, flags, asked, left);
    timespec start {};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const int result = real(clock, flags, asked, left);
    Note(start, *asked);
    return result;
}

extern "C" int pthread_cond_clockwait(
    pthread_cond_t* cond, pthread_mutex_t* mutex, clockid_t clock, const timespec* until)
{
    static const auto real
        = reinterpret_cast<ClockwaitFn>(dlsym(RTLD_NEXT, "pthread_cond_clockwait"));
    if (!OnMainThread() || clock != CLOCK_MONOTONIC)
        return real(cond, mutex, clock, until);
    timespec start {};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const int result = real(cond, mutex, clock, until);
    const long long askedNs
        = (until->tv_sec - start.tv_sec) * 1000000000LL + (until->tv_nsec - start.tv_nsec);
    Note(start, { static_cast<time_t>(askedNs / 1000000000LL), askedNs % 1000000000LL });
    return result;
}
