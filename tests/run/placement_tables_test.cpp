// The head and nozzle targets of the slot filler, row by row of its table: known
// answers for each head mode, machine type and automatic-change setting, then
// properties that hold over every combination; the bank and run-mode limits; the
// pick position of a head other than the first; the record's speed block and the
// glue height.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <tuple>

#include "placement_fixture.h"
#include "base/numtext.h"
#include "settings/speed_template.h"
#include "joblist/part_list_texts.h"

namespace smt::test {
namespace {

// Nozzles 3, 5 and 7 share a remark; every other nozzle has only itself.
constexpr int kRemarkGroup[] = {3, 5, 7};

class PlacementTables : public PlacementFixture {
protected:
    void SetUp() override {
        PlacementFixture::SetUp();
        for (int e = 1; e <= 4; ++e) feeders.push_back(Feeder("E" + std::to_string(e), {{10, std::to_string(e)}}));
        Load();
        for (int a : kRemarkGroup)
            for (int b : kRemarkGroup) g_NozzleTable[static_cast<std::size_t>(a - 1)].sameRemark[static_cast<std::size_t>(b - 1)] = 1;
    }
    void TearDown() override {
        g_ActiveList = 0;
        g_NozzleSlots = {};
        PlacementFixture::TearDown();
    }
    void Configure(int model, int mode, int a, int change = 0, int special = 8, int block = 0, int runMode = 0) {
        g_MachineType = model;
        g_AutoNozzleChange = a;
        SmtStrategyConfig c;
        c.m_HeaderSelect = mode, c.m_ChangeNozzleSelect = change, c.m_SpecialHead = special;
        c.m_BlockHead = block, c.m_RunSelect = runMode;
        TheSmtStrategy().SetConfig(c);
        ApplyHeadMode(mode);
    }
    // Fills slots 1.. from `ids` until one is refused; before the cycle slot k
    // holds nozzle 10 + k from the one before, so that a kept nozzle shows.
    int Fill(const std::vector<std::string>& ids) {
        g_NozzleSlots = {};
        for (int k = 1; k <= 8; ++k) g_NozzleSlots[static_cast<std::size_t>(k - 1)].nozzleTarget = 10 + k;
        trace.clear();
        int k = 0;
        while (k < static_cast<int>(ids.size()) && k < g_SmtHeadCount.load() &&
               FindFeederForPart(0, ids[static_cast<std::size_t>(k)], k + 1))
            ++k;
        return k;
    }
    std::vector<int> Heads(int n) const {
        std::vector<int> v;
        for (int k = 0; k < n; ++k) v.push_back(g_NozzleSlots[static_cast<std::size_t>(k)].headTarget);
        return v;
    }
    std::vector<int> Nozzles(int n) const {
        std::vector<int> v;
        for (int k = 0; k < n; ++k) v.push_back(g_NozzleSlots[static_cast<std::size_t>(k)].nozzleTarget);
        return v;
    }
    std::vector<std::string> TargetLines() const {
        std::vector<std::string> v;
        for (const auto& t : trace)
            if (t.rfind("feed_headerTarget", 0) == 0) v.push_back(t);
        return v;
    }
};

std::vector<std::string> West(std::initializer_list<int> hs) {
    std::vector<std::string> v;
    for (int h : hs) v.push_back("W" + std::to_string(h));
    return v;
}

// Known answers, at least one per line of the table (nozzles 11.. are the ones
// kept from the cycle before; 3, 5 and 7 share a remark).
TEST_F(PlacementTables, EveryLineOfTheHeadAndNozzleTable) {
    struct Case {
        const char* line;
        std::vector<int> models;
        int mode, a, change, special;
        std::vector<std::string> feeders;
        std::vector<int> heads, nozzles;  // of the slots filled; no heads: they differ by type
    } cases[] = {
        // Head mode 0, one slot.
        {"0: one-head types take head 1, nozzle 1", {0, 1}, 0, 0, 0, 8, West({3}), {1}, {1}},
        {"0: two-head types, the first head for h = 1", {2, 5}, 0, 0, 0, 8, West({1}), {1}, {1}},
        {"0: two-head types, the second head above", {2, 5}, 0, 0, 0, 8, West({3}), {2}, {3}},
        {"0: four/eight-head types, head h up to 4", {3, 6, 7}, 0, 0, 0, 8, West({3}), {3}, {3}},
        {"0: four/eight-head types, head 1 above 4", {3, 6, 7}, 0, 0, 0, 8, West({6}), {1}, {6}},
        {"0: types 4, 8, 9 keep the nozzle", {4, 8, 9}, 0, 0, 0, 8, West({3}), {1}, {11}},
        {"0 auto: head 1, the feeder's nozzle", {0, 1, 2, 3, 5, 7}, 0, 1, 0, 8, West({6}), {1}, {6}},
        {"0 auto: type 6 keeps the nozzle", {6}, 0, 1, 0, 8, West({6}), {1}, {11}},
        // Head mode 1, two slots.
        {"1: head k, nozzle k", {2, 3, 5, 6, 7}, 1, 0, 0, 8, West({3, 5}), {1, 2}, {1, 2}},
        {"1 auto: the second slot takes a free nozzle of the remark", {2, 3, 5, 7}, 1, 1, 0, 8, West({3, 3}), {1, 2}, {3, 5}},
        {"1 auto: none free refuses the second slot", {2, 3, 5, 7}, 1, 1, 0, 8, West({4, 4}), {1}, {4}},
        {"1 auto: type 6 keeps both nozzles", {6}, 1, 1, 0, 8, West({3, 3}), {1, 2}, {11, 12}},
        // Head mode 2, two slots with different nozzles.
        {"2: two-head types by h", {2, 5}, 2, 0, 0, 8, West({1, 3}), {1, 2}, {1, 3}},
        {"2: two-head types by h, swapped", {2, 5}, 2, 0, 0, 8, West({3, 1}), {2, 1}, {3, 1}},
        {"2: the second slot refused on the first one's nozzle", {2, 3, 5, 6, 7}, 2, 0, 0, 8, West({3, 3}), {}, {3}},
        {"2: four/eight-head types, head h up to 4", {3, 6, 7}, 2, 0, 0, 8, West({3, 6}), {3, 1}, {3, 6}},
        {"2 auto, change both: head k", {2, 3, 5, 7}, 2, 1, 0, 8, West({6, 2}), {1, 2}, {6, 2}},
        {"2 auto, change both: one nozzle refused", {2, 3, 5, 7}, 2, 1, 0, 8, West({6, 6}), {1}, {6}},
        {"2 auto, keep 1: nozzle 1 on head 1, the other on head 2", {2, 3, 5, 7}, 2, 1, 1, 8, West({1, 3}), {1, 2}, {1, 3}},
        {"2 auto, keep 1: nozzle 1 twice", {2, 3, 5, 7}, 2, 1, 1, 8, West({1, 1}), {1}, {1}},
        {"2 auto, keep 1: head 2 first closes the cycle", {2, 3, 5, 7}, 2, 1, 1, 8, West({3, 1}), {2}, {3}},
        {"2 auto, keep 2: nozzle 2 on head 2 closes the cycle", {2, 3, 5, 7}, 2, 1, 2, 8, West({2, 3}), {2}, {2}},
        {"2 auto, keep 2: a second slot only after nozzle 2", {2, 3, 5, 7}, 2, 1, 2, 8, West({3, 2}), {1}, {3}},
        {"2 auto: type 6 keeps both nozzles", {6}, 2, 1, 0, 8, West({3, 6}), {1, 2}, {11, 12}},
        // Head mode 3, four slots, one nozzle type.
        {"3: head k, nozzle k", {3, 6, 7}, 3, 0, 0, 8, West({5, 5, 5, 5}), {1, 2, 3, 4}, {1, 2, 3, 4}},
        {"3 auto: the remark's free nozzles, then refused", {3, 7}, 3, 1, 0, 8, West({3, 3, 3, 3}), {1, 2, 3}, {3, 5, 7}},
        {"3 auto: a nozzle of its own taken once", {3, 7}, 3, 1, 0, 8, West({3, 5, 2, 2}), {1, 2, 3}, {3, 5, 2}},
        {"3 auto: type 6 keeps two, the others take h", {6}, 3, 1, 0, 8, West({3, 5, 6, 2}), {1, 2, 3, 4}, {11, 12, 6, 2}},
        // Head mode 4, four slots with different nozzles.
        {"4: head h up to 4, a repeated nozzle refused", {3, 6}, 4, 0, 0, 8, West({2, 6, 3, 2}), {2, 1, 3}, {2, 6, 3}},
        {"4: type 7 heads up to 8", {7}, 4, 0, 0, 8, West({6, 2, 8, 6}), {6, 2, 8}, {6, 2, 8}},
        {"4 auto: head k", {3, 7}, 4, 1, 0, 8, West({6, 2, 6}), {1, 2}, {6, 2}},
        // Head mode 5: head 4 carries a special nozzle.
        {"5: a head-4 part on slot 1 closes the cycle", {3, 6, 7}, 5, 0, 0, 8, West({4, 1}), {4}, {4}},
        {"5: a second head-4 part closes the cycle", {3, 6, 7}, 5, 0, 0, 8, West({1, 2, 4, 4}), {1, 2, 4}, {1, 2, 4}},
        {"5: slot 4 is head 4's", {3, 6, 7}, 5, 0, 0, 8, West({1, 2, 3, 4}), {1, 2, 3, 4}, {1, 2, 3, 4}},
        {"5: types 3 and 7 refuse another part on slot 4", {3, 7}, 5, 0, 0, 8, West({1, 2, 3, 1}), {1, 2, 3}, {1, 2, 3}},
        {"5: type 6 puts it on head 4", {6}, 5, 0, 0, 8, West({1, 2, 3, 1}), {1, 2, 3, 4}, {1, 2, 3, 4}},
        {"5 auto: head k, two kept, two by h", {3, 6, 7}, 5, 1, 0, 8, West({3, 5, 6, 2}), {1, 2, 3, 4}, {11, 12, 6, 2}},
        // Head modes 6 to 8, eight slots (type 7).
        {"6: head k, nozzle k", {7}, 6, 0, 0, 8, West({3, 3, 3, 3, 3, 3, 3, 3}), {1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"6 auto: the remark's free nozzles", {7}, 6, 1, 0, 8, West({5, 5, 5, 5}), {1, 2, 3}, {3, 5, 7}},
        {"7: head h, a repeated nozzle refused", {7}, 7, 0, 0, 8, West({6, 2, 8, 1, 6}), {6, 2, 8, 1}, {6, 2, 8, 1}},
        {"7 auto: head k", {7}, 7, 1, 0, 8, West({6, 2, 8, 1, 6}), {1, 2, 3, 4}, {6, 2, 8, 1}},
        {"8: from head 5 on by h, below by slot", {7}, 8, 0, 0, 5, West({6, 2, 7, 3, 6}), {6, 2, 7, 4}, {6, 2, 7, 4}},
        {"8: slot 1 below the special heads", {7}, 8, 0, 0, 5, West({2, 6}), {1, 6}, {1, 6}},
        {"8: a slot at or past the special head refused", {7}, 8, 0, 0, 3, West({1, 2, 1}), {1, 2}, {1, 2}},
        {"8 auto: head k, nozzles kept", {7}, 8, 1, 0, 5, West({6, 2, 7}), {1, 2, 3}, {11, 12, 13}},
        // Slots past what a type's table assigns keep head k; slots 3 and 4 take h.
        {"type 4: the second slot keeps its nozzle", {4}, 1, 0, 0, 8, West({3, 5}), {1, 2}, {1, 12}},
        {"type 2: slots 3 and 4 take h", {2}, 3, 0, 0, 8, West({3, 5, 6, 2}), {1, 2, 3, 4}, {1, 2, 6, 2}},
        {"type 3: slots 5 to 8 keep their nozzles", {3}, 6, 0, 0, 8, West({3, 3, 3, 3, 3, 3}), {1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 15, 16}},
    };
    for (const auto& c : cases)
        for (int model : c.models) {
            SCOPED_TRACE(std::string(c.line) + ", type " + std::to_string(model));
            ScriptedResponder boxes;
            Configure(model, c.mode, c.a, c.change, c.special);
            const int n = Fill(c.feeders);
            ASSERT_EQ(n, static_cast<int>(c.nozzles.size()));
            if (!c.heads.empty()) { EXPECT_EQ(Heads(n), c.heads); }
            EXPECT_EQ(Nozzles(n), c.nozzles);
            EXPECT_EQ(boxes.Texts(), std::vector<std::string>{});
        }
}

int HeadsOfType(int model) {
    static constexpr int kHeads[] = {1, 1, 2, 4, 4, 2, 4, 8, 1, 1};
    return kHeads[model];
}

// Over every type, head mode and setting, whatever the feeders name: the trace
// gives each filled slot's targets; with automatic change the cycle stops, at once
// and without a trace line, after a slot that is not on its own head; the modes
// with different nozzles never give one nozzle twice; with automatic change the
// same-nozzle modes give nozzles of the feeder's remark, never one twice; a head
// mode the type can run keeps the heads on the type's heads.
TEST_F(PlacementTables, PropertiesOverEveryTypeModeAndSetting) {
    const std::vector<std::vector<std::string>> sequences{
        West({3, 3, 5, 3, 7, 3, 5, 3}), West({2, 1, 4, 4, 3, 2, 6, 7}), West({7, 6, 5, 4, 3, 2, 1, 8}), West({1, 2, 1, 2, 1, 2, 1, 2}),
    };
    int cycles = 0, stopsByHead = 0;
    for (int model = 0; model <= 9; ++model)
        for (int mode = 0; mode <= 8; ++mode)
            for (int a = 0; a <= 1; ++a)
                for (int change = 0; change <= (mode == 2 ? 2 : 0); ++change)
                    for (const auto& ids : sequences) {
                        SCOPED_TRACE("type " + std::to_string(model) + " mode " + std::to_string(mode) + " auto " +
                                     std::to_string(a) + " keep " + std::to_string(change) + " first " + ids.front());
                        ScriptedResponder boxes;
                        Configure(model, mode, a, change, 5);
                        const int n = Fill(ids);
                        ++cycles;
                        ASSERT_GE(n, 1);
                        const std::vector<int> heads = Heads(n), nozzles = Nozzles(n);
                        std::vector<std::string> lines;
                        for (int k = 0; k < n; ++k)
                            lines.push_back(FormatC("feed_headerTarget = %d，feed_nozzleTarget = %d", heads[static_cast<std::size_t>(k)],
                                                    nozzles[static_cast<std::size_t>(k)]));
                        // Every refusal here comes from the targets themselves: no line for it.
                        EXPECT_EQ(TargetLines(), lines);
                        if (a && n < g_SmtHeadCount.load() && heads.back() != n) {
                            ++stopsByHead;
                            const NozzleSlot& next = g_NozzleSlots[static_cast<std::size_t>(n)];
                            EXPECT_EQ(std::pair(next.headTarget, next.nozzleTarget), std::pair(0, 11 + n)) << "refused at once";
                        }
                        for (int k = 2; a && k <= n; ++k) EXPECT_EQ(heads[static_cast<std::size_t>(k - 2)], k - 1);
                        const bool distinct = std::set<int>(nozzles.begin(), nozzles.end()).size() == nozzles.size();
                        const bool differentModes = mode == 2 || mode == 4 || mode == 7 || (!a && (mode == 5 || mode == 8));
                        // The type has the heads, and its table assigns more than one slot.
                        const bool validCombination = g_SmtHeadCount.load() <= HeadsOfType(model) &&
                                                      (g_SmtHeadCount.load() == 1 || model == 2 || model == 3 || model == 5 ||
                                                       model == 6 || model == 7);
                        if (differentModes && validCombination && !(a && model == 6 && mode == 2)) { EXPECT_TRUE(distinct); }
                        if (a && model != 6 && (mode == 1 || mode == 3 || mode == 6) && validCombination) {
                            EXPECT_TRUE(distinct);
                            for (int k = 0; k < n; ++k) {
                                const int h = AtoI(std::string_view(ids[static_cast<std::size_t>(k)]).substr(1));
                                const int got = nozzles[static_cast<std::size_t>(k)];
                                EXPECT_TRUE(got == h || g_NozzleTable[static_cast<std::size_t>(h - 1)].sameRemark[static_cast<std::size_t>(got - 1)])
                                    << "slot " << k + 1;
                            }
                        }
                        for (int head : heads) {
                            if (validCombination) { EXPECT_TRUE(head >= 1 && head <= HeadsOfType(model)) << head; }
                        }
                        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{});
                    }
    EXPECT_GT(stopsByHead, 0) << "the automatic-change stop was never reached";
    EXPECT_GT(cycles, 0);
}

// Type 3 with the heads kept to their banks: slot 1 is clamped to its bank in head
// mode 3, and in head modes 0 and 4 with automatic change; elsewhere an east part
// on heads 1, 2 or a west part on heads 3, 4 is refused with its trace line. The
// limit holds in run mode 0 and in run mode 2 on the placement list only.
TEST_F(PlacementTables, BankLimitsAndTheClampOfTheFirstSlot) {
    struct Case {
        int mode, a, runMode, activeList;
        std::string feeder;
        int head;                // -1 refused
        const char* traceLine;   // the last trace line, or null
    } cases[] = {
        {3, 0, 0, 1, "E1", 3, nullptr},  {3, 1, 0, 1, "E1", 3, nullptr},  {0, 1, 0, 1, "E2", 3, nullptr},
        {4, 1, 0, 1, "E1", 3, nullptr},  {3, 0, 0, 1, "W3", 1, nullptr},  {0, 0, 0, 1, "E1", -1, "A1 & A2 Limit !"},
        {0, 0, 0, 1, "E3", 3, nullptr},  {4, 0, 0, 1, "E2", -1, "A1 & A2 Limit !"}, {0, 0, 0, 1, "W4", -1, "A3 & A4 Limit !"},
        {2, 0, 0, 1, "W3", -1, "A3 & A4 Limit !"}, {0, 0, 2, 1, "W3", -1, "A3 & A4 Limit !"}, {0, 0, 2, 2, "W3", 3, nullptr},
        {0, 0, 1, 1, "W3", 3, nullptr},  {0, 0, 3, 1, "E1", 1, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.feeder + " mode " + std::to_string(c.mode) + " auto " + std::to_string(c.a) + " run mode " +
                     std::to_string(c.runMode) + " list " + std::to_string(c.activeList));
        Configure(3, c.mode, c.a, 0, 8, 1, c.runMode);
        g_ActiveList = c.activeList;
        const int n = Fill({c.feeder});
        EXPECT_EQ(n, c.head < 0 ? 0 : 1);
        if (c.head > 0) { EXPECT_EQ(g_NozzleSlots[0].headTarget, c.head); }
        if (c.traceLine) { ASSERT_FALSE(trace.empty()); EXPECT_EQ(trace.back(), c.traceLine); }
        else { EXPECT_TRUE(std::none_of(trace.begin(), trace.end(), [](const std::string& t) { return t.find("Limit") != std::string::npos; })); }
    }
    // The clamped first slot is on head 3: with automatic change the cycle ends there.
    Configure(3, 3, 1, 0, 8, 1);
    EXPECT_EQ(Fill({"E1", "E1"}), 1);
    // Without the limits the same part stays on head 1.
    Configure(3, 3, 1);
    EXPECT_EQ(Fill({"E1", "W3"}), 2);
    EXPECT_EQ(Heads(2), (std::vector<int>{1, 2}));
}

// Run mode 2 (dispensing, then placement) keeps the heads of the dispenser free.
TEST_F(PlacementTables, RunModeTwoHeadsPerType) {
    struct Case { int model, mode; std::string feeder; bool ok; } cases[] = {
        {0, 0, "W1", true}, {2, 0, "W1", true}, {2, 0, "W2", false}, {5, 2, "W2", false}, {4, 1, "W1", true},
        {3, 0, "W3", true}, {3, 0, "W4", false}, {3, 0, "W1", true},
        {7, 7, "W7", true}, {7, 7, "W8", false}, {7, 7, "W1", true},
        {6, 0, "W4", true}, {6, 0, "W2", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.feeder + " type " + std::to_string(c.model));
        Configure(c.model, c.mode, 0, 0, 8, 0, 2);
        EXPECT_EQ(Fill({c.feeder}), c.ok ? 1 : 0);
        // Another run mode takes the same part.
        Configure(c.model, c.mode, 0, 0, 8, 0, 0);
        EXPECT_EQ(Fill({c.feeder}), 1);
    }
}

// The replenish slot takes the feeder but no head or nozzle (and writes no target
// line); a group without the feeder, or without rows, says so.
TEST_F(PlacementTables, ReplenishSlotAndFeedersNotFound) {
    Configure(7, 7, 0);
    g_NozzleSlots = {};
    NozzleSlot& spare = g_NozzleSlots[kReplenishSlot];
    spare.headTarget = 5, spare.nozzleTarget = 7;
    trace.clear();
    ASSERT_TRUE(FindFeederForPart(0, "E3", 9));
    EXPECT_EQ(std::tuple(spare.headTarget, spare.nozzleTarget, spare.feederId, spare.bankCode, spare.feederNumber),
              std::tuple(5, 7, std::string("E3"), 3, 3));
    EXPECT_EQ(TargetLines(), std::vector<std::string>{});
    for (const auto& [group, feeder] : std::vector<std::pair<int, std::string>>{{0, "E9"}, {0, "e3"}, {0, ""}, {3, "W1"}, {-1, "W1"}}) {
        SCOPED_TRACE(std::to_string(group) + " " + feeder);
        ScriptedResponder boxes;
        EXPECT_FALSE(FindFeederForPart(group, feeder, 1));
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Feed Index No Find"});
        EXPECT_FALSE(FindFeederDirection(group, feeder));
    }
}

// The library nozzle of slot k: the first of the remark that no earlier slot has.
TEST_F(PlacementTables, NozzleChooserNeverGivesOneNozzleTwice) {
    g_NozzleSlots = {};
    struct Case { int k, required; std::vector<int> earlier; int expected; } cases[] = {
        {1, 5, {}, 3},          {2, 5, {3}, 5},       {3, 3, {3, 5}, 7}, {4, 7, {3, 5, 7}, 0}, {3, 3, {5, 7}, 3},
        {1, 4, {}, 4},          {2, 4, {4}, 0},       {2, 4, {3}, 4},    {2, 0, {}, 0},        {1, 19, {}, 19},
        {2, 7, {0}, 3},         {5, 7, {1, 2, 3, 4}, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("slot " + std::to_string(c.k) + " nozzle " + std::to_string(c.required));
        g_NozzleSlots = {};
        for (std::size_t i = 0; i < c.earlier.size(); ++i) g_NozzleSlots[i].nozzleTarget = c.earlier[i];
        EXPECT_EQ(AssignNozzleTargets(c.k, c.required), c.expected);
    }
    // Only the slots before k count.
    g_NozzleSlots = {};
    g_NozzleSlots[2].nozzleTarget = 3;
    EXPECT_EQ(AssignNozzleTargets(2, 3), 3);
}

// A head other than the first reaches the feeder its own offset away: X 30 mm
// and Y -1.25 mm for head 2 (3000 and -100 pulses), so a feeder at 10 mm is out
// of reach for head 2 alone, and one at -0.5 mm in Y for head 2 alone too.
TEST_F(PlacementTables, PickPositionOfTheHeadItsOffsetAway) {
    feeders.push_back(Feeder("N1", {{4, "10"}, {10, "2"}}));
    feeders.push_back(Feeder("N2", {{5, "-0.5"}, {10, "2"}}));
    feeders.push_back(Feeder("N3", {{4, "31"}, {5, "-2"}, {10, "2"}}));
    Load();
    TheBasicSettings().m_X_Nozzle2ToNozzle1 = 30, TheBasicSettings().m_Y_Nozzle2ToNozzle1 = -1.25;
    struct Case { std::string feeder; int head; bool ok; } cases[] = {
        {"N1", 1, true}, {"N1", 2, false}, {"N2", 1, true}, {"N2", 2, false}, {"N3", 2, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.feeder + " head " + std::to_string(c.head));
        ScriptedResponder boxes;
        // Head mode 1 puts slot 1 on head 1 whatever the feeder names; head mode 0
        // on type 2 puts a feeder naming head 2 on head 2.
        Configure(2, c.head == 1 ? 1 : 0, 0);
        EXPECT_EQ(Fill({c.feeder}), c.ok ? 1 : 0);
        EXPECT_EQ(boxes.Texts(), c.ok ? std::vector<std::string>{} : std::vector<std::string>{"Feed Pos Error !"});
    }
    // The limits themselves are inside: X 0 and the Y limit.
    feeders.push_back(Feeder("N4", {{4, "0"}, {5, "-1250"}}));
    feeders.push_back(Feeder("N5", {{4, "1000"}, {5, "0"}}));
    feeders.push_back(Feeder("N6", {{4, "1000.01"}, {5, "0"}}));
    Load();
    Configure(0, 0, 0);
    ScriptedResponder boxes;
    EXPECT_EQ(Fill({"N4"}), 1);
    EXPECT_EQ(Fill({"N5"}), 1);
    EXPECT_EQ(Fill({"N6"}), 0);
}

// The speed block: pick values 0..15, vision-correction 0..3 and 8..15, vision
// place 0..7, place 0..15; an own template takes the place of every table.
TEST_F(PlacementTables, SpeedBlockFromTheTypeTablesOrTheOwnTemplate) {
    feeders.push_back(Feeder("S1", {}));
    feeders.push_back(Feeder("S2", {{23, "Yes/Own"}}));
    Load();
    SpeedTemplates& speeds = TheSpeedTemplates();
    const SpeedType types[] = {SpeedType::PickPart, SpeedType::VisualCorrection, SpeedType::VisualSmt, SpeedType::Smt};
    std::array<SpeedTypeTable, 4> saved;
    for (int t = 0; t < 4; ++t) {
        saved[static_cast<std::size_t>(t)] = speeds.Table(types[t]);
        SpeedTypeTable table;
        for (int d = 0; d < 16; ++d) table.SetPair(d, {100 * (t + 1) + 2 * d, 100 * (t + 1) + 2 * d + 1});
        speeds.SetTable(types[t], table);
    }
    const SpeedTemplateTables savedTemplates = speeds.Templates();
    const SpeedTemplateSettings savedSettings = speeds.Settings();
    SpeedTemplateTables templates;
    for (int cls = 0; cls < 3; ++cls) {
        SpeedTemplateRow row;
        row[0] = "Own";
        for (int d = 0; d < kSpeedDriveCount; ++d) row[static_cast<std::size_t>(1 + d)] = FormatSpeedCell(1000 * (cls + 1) + d, 1000 * (cls + 1) + 50 + d);
        (cls == 0 ? templates.m_HighSpeedTable : cls == 1 ? templates.m_MediumSpeedTable : templates.m_LowSpeedTable).push_back(row);
    }
    speeds.SetTemplates(templates);
    SpeedTemplateSettings medium = savedSettings;
    medium.m_SpeedMenuCheck = 2;
    speeds.SetSettings(medium);

    Configure(0, 0, 0);
    ASSERT_EQ(Fill({"S1"}), 1);
    ASSERT_TRUE(BuildPlacementRecord(0, 1));
    std::vector<int> expected;
    const auto from = [&](int t, int first, int last) {
        for (int i = first; i <= last; ++i) expected.push_back(100 * (t + 1) + i);
    };
    from(0, 0, 15), from(1, 0, 3), from(1, 8, 15), from(2, 0, 7), from(3, 0, 15);
    EXPECT_EQ(std::vector<int>(g_NozzleWork[0].speeds.begin(), g_NozzleWork[0].speeds.end()), expected);
    EXPECT_EQ(g_NozzleWork[0].ownSpeed, 0);

    ASSERT_EQ(Fill({"S2"}), 1);
    ASSERT_TRUE(BuildPlacementRecord(0, 1));
    expected.clear();
    const auto own = [&](int first, int last) {
        for (int i = first; i <= last; ++i) expected.push_back(2000 + i / 2 + (i % 2 ? 50 : 0));
    };
    own(0, 15), own(0, 3), own(8, 15), own(0, 7), own(0, 15);
    EXPECT_EQ(std::vector<int>(g_NozzleWork[0].speeds.begin(), g_NozzleWork[0].speeds.end()), expected);
    EXPECT_EQ(g_NozzleWork[0].ownSpeed, 1);

    for (int t = 0; t < 4; ++t) speeds.SetTable(types[t], saved[static_cast<std::size_t>(t)]);
    speeds.SetTemplates(savedTemplates);
    speeds.SetSettings(savedSettings);
}

// Head 2 places at the glue height in run mode 1, and in run mode 2 while the
// dispensing list is active; the early vacuum-off height follows it. Head 2 also
// measures on the second camera when it is kept away from the first.
TEST_F(PlacementTables, GlueHeightAndTheCameraOfHeadTwo) {
    feeders.push_back(Feeder("S3", {{8, "1"}, {12, "Yes/" + std::string(kCameraName1)}, {24, "0.25"}}));
    Load();
    BasicSettings& b = TheBasicSettings();
    b.m_Z_Nozzle1ToFeed = 10, b.m_Z_Nozzle2ToFeed = 12, b.m_Z_Nozzle1ToPCBHeight = 20, b.m_Z_DropsGlueToPCBHeight = 7;
    struct Case { int head, runMode, activeList, avoid; double placeZ; int camera; } cases[] = {
        {2, 1, 1, 0, 7, 1},  {2, 2, 2, 0, 7, 1},  {2, 2, 1, 0, 23, 1}, {2, 0, 2, 0, 23, 1},
        {1, 1, 2, 0, 21, 1}, {2, 0, 1, 1, 23, 2}, {1, 0, 1, 1, 21, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("head " + std::to_string(c.head) + " run mode " + std::to_string(c.runMode) + " list " + std::to_string(c.activeList));
        Configure(2, 0, 0, 0, 8, 0, c.runMode);
        SmtStrategyConfig st = TheSmtStrategy().Config();
        st.m_Head2AvoidCamera1 = c.avoid;
        TheSmtStrategy().SetConfig(st);
        g_ActiveList = c.activeList;
        g_NozzleSlots = {};
        ASSERT_TRUE(FindFeederForPart(0, "S3", 1));
        g_NozzleSlots[0].headTarget = c.head;
        ASSERT_TRUE(BuildPlacementRecord(0, 1));
        EXPECT_DOUBLE_EQ(g_NozzleWork[0].placeZ, c.placeZ);
        EXPECT_DOUBLE_EQ(g_NozzleWork[0].vacuumOffZ, c.placeZ + 0.25);
        EXPECT_EQ(g_NozzleWork[0].visionCamera, c.camera);
    }
}

} // namespace
} // namespace smt::test
