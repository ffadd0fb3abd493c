// Run and worker threads read the speed tables while the manager confirms: every
// read must be one whole stored table, never a start from one template with a run
// from another.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "settings/speed_editor.h"
#include "test_support.h"

namespace smt {
namespace {

// Template k holds start k and run k + 100 for every drive.
std::string Uniform(const std::string& name, int k) {
    std::string row = name + "\t";
    for (int d = 0; d < kSpeedDriveCount; ++d) row += FormatSpeedCell(k, k + 100) + "\t";
    return row;
}

// A table is whole when every pair comes from the same template.
bool Whole(const SpeedTypeTable& t) {
    const std::int32_t start = t.m_Start_X;
    for (int d = 0; d < kSpeedDriveCount; ++d) {
        const SpeedPair p = t.Pair(d);
        if (p.start != start || p.run != start + 100) return false;
    }
    return true;
}

TEST(SpeedConcurrency, ReadersNeverSeeATornTableWhileTheManagerConfirms) {
    test::TempDir dir;
    test::ScriptedResponder boxes;
    SpeedTemplates live;
    FigLists lists;
    // Two templates whose codes differ in every byte of every word.
    lists.speed = {Uniform("A", 1), Uniform("B", 0x7F), Uniform("A", 2), Uniform("B", 0x7E),
                   Uniform("A", 3), Uniform("B", 0x7D)};
    lists.speedSetNames = "A\tA\tA\tA\tA\tA\tA\t";
    live.LoadSpeedTables(lists.speed, 0);
    SpeedTypeTable first;
    for (int d = 0; d < kSpeedDriveCount; ++d) first.SetPair(d, {1, 101});
    for (int k = 0; k < kSpeedTypeCount; ++k) live.SetTable(static_cast<SpeedType>(k), first);

    std::atomic<bool> done{false};
    std::atomic<long> reads{0}, torn{0}, tornSettings{0}, missing{0};
    auto reader = [&] {
        std::array<SpeedPair, kSpeedDriveCount> speeds{};
        while (!done.load()) {
            for (int k = 0; k < kSpeedTypeCount; ++k) torn += !Whole(live.Table(static_cast<SpeedType>(k)));
            const SpeedTemplateSettings s = live.Settings();
            tornSettings += s.m_XY_RunFast != s.m_S_RunFine || s.m_SpeedMenuCheck < 1 || s.m_SpeedMenuCheck > 3;
            missing += !live.FindTemplateSpeeds("A", speeds);
            ++reads;
        }
    };
    std::thread r1(reader), r2(reader);

    for (int round = 0; round < 9; ++round) {
        SpeedTemplateEditor editor(live, lists, dir.Path(), 0);
        editor.Open(1 + round % 3);
        const std::string name = round % 2 ? "A" : "B";
        for (int k = 0; k < kSpeedTypeCount; ++k) editor.SetSpeedSetCell(k, name);
        // Every jog step the same value, so a half-written block shows.
        for (int i = 9; i < kSpeedSettingCount; ++i) SpeedSettingField(editor.Fields().settings, i) = 1 + round;
        // Template edits while the readers look them up.
        editor.Fields().m_SpeedName = "C";
        ASSERT_TRUE(editor.AddSpeed());
        ASSERT_TRUE(editor.PickTemplate(0, 2));
        ASSERT_TRUE(editor.DeleteSpeed());
        ASSERT_EQ(editor.Confirm(), ConfirmResult::Closed);
        // Between confirmations, stores as fast as they come.
        const SpeedTypeTable confirmed = live.Table(SpeedType::Handle);
        for (int i = 0; i < 20000; ++i) {
            SpeedTypeTable t;
            for (int d = 0; d < kSpeedDriveCount; ++d) t.SetPair(d, {i % 2 ? 0x7F : 1, i % 2 ? 0xE3 : 101});
            live.SetTable(SpeedType::Handle, t);
        }
        live.SetTable(SpeedType::Handle, confirmed);
    }
    // Let the readers see the last state too.
    const long target = reads.load() + 100;
    while (reads.load() < target) std::this_thread::yield();
    done = true;
    r1.join();
    r2.join();

    EXPECT_EQ((std::vector<long>{torn.load(), tornSettings.load(), missing.load()}), (std::vector<long>{0, 0, 0}));
    EXPECT_EQ(boxes.Count(), 0u);
    // The last round (8) chose "B" with page 8 % 3 + 1 = 3 in front: the low class.
    EXPECT_EQ(live.Table(SpeedType::Smt).Pair(kDriveY), (SpeedPair{0x7D, 0x7D + 100}));
}

} // namespace
} // namespace smt
