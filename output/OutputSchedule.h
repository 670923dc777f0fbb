#pragma once

#include <chrono>
#include <optional>

namespace kestrin {

// When the tone output opens its device, closes it, and tries again, on any clock so that tests
// can run it on a virtual one. The device is wanted from a send's start, or a tone's call, until
// the idle time after its last tone ends; then it is closed, so that an idle program costs nothing.
// A device that fails to open, or is lost, is tried again with a back-off while it is wanted, and
// not at all while it is not: the next send tries at once.
class OutputSchedule {
public:
    using Clock = std::chrono::steady_clock;

    struct Timing {
        Clock::duration idle = std::chrono::seconds(5);
        Clock::duration firstRetry = std::chrono::milliseconds(50);
        Clock::duration longestRetry = std::chrono::milliseconds(400);
    };

    enum class Action { Wait, Open, Close };
    struct Decision {
        Action action = Action::Wait;
        // For Wait: when to look again; none, until told something.
        std::optional<Clock::time_point> until;
    };

    explicit OutputSchedule(const Timing& timing);

    // Sound is wanted from now until busyUntil (the end of a tone; now for a send's start).
    void Want(Clock::time_point now, Clock::time_point busyUntil);
    // A send starts: as Want, and a device that is not open is tried at once, whatever the
    // back-off: the server may have come back since the last try.
    void SendStarts(Clock::time_point now);
    // The device opened, failed to open, or was lost while open.
    void Opened();
    void OpenFailed(Clock::time_point now);
    void Lost() { m_lost = true; }
    // The device was closed (after Close was decided).
    void Closed(Clock::time_point now);

    Decision Next(Clock::time_point now, bool deviceOpen) const;

private:
    bool Wanted(Clock::time_point now) const;

    Timing m_timing;
    std::optional<Clock::time_point> m_busyUntil;
    std::optional<Clock::time_point> m_retryAt;
    Clock::duration m_backOff;
    bool m_lost = false;
};

} // namespace kestrin
