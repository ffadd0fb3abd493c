// The panel's section of config.ini, its captions, and which controls each machine type shows and enables.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "link/exchange.h"
#include "link/homing.h"
#include "link/manual_control.h"
#include "link_fixture.h"
#include "platform/profile.h"

using namespace smt;
using namespace smt::test;

namespace {

std::map<int, bool> Final(const std::vector<std::pair<int, bool>>& states) {
    std::map<int, bool> m;
    for (const auto& [id, on] : states) m[id] = on;
    return m;
}

}  // namespace

TEST(ManualControlConfig, SavedAndLoadedInKeyOrderMissingKeysReadAsZero) {
    TempDir dir;
    const std::string path = dir.File("config.ini");
    ManualControlConfig c{2, 100, 20, 30, 40, 50, 3, 7};
    ASSERT_TRUE(SaveManualControlConfig(c, path));
    plat::FlushProfileCache();
    EXPECT_EQ(LoadManualControlConfig(path), c);
    const std::string text = ReadBytes(path);
    EXPECT_EQ(text.find("[ManualControlConfig]"), 0u);
    std::size_t at = 0;
    for (const char* k : {"m_SpeedGears=2", "m_XY_RunSteps=100", "m_Z_RunSteps=20", "m_A_RunSteps=30",
                          "m_Feed_RunSteps=40", "m_S_RunSteps=50", "m_Feed_Direction=3", "m_ComNumber=7"}) {
        const std::size_t next = text.find(k);
        EXPECT_NE(next, std::string::npos) << k;
        EXPECT_GE(next, at) << k << " out of order";
        at = next;
    }

    WriteBytes(path, "[ManualControlConfig]\r\nm_XY_RunSteps=12abc\r\n");
    plat::FlushProfileCache();
    c = LoadManualControlConfig(path);
    EXPECT_EQ(c.m_XY_RunSteps, 12);
    EXPECT_EQ(c.m_Feed_Direction, 0);  // the east bank
    EXPECT_EQ(c.m_ComNumber, 0);
    EXPECT_EQ(JogStepText(c), "XY12,  Z0,  A0,  F0,  S0");
    EXPECT_EQ(FeedBankIcon(c.m_Feed_Direction), 382);
    EXPECT_EQ(FeedBankIcon(3), 385);
    EXPECT_EQ(FeedBankIcon(4), 0);
    EXPECT_EQ(FeedBankIcon(-1), 0);
}

TEST(ManualControlTexts, BuiltInsForMissingKeysAndShippedFilesCarryEveryKey) {
    const auto& table = ManualControlCaptionTable();
    std::set<std::string> keys;
    for (const auto& e : table) keys.insert(e.key);
    EXPECT_EQ(keys.size(), table.size()) << "a key twice";

    TempDir dir;
    WriteBytes(dir.File("English.ini"),
               "[ManualControlConfig]\r\nManualControl.c_Online=Connect\r\n"
               "ManualControl.c_Online_Error=Connect failed\r\nManualControl.c_Message_05=Link\r\n");
    ManualControlTexts t;
    t.Load(dir.Path(), "English");
    EXPECT_EQ(t.Text("c_Online"), "Connect");
    EXPECT_EQ(t.Text("c_Onlining"), "联机中");  // missing key: the built-in text
    EXPECT_EQ(t.Text("c_ID_Reset_Z2"), "点胶复位");
    EXPECT_EQ(t.Text("c_Information_72"), "72->复位");
    EXPECT_EQ(t.Text("no such key"), "");
    t.PublishToLink();
    EXPECT_EQ(CurrentLinkTexts().onlineError, "Connect failed");
    EXPECT_EQ(CurrentLinkTexts().message05, "Link");
    SetLinkTexts(LinkTexts{});

    // Boxes name a command by its caption in the interface language; a command
    // without one keeps its trace name. Shipped English texts throughout.
    ManualControlTexts english;
    english.Load(std::string(SMT_SOURCE_DIR) + "/res", "English");
    english.PublishToLink();
    EXPECT_EQ(NoAnswerText("61->单轴运动"), "No answer from the machine : 61->Single axis move !");
    EXPECT_EQ(SendFailedText("01->SendAxisLimit"), "Send failed : 01->SendAxisLimit !");
    EXPECT_EQ(CommandBoxName("6G->x"), "6G->x");
    EXPECT_EQ(HomingFailedText(HomingFailure::LinkClosed), "Homing failed : link closed !");
    ManualControlTexts().PublishToLink();
    EXPECT_EQ(NoAnswerText("61->单轴运动"), "机器无应答 : 61->单轴运动 !");

    for (const char* language : {"Chinese", "English", "German"}) {
        const std::string path = std::string(SMT_SOURCE_DIR) + "/res/" + language + ".ini";
        for (const auto& e : table) {
            const std::string key = std::string("ManualControl.") + e.key;
            EXPECT_NE(plat::GetPrivateProfileString("ManualControlConfig", key, "<missing>", 512, path), "<missing>")
                << language << ": " << key;
        }
    }
}

TEST(ManualControlLayout, EveryShownControlCanBeEnabled) {
    for (int type : {0, 1, 2, 3, 4, 5, 6, 9}) {
        SCOPED_TRACE(type);
        const ManualControlLayout l = LayoutForMachineType(type);
        const auto on = Final(EnableStates(true, {type, false, -1}));
        const auto enabled = [&](int id) { return on.count(id) > 0 && on.at(id); };
        for (int n : l.zNozzles) EXPECT_TRUE(enabled(mc::ZPlus[n - 1]) && enabled(mc::ZMinus[n - 1])) << "Z" << n;
        for (int n : l.aNozzles) EXPECT_TRUE(enabled(mc::APlus[n - 1]) && enabled(mc::AMinus[n - 1])) << "A" << n;
        for (int n = 1; n <= 8; ++n) EXPECT_EQ(enabled(mc::Pumps[n - 1]), n <= l.pumps) << "pump " << n;
        EXPECT_EQ(enabled(mc::HeadGroup), l.headGroup);
        EXPECT_FALSE(l.keepResource);
    }
    EXPECT_TRUE(LayoutForMachineType(8).keepResource);
    EXPECT_EQ(LayoutForMachineType(7, 2).zNozzles, (std::vector<int>{5, 6, 7, 8}));
    EXPECT_EQ(LayoutForMachineType(3, 2).zNozzles, (std::vector<int>{1, 2, 3, 4}));
}

TEST(ManualControlEnabling, RulesPerMachineType) {
    // Common controls follow the flag; the part list's Start only outside a full homing.
    auto t2 = Final(EnableStates(true, {2, false, -1}));
    for (int id : {mc::Reset, mc::XMinus, mc::YPlus, mc::ZPlus[0], mc::ZMinus[1], mc::APlus[1], mc::FeedBank,
                   mc::Pumps[1], mc::SMinus, mc::SPlus, mc::FeedXPlus, mc::PartListStart})
        EXPECT_TRUE(t2.at(id)) << id;
    EXPECT_FALSE(t2.at(mc::HeadGroup));
    EXPECT_FALSE(t2.count(mc::Pumps[2]));
    EXPECT_FALSE(Final(EnableStates(true, {2, false, 0})).count(mc::PartListStart));

    // Type 0: the feeder cluster stays off with the panel enabled, and before
    // connecting (the panel disabled) it is off like every other jog button.
    EXPECT_FALSE(Final(EnableStates(true, {0, false, -1})).at(mc::FeedXPlus));
    EXPECT_FALSE(Final(EnableStates(true, {0, false, -1})).at(mc::SPlus));
    for (int type = 0; type <= 9; ++type) {
        const auto off = Final(EnableStates(false, {type, false, -1}));
        for (int id : {mc::FeedYPlus, mc::FeedXMinus, mc::FeedXPlus, mc::FeedYMinus})
            EXPECT_FALSE(off.count(id) && off.at(id)) << "type " << type << " control " << id;
    }

    // Eight heads: every nozzle, the head group; the cluster never.
    auto t7 = Final(EnableStates(true, {7, false, -1}));
    for (int id : {mc::ZPlus[7], mc::AMinus[7], mc::Pumps[7], mc::HeadGroup}) EXPECT_TRUE(t7.at(id)) << id;
    EXPECT_FALSE(t7.at(mc::FeedXPlus));
    EXPECT_FALSE(t7.count(mc::PartListClamp));
    EXPECT_TRUE(Final(EnableStates(true, {7, true, -1})).at(mc::PartListClamp));

    // With the automatic conveyor the bank button, the cluster and S stay off.
    auto conveyor = Final(EnableStates(true, {2, true, -1}));
    for (int id : {mc::FeedBank, mc::FeedXPlus, mc::FeedXMinus, mc::FeedYPlus, mc::FeedYMinus, mc::SMinus, mc::SPlus})
        EXPECT_FALSE(conveyor.at(id)) << id;

    // Type 8 sets the common controls only.
    auto t8 = Final(EnableStates(true, {8, false, -1}));
    EXPECT_FALSE(t8.count(mc::FeedXPlus));
    EXPECT_FALSE(t8.count(mc::HeadGroup));
    EXPECT_TRUE(t8.at(mc::Pumps[0]));
}
