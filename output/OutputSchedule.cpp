#include "output/OutputSchedule.h"

#include <algorithm>

namespace kestrin {

OutputSchedule::OutputSchedule(const Timing& timing)
    : m_timing(timing)
    , m_backOff(timing.firstRetry)
{ }

bool OutputSchedule::Wanted(Clock::time_point now) const
{
    return m_busyUntil && now < *m_busyUntil + m_timing.idle;
}

void OutputSchedule::Want(Clock::time_point now, Clock::time_point busyUntil)
{
    // After a quiet spell the device is tried at once, whatever the last back-off was.
    if (!Wanted(now)) {
        m_retryAt = now;
        m_backOff = m_timing.firstRetry;
    }
    m_busyUntil = std::max(m_busyUntil.value_or(busyUntil), busyUntil);
}

void OutputSchedule::SendStarts(Clock::time_point now)
{
    Want(now, now);
    m_retryAt = now;
}

void OutputSchedule::Opened()
{
    m_retryAt.reset();
    m_backOff = m_timing.firstRetry;
    m_lost = false;
}

void OutputSchedule::OpenFailed(Clock::time_point now)
{
    m_retryAt = now + m_backOff;
    m_backOff = std::min(m_backOff * 2, m_timing.longestRetry);
}

void OutputSchedule::Closed(Clock::time_point now)
{
    // A lost device is tried again at once: a server restarting is often back already.
    m_retryAt = m_lost ? std::optional(now) : std::nullopt;
    m_lost = false;
}

OutputSchedule::Decision OutputSchedule::Next(Clock::time_point now, bool deviceOpen) const
{
    if (deviceOpen) {
        if (m_lost || !Wanted(now))
            return { Action::Close, {} };
        return { Action::Wait, *m_busyUntil + m_timing.idle };
    }
    if (!Wanted(now) || !m_retryAt)
        return { Action::Wait, {} };
    if (*m_retryAt <= now)
        return { Action::Open, {} };
    return { Action::Wait, std::min(*m_retryAt, *m_busyUntil + m_timing.idle) };
}

} // namespace kestrin
