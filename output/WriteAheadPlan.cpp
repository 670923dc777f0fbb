#include "output/WriteAheadPlan.h"

#include "output/SampleClock.h"

#include <algorithm>

namespace kestrin {

WriteAheadPlan::WriteAheadPlan(std::int64_t queueSamples, std::int64_t requestSamples)
    : m_queue(queueSamples)
    , m_request(requestSamples)
{ }

std::int64_t WriteAheadPlan::GuardSamples() const
{
    return m_request + 2 * kSamplesPerMs;
}

void WriteAheadPlan::QueueChanged(std::int64_t queueSamples, std::int64_t requestSamples)
{
    m_queue = queueSamples;
    m_request = requestSamples;
}

WriteAheadPlan::Range WriteAheadPlan::Request(std::int64_t frames)
{
    m_taken = std::max(m_taken, m_written + frames - m_queue);
    return { m_written, std::max<std::int64_t>(frames, 0) };
}

WriteAheadPlan::Range WriteAheadPlan::Rewrite(
    std::int64_t start, std::int64_t firstChangeable) const
{
    const std::int64_t from = std::max(start, firstChangeable);
    if (from >= m_written)
        return { from, 0 };
    return { from, m_written - from };
}

} // namespace kestrin
