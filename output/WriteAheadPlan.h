#pragma once

#include <cstdint>

namespace kestrin {

// The bookkeeping of a stream kept written far ahead of its sink, apart from any audio library:
// where the sink has got to, what to append when it asks for more, and what to write again when
// a voice arrives in what is already queued. Positions are samples of the stream. Not
// thread-safe: the stream's own thread drives it.
class WriteAheadPlan {
public:
    struct Range {
        std::int64_t from = 0;
        std::int64_t count = 0;
        bool Empty() const { return count <= 0; }
        friend bool operator==(const Range&, const Range&) = default;
    };

    // queueSamples: what the sink keeps queued; requestSamples: what it takes, and asks for, at a
    // time.
    WriteAheadPlan(std::int64_t queueSamples, std::int64_t requestSamples);

    // How far past what the sink has taken nothing may change any more: the sink may take another
    // request's worth before that request reaches us, and a little more.
    std::int64_t GuardSamples() const;

    // The sink asks for frames more: it has taken all but the queue of what was written. Returns
    // what to append. A request that would put the sink behind where it was (after the server
    // grew its queue) leaves it where it was: what it may have taken is never changed again.
    Range Request(std::int64_t frames);
    // The server changed the queue it keeps (PipeWire adapts it, for one).
    void QueueChanged(std::int64_t queueSamples, std::int64_t requestSamples);
    // Frames of the last Request written.
    void Appended(std::int64_t frames) { m_written += frames; }

    // What to write again for a voice that starts at start when nothing before firstChangeable may
    // change: from the later of the two up to what is written, however long that is. Empty when
    // none of it is written yet: the next append renders it.
    Range Rewrite(std::int64_t start, std::int64_t firstChangeable) const;

    std::int64_t Taken() const { return m_taken; }
    std::int64_t Written() const { return m_written; }

private:
    std::int64_t m_queue;
    std::int64_t m_request;
    std::int64_t m_taken = 0;
    std::int64_t m_written = 0;
};

} // namespace kestrin
