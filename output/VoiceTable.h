#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace kestrin {

// The voices on their way from the callers to the one thread that renders them: a fixed table of
// slots, each holding its voice's id and state in one atomic word, so that callers add and
// withdraw and the renderer takes and frees without a lock (a caller preempted while holding a
// lock would starve the device). A caller can only ever withdraw its own voice. Knows nothing of
// sound beyond a voice's frequency, start and length.
class VoiceTable {
public:
    // Voices that can be pending or sounding at once; a further one is refused.
    static constexpr int kSlots = 32;

    // A voice as a caller holds it: its samples are [start, end). Empty when refused.
    struct Voice {
        std::uint64_t id = 0;
        int slot = -1;
        std::int64_t start = 0;
        std::int64_t end = 0;
        bool Empty() const { return slot < 0; }
    };

    // A voice as the renderer holds it once taken.
    struct Taken {
        int slot = 0;
        std::uint64_t id = 0;
        int frequencyHz = 0;
        std::int64_t start = 0;
        std::int64_t length = 0;
        std::int64_t End() const { return start + length; }
    };

    // Claims a slot and queues a voice starting at the later of start and notBefore, read only
    // once the slot is claimed (see ToneMixer::Add). Empty when the table is full or stopped.
    Voice Add(int frequencyHz, std::int64_t length, std::int64_t start,
        const std::atomic<std::int64_t>& notBefore);

    // Frees a voice that the renderer has not taken yet; false when it had.
    bool Withdraw(const Voice& voice);

    // For the renderer: moves the queued voices into out (up to room of them), starting no
    // earlier than notBefore. Returns how many. After Stop, takes none.
    template <typename Sink> int TakeQueued(std::int64_t notBefore, int room, Sink&& out);

    // For the renderer: frees a voice it took.
    void Free(const Taken& voice);

    // True once the voice has been freed (or its slot holds a later voice).
    bool Freed(const Voice& voice) const;
    // True while the renderer holds the voice.
    bool HeldByRenderer(const Voice& voice) const;

    // Refuses further voices.
    void Stop() { m_stopped.store(true); }
    bool Stopped() const { return m_stopped.load(); }

    // Slots not free: for tests.
    int InUse() const;

private:
    enum State : std::uint64_t { kFree, kClaimed, kQueued, kTaken };
    static constexpr int kStateBits = 2;
    static constexpr std::uint64_t kStateMask = 3;

    struct Slot {
        std::atomic<std::uint64_t> tag { kFree };
        // Written by the caller while claimed, read by the renderer once it has taken the voice.
        int frequencyHz = 0;
        std::int64_t start = 0;
        std::int64_t length = 0;
    };

    static std::uint64_t Tag(std::uint64_t id, State state) { return id << kStateBits | state; }
    Slot& SlotOf(int i) { return m_slots[static_cast<std::size_t>(i)]; }
    const Slot& SlotOf(int i) const { return m_slots[static_cast<std::size_t>(i)]; }

    std::array<Slot, kSlots> m_slots {};
    std::atomic<std::uint64_t> m_nextId { 1 };
    std::atomic<bool> m_stopped { false };
};

template <typename Sink> int VoiceTable::TakeQueued(std::int64_t notBefore, int room, Sink&& out)
{
    if (m_stopped.load())
        return 0;
    int taken = 0;
    for (int i = 0; i < kSlots && taken < room; ++i) {
        Slot& slot = SlotOf(i);
        std::uint64_t tag = slot.tag.load(std::memory_order_relaxed);
        if ((tag & kStateMask) != kQueued
            || !slot.tag.compare_exchange_strong(
                tag, Tag(tag >> kStateBits, kTaken), std::memory_order_acq_rel))
            continue;
        const std::int64_t start = slot.start < notBefore ? notBefore : slot.start;
        out(Taken { i, tag >> kStateBits, slot.frequencyHz, start, slot.length });
        ++taken;
    }
    return taken;
}

} // namespace kestrin
