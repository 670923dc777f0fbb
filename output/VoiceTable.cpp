#include "output/VoiceTable.h"

#include <algorithm>

namespace kestrin {

VoiceTable::Voice VoiceTable::Add(int frequencyHz, std::int64_t length, std::int64_t start,
    const std::atomic<std::int64_t>& notBefore)
{
    if (m_stopped.load())
        return {};
    for (int i = 0; i < kSlots; ++i) {
        Slot& slot = SlotOf(i);
        std::uint64_t tag = slot.tag.load(std::memory_order_relaxed);
        if ((tag & kStateMask) != kFree)
            continue;
        const std::uint64_t id = m_nextId.fetch_add(1);
        if (!slot.tag.compare_exchange_strong(tag, Tag(id, kClaimed), std::memory_order_acquire))
            continue;
        const std::int64_t from = std::max(start, notBefore.load());
        slot.frequencyHz = frequencyHz;
        slot.start = from;
        slot.length = length;
        slot.tag.store(Tag(id, kQueued), std::memory_order_release);
        return { id, i, from, from + length };
    }
    return {};
}

bool VoiceTable::Withdraw(const Voice& voice)
{
    std::uint64_t queued = Tag(voice.id, kQueued);
    return SlotOf(voice.slot)
        .tag.compare_exchange_strong(queued, Tag(voice.id, kFree), std::memory_order_acq_rel);
}

void VoiceTable::Free(const Taken& voice)
{
    SlotOf(voice.slot).tag.store(Tag(voice.id, kFree), std::memory_order_release);
}

bool VoiceTable::Freed(const Voice& voice) const
{
    // Ids only grow: a slot holding a later voice was freed by this one first.
    const std::uint64_t tag = SlotOf(voice.slot).tag.load(std::memory_order_acquire);
    const std::uint64_t id = tag >> kStateBits;
    return id > voice.id || (id == voice.id && (tag & kStateMask) == kFree);
}

bool VoiceTable::HeldByRenderer(const Voice& voice) const
{
    return SlotOf(voice.slot).tag.load(std::memory_order_acquire) == Tag(voice.id, kTaken);
}

int VoiceTable::InUse() const
{
    return static_cast<int>(std::count_if(m_slots.begin(), m_slots.end(),
        [](const Slot& slot) { return (slot.tag.load() & kStateMask) != kFree; }));
}

} // namespace kestrin
