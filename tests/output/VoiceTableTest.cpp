// The voice table under many threads at once: runs under ThreadSanitizer.

#include "output/VoiceTable.h"

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace kestrin {
namespace {

// Callers add voices and withdraw half of them at once; a renderer takes what is queued and
// frees it a pass later; the table is stopped in the middle. Every voice taken is exactly one
// that a caller added and did not withdraw, none is taken twice, and no slot stays in use.
TEST(VoiceTableThreads, ManyCallersAndARendererLeaveNoSlotInUse)
{
    constexpr int kCallers = 6;
    constexpr int kVoicesEach = 4000;
    VoiceTable table;
    const std::atomic<std::int64_t> notBefore { 0 };
    std::atomic<std::size_t> takenCount { 0 };
    std::atomic<bool> callersDone { false };

    struct Added {
        std::uint64_t id;
        bool withdrawn;
    };
    std::vector<std::vector<Added>> added(kCallers);
    std::vector<VoiceTable::Taken> taken;

    std::thread renderer([&] {
        std::vector<VoiceTable::Taken> holding;
        for (;;) {
            const bool last = callersDone.load();
            for (const auto& voice : holding)
                table.Free(voice);
            holding.clear();
            (void)table.TakeQueued(notBefore.load(), VoiceTable::kSlots,
                [&](const VoiceTable::Taken& voice) { holding.push_back(voice); });
            taken.insert(taken.end(), holding.begin(), holding.end());
            takenCount = taken.size();
            if (last && holding.empty())
                break;
        }
    });
    std::vector<std::thread> callers;
    for (int c = 0; c < kCallers; ++c) {
        callers.emplace_back([&, c] {
            for (int i = 0; i < kVoicesEach; ++i) {
                // The caller's index and the voice's number, for the renderer to check.
                const auto voice = table.Add(c + 1, 1, i, notBefore);
                if (voice.Empty()) {
                    if (table.Stopped())
                        break;
                    continue;
                }
                bool withdrawn = false;
                if (i % 2 == 0)
                    withdrawn = table.Withdraw(voice);
                // The others wait for the renderer, as a caller waits for its tone, and give up
                // once the table is stopped.
                while (!withdrawn && !table.Freed(voice)) {
                    if (table.Stopped())
                        withdrawn = table.Withdraw(voice);
                    std::this_thread::yield();
                }
                added[static_cast<std::size_t>(c)].push_back({ voice.id, withdrawn });
            }
        });
    }
    // Stopped in the middle of the callers' work.
    while (takenCount.load() < kCallers * kVoicesEach / 8)
        std::this_thread::yield();
    table.Stop();
    for (auto& caller : callers)
        caller.join();
    callersDone = true;
    renderer.join();

    EXPECT_EQ(table.InUse(), 0);
    std::vector<std::uint64_t> takenIds;
    for (const auto& voice : taken) {
        const auto& mine = added.at(static_cast<std::size_t>(voice.frequencyHz - 1));
        const auto it = std::find_if(
            mine.begin(), mine.end(), [&](const Added& a) { return a.id == voice.id; });
        ASSERT_NE(it, mine.end()) << "taken but never added: " << voice.id;
        EXPECT_FALSE(it->withdrawn) << "taken and withdrawn: " << voice.id;
        takenIds.push_back(voice.id);
    }
    std::sort(takenIds.begin(), takenIds.end());
    EXPECT_EQ(std::adjacent_find(takenIds.begin(), takenIds.end()), takenIds.end());
    EXPECT_FALSE(taken.empty());
    EXPECT_TRUE(table.Add(800, 1, 0, notBefore).Empty());
}

} // namespace
} // namespace kestrin
