// A feeder-group table of west-bank feeders W1..W8 (cell 10 naming heads 1..8)
// for the slot filler and the record builder, with X and Y pulse factors apart and
// the communication trace collected.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "../feeders/feeders_fixture.h"
#include "base/globals.h"
#include "feeders/nozzle_library.h"
#include "joblist/smt_strategy.h"
#include "link/commands.h"
#include "link/link_state.h"
#include "run/placement_records.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "test_support.h"

namespace smt::test {

using Cells = std::map<int, std::string>;

// A feeder line: id, feed mode word, head cell 10 and whatever else is given.
inline std::string Feeder(const std::string& id, Cells cells) {
    FeedRow row{};
    row[0] = id;
    row[4] = "50", row[5] = "-50", row[10] = "1", row[14] = "集中飞达", row[23] = "No/";
    for (auto& [k, v] : cells) row[static_cast<std::size_t>(k)] = v;
    std::string line;
    for (const auto& c : row) line += c + "\t";
    return line;
}

class PlacementFixture : public ::testing::Test {
protected:
    void SetUp() override {
        FillFeederWords();
        g_LanguageIndex = 0;
        // X and Y apart, so that a swap shows.
        ThePulseFactors().m_X_Pulse = 100, ThePulseFactors().m_Y_Pulse = 80, ThePulseFactors().m_A_Pulse = 10;
        SetMoveLimits({100000, -100000, 100000, 100000});
        previousSink = SetTraceSink([this](const std::string& t, bool) { trace.push_back(t); });
        for (int h = 1; h <= 8; ++h) feeders.push_back(Feeder("W" + std::to_string(h), {{10, std::to_string(h)}}));
        Load();
        ResetCycle();
        // Every nozzle of the library has only itself as the same remark.
        for (int j = 0; j < kNozzleRecords; ++j) g_NozzleTable[static_cast<std::size_t>(j)].sameRemark[static_cast<std::size_t>(j)] = 1;
    }
    void TearDown() override {
        SetTraceSink(previousSink);
        TheSmtStrategy().SetConfig({});
        g_MachineType = 0, g_AutoNozzleChange = 0, g_SmtHeadCount = 1;
        g_NozzleWork = {}, g_NozzleTable = {};
        TheBasicSettings() = BasicSettings{}, ThePulseFactors() = PulseFactors{};
        SetMoveLimits({});
        TheFeedGroupTable().DestroyFeedGroupTable();
    }
    void Load() {
        std::vector<std::string> lines{"1\tG\t", "G\td\t" + std::to_string(feeders.size()) + "\t"};
        lines.insert(lines.end(), feeders.begin(), feeders.end());
        for (std::size_t i = 0; i < feeders.size(); ++i) {
            if (trays.count(i)) lines.insert(lines.end(), trays[i].begin(), trays[i].end());
            else lines.push_back("0\t0\t0\t0\t0.0000\t0.0000\t");
        }
        ReadTable(TheFeedGroupTable(), lines);
    }
    void ResetCycle() { g_NozzleSlots = {}, trace.clear(); }
    void Strategy(int mode, int runMode = 0, int block = 0, int change = 0) {
        SmtStrategyConfig c;
        c.m_HeaderSelect = mode, c.m_RunSelect = runMode, c.m_BlockHead = block, c.m_ChangeNozzleSelect = change;
        TheSmtStrategy().SetConfig(c);
        ApplyHeadMode(mode);
    }
    // Fills slots 1.. from the feeders of heads `hs` until one is refused.
    int Cycle(const std::vector<int>& hs) {
        ResetCycle();
        int k = 0;
        while (k < static_cast<int>(hs.size()) && k < g_SmtHeadCount.load() &&
               FindFeederForPart(0, "W" + std::to_string(hs[static_cast<std::size_t>(k)]), k + 1))
            ++k;
        return k;
    }

    std::vector<std::string> feeders;
    std::map<std::size_t, std::vector<std::string>> trays;
    std::vector<std::string> trace;
    TraceSink previousSink;
};

} // namespace smt::test
