#include <gtest/gtest.h>

#include <algorithm>

#include <chrono>
#include <cstdio>
#include <tuple>

#include "link/cmd_srv.h"
#include "link/replies.h"
#include "platform/uipost.h"
#include "link_fixture.h"

using namespace smt;
using namespace smt::test;
using namespace std::chrono_literals;

namespace {

// Dispatches a serial reply frame as the frame thread would.
void Serial(std::uint8_t type, std::uint8_t code, std::vector<std::uint8_t> data = {}) {
    ReplyFrame f;
    f.type = type;
    f.code = code;
    f.length = static_cast<std::uint8_t>(data.size());
    std::copy(data.begin(), data.end(), f.data.begin());
    DispatchSerialReply(f);
}

bool IsSet(ReplyFamily f) { return g_ReplyEvents[f].Wait(0ms) == plat::WaitResult::Signalled; }
// A reply (TYPE 1) dispatched, then whether it released `family`.
bool SerialReleases(ReplyFamily family, std::uint8_t code, std::vector<std::uint8_t> data = {}) {
    Serial(0x01, code, std::move(data));
    return IsSet(family);
}

}  // namespace

class SerialReplies : public LinkTest {};

TEST_F(SerialReplies, CommandRepliesReleaseTheirFamiliesUnknownOnesAreShown) {
    const std::tuple<std::uint8_t, ReplyFamily, bool> cases[] = {
        {0x53, ReplyFamily::MoveXY, true},     {0x54, ReplyFamily::MoveXYRotate, true}, {0x61, ReplyFamily::SingleAxis, true},
        {0x64, ReplyFamily::MoveXYA, true},    {0x56, ReplyFamily::Feed, false},        {0x66, ReplyFamily::Feed, false},
        {0x58, ReplyFamily::Dispense, false},  {0x62, ReplyFamily::Conveyor, false},    {0x63, ReplyFamily::FlyCamera, false},
        {0x65, ReplyFamily::MoveXYAMulti, false}};
    int counted = 0;
    for (const auto& [code, family, counts] : cases) {
        EXPECT_TRUE(SerialReleases(family, code)) << std::hex << int(code);
        counted += counts;
        EXPECT_EQ(g_PanelLink.replyCounter.load(), counted);
    }
    EXPECT_EQ(hooks.Take(), (Calls{"replies 1", "replies 2", "replies 3", "replies 4"}));
    Serial(0x01, 0x03);
    Serial(0x01, 0x04);
    Serial(0xF1, 0x99);
    EXPECT_EQ(boxes.Count(), 0u);

    Serial(0x01, 0x99);
    Serial(0x37, 0x61);
    Serial(0xFF, 0x42);
    EXPECT_EQ(boxes.Texts(), (Calls{"返回类型错误 !", "提问、应答或错误异常 !", "返回指令错误 - 未知 !"}));
}

// Releases, readings and homings are pinned by the flows against the simulated
// machine; here the failure statuses those flows never get.
TEST_F(SerialReplies, HandshakeFailedPlaceAndFailedMeasurement) {
    hooks.limitsOnLink = true;
    EXPECT_TRUE(SerialReleases(ReplyFamily::SingleAxis, 0x00));
    EXPECT_EQ(hooks.Take(), (Calls{"linked", "limits"}));
    g_VacuumCheckOk = true;
    EXPECT_TRUE(SerialReleases(ReplyFamily::Place, 0x68, {0x01, 33}));
    EXPECT_FALSE(g_VacuumCheckOk.load());
    EXPECT_EQ(hooks.Take(), (Calls{"vacuum 33", "z0"}));
    g_PanelLink.measuredHeight = 5;
    EXPECT_TRUE(SerialReleases(ReplyFamily::SingleAxis, 0x71, {0x00, 0x00, 0x01, 0x02, 0x03}));
    EXPECT_EQ(g_PanelLink.measuredHeight.load(), 0);
    EXPECT_EQ(boxes.Texts(), Calls{"Measurement Error !"});
    EXPECT_TRUE(boxes.Seen()[0].topmost);
}

// The place check's verdict is the first byte alone; the second is the reading shown.
TEST_F(SerialReplies, PlaceCheckVerdictIsTheFirstByte) {
    g_VacuumCheckOk = false;
    EXPECT_TRUE(SerialReleases(ReplyFamily::Place, 0x68, {0x00, 33}));
    EXPECT_TRUE(g_VacuumCheckOk.load());
    EXPECT_EQ(g_VacuumReading.load(), 33);
    EXPECT_EQ(hooks.Take(), (Calls{"vacuum 33", "z0"}));
    g_ReplyEvents[ReplyFamily::Place].Reset();
    EXPECT_TRUE(SerialReleases(ReplyFamily::Place, 0x68, {0x02, 0x00}));
    EXPECT_FALSE(g_VacuumCheckOk.load());
    EXPECT_EQ(g_VacuumReading.load(), 0);
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(SerialReplies, ErrorReportsShowTheirText) {
    struct Case {
        std::uint8_t code, sub;
        Calls texts;
    };
    std::vector<Case> cases = {
        {0xE2, 0x03, {"Error E2-03电机或传感器故障 !"}}, {0xE2, 0x0F, {"Error E2-0F电机或传感器故障 !"}}, {0xE2, 0x10, {}},
        {0xE5, 0x00, {"Error E5-00电机正在运行 !"}},     {0xE5, 0x0B, {"Error E5-0B电机正在运行 !"}},
        {0xE5, 0xFD, {"Error E5-XY电机正在运行 !"}},     {0xE5, 0xFE, {"Error E5-XYA电机正在运行 !"}},
        {0xE5, 0x10, {"Error E5-XX电机正在运行 !"}},     {0xE8, 0x11, {"Error E8-X coordinate limit !"}},
        {0xE8, 0x14, {"Error E8-X coordinate limit !"}}, {0xE8, 0x12, {"Error E8-Y coordinate limit !"}},
        {0xE8, 0x15, {"Error E8-Y coordinate limit !"}}, {0xE8, 0x13, {"Error E8-XX"}}};
    // The plain reports show only their code.
    std::vector<int> plain{0x61, 0x62, 0x64, 0x65, 0x66, 0x67, 0x68, 0x71, 0xE1, 0xE6, 0xE7};
    for (int c = 0xB1; c <= 0xB9; ++c) plain.push_back(c);
    for (int c = 0xD0; c <= 0xD5; ++c) plain.push_back(c);
    char text[16];
    for (int c : plain) {
        std::snprintf(text, sizeof text, "Error %02X", c);
        cases.push_back({static_cast<std::uint8_t>(c), 0x00, {text}});
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << int(c.code) << "-" << int(c.sub));
        boxes.Clear();
        g_Homed = true;
        Serial(0xFF, c.code, {c.sub});
        EXPECT_EQ(boxes.Texts(), c.texts);
        if (c.code == 0xE2) {
            EXPECT_FALSE(g_Homed.load());
        }
    }
    EXPECT_TRUE(g_HeadResetOk.load());
    EXPECT_TRUE(hooks.Take().empty());
    // Caption-file texts replace the built-in ones.
    LinkTexts t;
    t.message22 = " motor running !";
    SetLinkTexts(t);
    boxes.Clear();
    Serial(0xFF, 0xE5, {0x02});
    EXPECT_EQ(boxes.Texts(), Calls{"Error E5-02 motor running !"});
    // The debug model gets its controls back after a motor fault.
    hooks.debugModel = true;
    g_PanelLink.resetKind = 0;
    Serial(0xFF, 0xE2, {0x01});
    EXPECT_EQ(g_PanelLink.resetKind.load(), -1);
    EXPECT_EQ(hooks.Take(), Calls{"enable"});
}

// An error report names no command: the move that waits is refused, books
// nothing, and a move armed later is not touched.
TEST_F(SerialReplies, ErrorReportRefusesTheMoveThatWaits) {
    {
        ReplyWaiter waiter(ReplyFamily::MoveXYA);
        Serial(0xFF, 0xE3, {0x00});
        EXPECT_FALSE(g_HeadResetOk.load());
        EXPECT_FALSE(AwaitReply(ReplyFamily::MoveXYA, WaitKind::Move, "64", Transport::Serial));
    }
    EXPECT_EQ(boxes.Texts(), (Calls{"返回指令E3 - 贴片头没有复位 !", "请复位机器 !"}));
    {
        ReplyWaiter waiter(ReplyFamily::SingleAxis);
        Serial(0xFF, 0xE8, {0x11});
        EXPECT_FALSE(AwaitReply(ReplyFamily::SingleAxis, WaitKind::Move, "61", Transport::Serial));
        // Armed again for the next command: the refusal is gone with it.
        ReplyWaiter next(ReplyFamily::SingleAxis);
        Serial(0x01, 0x61);
        EXPECT_TRUE(AwaitReply(ReplyFamily::SingleAxis, WaitKind::Move, "61", Transport::Serial));
    }
    const auto calls = hooks.Take();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "trace 64->refused"), 1);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "trace 61->refused"), 1);
    // Nothing waits: nothing released.
    Serial(0xFF, 0xE4, {0x00});
    EXPECT_FALSE(IsSet(ReplyFamily::MoveXYA));
    EXPECT_FALSE(IsSet(ReplyFamily::SingleAxis));
}

// The reply thread never waits on the operator: a box is handed to the
// user-interface thread and the replies behind it are dispatched at once.
TEST_F(SerialReplies, BoxesArePostedAndTheRepliesBehindThemGoOn) {
    plat::SetUiPoster(nullptr);  // the user-interface thread busy: tasks queue up
    ReplyWaiter waiter(ReplyFamily::Vacuum);
    Serial(0x37, 0x61);           // unknown type: a box
    Serial(0x01, 0x15, {1, 57});  // the vacuum reading behind it
    EXPECT_TRUE(AwaitReply(ReplyFamily::Vacuum, WaitKind::Query, "15", Transport::Serial));
    EXPECT_EQ(g_VacuumReading.load(), 57);
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(plat::RunPostedTasks(), 1);
    EXPECT_EQ(boxes.Texts(), Calls{"提问、应答或错误异常 !"});
}

TEST_F(SerialReplies, PanelKeys) {
    // '1' starts only when idle and with the heads homed.
    OnMachinePanelKey('1');
    g_HeadResetOk = false;
    OnMachinePanelKey('1');
    EXPECT_EQ(boxes.Texts(), Calls{"请先按总复位机器 !"});
    EXPECT_TRUE(boxes.Seen()[0].topmost);
    g_HeadResetOk = true;
    // Idle: '2' and '3' do nothing; '5' changes the gear; '6'..'9' jog.
    for (char k : {'2', '3', '4', '5', '6', '7', '8', '9'}) OnMachinePanelKey(static_cast<std::uint8_t>(k));
    EXPECT_EQ(hooks.Take(), (Calls{"start", "gear", "jog 1,1", "jog 1,0", "jog 0,0", "jog 0,1"}));
    // Running: pause or regain, stop, gear; no start, no jog.
    g_Running = true;
    for (char k : {'1', '2', '6', '9', '5', '3'}) OnMachinePanelKey(static_cast<std::uint8_t>(k));
    hooks.paused = true;
    OnMachinePanelKey('2');
    EXPECT_EQ(hooks.Take(), (Calls{"pause", "gear", "stop", "regain"}));
}

TEST_F(LinkTest, MachineStatusTextsAndFlagEffects) {
    const std::tuple<std::uint8_t, std::string, bool> cases[] = {
        {0x01, "Error-01 = 超时 !", false},         {0x02, "Error-02 = 通信端口错误 !", false},
        {0x03, "Error-03 = 打包错误 !", false},     {0x04, "Error-04 = 加密错误 !", false},
        {0x05, "Error-05 = 长度错误 !", false},     {0x10, "Error-10 = 运行保护 !", false},
        {0x11, "Error-11 = X当前位置出错 !", false}, {0x12, "Error-12 = Y当前位置出错 !", false},
        {0x14, "Error-14 = X坐标超限 !", false},    {0x15, "Error-15 = Y坐标超限 !", false},
        {0x20, "Error-20 = Z1电机或传感器故障 !", false}, {0x27, "Error-27 = Z8电机或传感器故障 !", false},
        {0x28, "Error-28 = Z1电机或测量头故障 !", false}, {0x29, "Error-29 = Z复位故障 !", true},
        {0xE3, "Error-29 = Z复位故障 !", true},     {0x30, "Error-30 = S1电机或传感器故障 !", false},
        {0x3B, "Error-3B = S12电机或传感器故障 !", false}, {0x41, "Error-41 = 机头板超时 !", false},
        {0x42, "Error-42 = 飞达板超时 !", false},   {0x43, "Error-43 = 自动进板超时 !", false},
        {0x68, "Error-68 = 真空检查失败 !", true},  {0xFF, "Error-FF = 未知错误 !", false},
        {0x13, "Error-?? = 错误代码 !", false},     {0x3C, "Error-?? = 错误代码 !", false},
    };
    EXPECT_TRUE(ShowMachineError(0x00));
    for (const auto& [s, text, trace] : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << int(s));
        ResetLinkState();
        g_Connected = g_Homed = g_VacuumCheckOk = true;
        boxes.Clear();
        hooks.Take();
        EXPECT_FALSE(ShowMachineError(s));
        if (trace) {
            EXPECT_EQ(boxes.Count(), 0u);
            EXPECT_EQ(hooks.Take(), Calls{"trace " + text});
        } else {
            EXPECT_EQ(boxes.Texts(), Calls{text});
            EXPECT_TRUE(boxes.Seen()[0].topmost);
        }
        const bool headCleared = s == 0x10 || s == 0x11 || s == 0x12 || s == 0x14 || s == 0x15 || s == 0x28 ||
                                 s == 0x29 || s == 0xE3;
        EXPECT_EQ(g_HeadResetOk.load(), !headCleared);
        EXPECT_EQ(g_Homed.load(), !((s >= 0x20 && s <= 0x27) || (s >= 0x30 && s <= 0x3B)));
        EXPECT_EQ(g_Connected.load(), !(s >= 0x41 && s <= 0x43));
        EXPECT_EQ(g_VacuumCheckOk.load(), s != 0x68);
    }
}

class EthernetReplies : public LinkTest {
protected:
    void Eth(std::uint16_t command, std::vector<std::uint8_t> data, std::uint8_t flag = 1) {
        LinkMessage m;
        m.Assign(flag, command, data.data(), data.size());
        DispatchEthernetReply(m, link);
    }
    bool EthReleases(ReplyFamily family, std::uint16_t command, std::vector<std::uint8_t> data, std::uint8_t flag = 1) {
        Eth(command, std::move(data), flag);
        return IsSet(family);
    }
    MachineLink link;
};

TEST_F(EthernetReplies, RepliesCheckZAndReleaseTheirFamilies) {
    g_PanelLink.zCheckMask = 0x03;
    // 0x61 with the Z state differing from the mask warns and still releases.
    EXPECT_TRUE(EthReleases(ReplyFamily::SingleAxis, 0x61, {0x00, 0x01}));
    EXPECT_FALSE(g_HeadResetOk.load());
    EXPECT_EQ(hooks.Take(), Calls{"trace Machine reset Z warning !"});
    EXPECT_TRUE(EthReleases(ReplyFamily::Dispense, 0x58, {0x00, 0x03}));
    EXPECT_TRUE(g_HeadResetOk.load());
    // The other releases and a shown status that still releases are pinned by the Ethernet flows.
    EXPECT_TRUE(EthReleases(ReplyFamily::Feed, 0x56, {0x00, 0x03}));
    // Pick and place check Z only while the head state is good.
    g_HeadResetOk = false;
    EXPECT_TRUE(EthReleases(ReplyFamily::Pick, 0x67, {0x00, 0x03}));
    EXPECT_FALSE(g_HeadResetOk.load());
    EXPECT_TRUE(hooks.Take().empty());
    EXPECT_EQ(boxes.Count(), 0u);
    // 0x60 reports its status and releases nothing; the command word is compared whole.
    Eth(0x60, {0x00});
    Eth(0x1061, {0x00, 0x03});
    EXPECT_FALSE(IsSet(ReplyFamily::SingleAxis));
}

TEST_F(EthernetReplies, VacuumIgnoresTheStatusAFailedHomingDoesNotFinish) {
    EXPECT_TRUE(EthReleases(ReplyFamily::Vacuum, 0x15, {0x05, 44}));
    EXPECT_EQ(g_VacuumReading.load(), 44);
    EXPECT_EQ(boxes.Count(), 0u);
    Eth(0x02, {0x00});
    Eth(0x02, {0x20});  // Z1 fault: no finish
    hooks.machineType = 4;
    Eth(0x02, {0x00});
    EXPECT_EQ(boxes.Texts(), Calls{"Error-20 = Z1电机或传感器故障 !"});
    EXPECT_EQ(hooks.Take(), (Calls{"vacuum 44", "homed", "homed4"}));
    // The loader's unknown-command answer still wakes the firmware wait.
    Eth(0xFFF, {});
    EXPECT_EQ(link.FirmwareEvent().Wait(0ms), plat::WaitResult::Signalled);
}

TEST_F(EthernetReplies, UnsolicitedMessages) {
    Eth(0x15, {1, 2, 3, 4, 5, 6, 7, 8}, 0);
    Eth(0x15, {9}, 0);
    EXPECT_EQ(hooks.Take(), (Calls{"nozzles 1 2 3 4 5 6 7 8", "nozzles 9 0 0 0 0 0 0 0"}));
    for (std::uint16_t c : {0x62, 0x63, 0x64, 0x65, 0x56, 0x66, 0x67, 0x68})
        EXPECT_TRUE(EthReleases(*FamilyOfCommand(c), c, {0x00, 0x00}, 0)) << std::hex << c;
    EXPECT_FALSE(EthReleases(ReplyFamily::SingleAxis, 0x61, {0x00}, 0));  // not in the table: ignored
    Eth(0x14, {5}, 0);
    EXPECT_EQ(hooks.Take(), Calls{"gear"});
}

TEST_F(EthernetReplies, HeadSelectionCyclesPerMachineType) {
    auto cycle = [](int type) {
        std::vector<int> seen;
        for (int i = 0, s = 0; i < 10; ++i) seen.push_back(s = NextHeadSelection(s, type));
        return seen;
    };
    EXPECT_EQ(cycle(0), (std::vector<int>{1, 2, 0, 1, 2, 0, 1, 2, 0, 1}));
    EXPECT_EQ(cycle(5), cycle(2));
    EXPECT_EQ(cycle(3), (std::vector<int>{1, 2, 3, 4, 0, 1, 2, 3, 4, 0}));
    EXPECT_EQ(cycle(7), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 0, 1}));
    EXPECT_EQ(std::pair(NextHeadSelection(3, 8), NextHeadSelection(3, 9)), std::pair(3, 3));

    hooks.machineType = 7;
    for (int i = 0; i < 9; ++i) OnEthernetPanelKey(6);
    EXPECT_EQ(g_PanelLink.headSelection.load(), 0);
    const auto calls = hooks.Take();
    ASSERT_EQ(calls.size(), 9u);
    EXPECT_EQ(calls[0] + "|" + calls[7] + "|" + calls[8], "speed 5,1|speed 5,8|speed 5,0");
    // While running the selection still moves but nothing is sent.
    g_Running = true;
    OnEthernetPanelKey(6);
    EXPECT_EQ(g_PanelLink.headSelection.load(), 1);
    EXPECT_TRUE(hooks.Take().empty());
}

TEST_F(EthernetReplies, RunAndJogKeysPerMachineType) {
    const std::tuple<int, int, std::string, std::string> cases[] = {
        {0, 0, "jog 1,0", "jog 1,1"}, {0, 1, "jog 2,0", "jog 2,1"}, {2, 2, "jog 3,1", "jog 3,0"},
        {5, 1, "jog 2,0", "jog 2,1"}, {3, 1, "jog 2,0", "jog 2,1"}, {3, 2, "jog 2,1", "jog 2,0"},
        {4, 3, "jog 3,0", "jog 3,1"}, {6, 4, "jog 3,1", "jog 3,0"}, {7, 1, "jog 32,0", "jog 32,1"},
        {7, 8, "jog 39,0", "jog 39,1"}, {7, 0, "jog 1,0", "jog 1,1"}};
    for (const auto& [type, selection, key9, key10] : cases) {
        hooks.machineType = type;
        g_PanelLink.headSelection = selection;
        OnEthernetPanelKey(9);
        OnEthernetPanelKey(10);
        EXPECT_EQ(hooks.Take(), (Calls{key9, key10})) << type << "/" << selection;
    }
    // Types 8 and 9 have no head jog.
    hooks.machineType = 9;
    g_PanelLink.headSelection = 1;
    OnEthernetPanelKey(9);
    EXPECT_TRUE(hooks.Take().empty());

    hooks.machineType = 0;
    g_PanelLink.headSelection = 0;
    for (std::uint8_t k : {2, 3, 4, 5, 7, 8, 11, 12, 0}) OnEthernetPanelKey(k);
    EXPECT_EQ(hooks.Take(), (Calls{"gear", "jog 0,0", "jog 0,1", "reset"}));
    g_Running = true;
    for (std::uint8_t k : {1, 2, 3, 4, 5, 7, 8}) OnEthernetPanelKey(k);
    EXPECT_EQ(hooks.Take(), (Calls{"pause", "regain", "stop"}));
    g_Running = false;
    OnEthernetPanelKey(1);
    EXPECT_EQ(hooks.Take(), Calls{"start"});
    g_HeadResetOk = false;
    OnEthernetPanelKey(1);
    EXPECT_EQ(boxes.Texts(), Calls{"请先按总复位机器 !"});
}
