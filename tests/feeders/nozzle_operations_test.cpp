// The nozzle library's hand operations against the simulated machine: which
// commands go out in which order, which Z axis moves which way, and that the
// program's books (in-holder flags, heads' nozzles) match the machine's ledger.
#include "../link/sim_fixture.h"

#include "base/globals.h"
#include "feeders/nozzle_operations.h"
#include "feeders/strategy_port.h"
#include "platform/uipost.h"
#include "run_state/nozzle_work.h"

namespace smt::test {
namespace {

constexpr std::int32_t kZLimit = -2000;

class NozzleOps : public SimTest {
protected:
    void TearDown() override {
        TheStrategyPort() = StrategyPort{};
        TheNozzleLibrary().FreeTable();
        ResetNozzleStates();
        g_NozzleToNozzle1Pulses = {};
        g_MachineType = 0;
        SimTest::TearDown();
    }

    // 100 pulses per mm in X and Z, 80 in Y. Holder (250, -40) mm, entry (260, -40)
    // mm, entry Z -5 mm; head n sits (n - 1) x 30 mm right of head 1 and (n - 1) x
    // 100 pulses off it in Y, behind for even heads and in front for odd ones, and
    // reaches 0.5 mm lower per head.
    void Prepare(int type, bool nineteen, bool serial = true, const std::string& entryZ = "-5.0000",
                 const std::string& holderX = "250.0000") {
        g_MachineType = type;
        StartMachine(serial, type);
        g_Homed = true;
        g_HeadResetOk = true;
        PulseFactors& f = ThePulseFactors();
        f.m_X_Pulse = f.m_Z_Pulse = 100;
        f.m_Y_Pulse = 80;
        double* feed[] = {&TheBasicSettings().m_Z_Nozzle1ToFeed, &TheBasicSettings().m_Z_Nozzle2ToFeed,
                          &TheBasicSettings().m_Z_Nozzle3ToFeed, &TheBasicSettings().m_Z_Nozzle4ToFeed,
                          &TheBasicSettings().m_Z_Nozzle5ToFeed, &TheBasicSettings().m_Z_Nozzle6ToFeed,
                          &TheBasicSettings().m_Z_Nozzle7ToFeed, &TheBasicSettings().m_Z_Nozzle8ToFeed};
        std::array<std::pair<std::int32_t, std::int32_t>, 8> offsets{};
        std::array<std::int32_t, 8> heights{};
        for (int n = 1; n <= 8; ++n) {
            *feed[n - 1] = -10 - 0.5 * (n - 1);
            const int sign = n % 2 == 0 ? -1 : 1;
            g_NozzleToNozzle1Pulses[n - 1] = {3000 * (n - 1), sign * 100 * (n - 1)};
            offsets[n - 1] = {3000 * (n - 1), sign * 100 * (n - 1)};
            heights[n - 1] = -500 - 50 * (n - 1);
        }
        SpeedTypeTable t;
        for (int d = 0; d < 16; ++d) t.SetPair(d, {20, 100});
        TheSpeedTemplates().SetTable(SpeedType::AutoNozzle, t);
        TheStrategyPort().m_19NozzleLibrary = [nineteen] { return nineteen ? 1 : 0; };
        TheNozzleLibrary().Rows() = {{"1", holderX, "-40.0000", "-3.0000", "260.0000", "-40.0000", entryZ, "40", "N1"},
                                     {"2", "280.0000", "-40.0000", "-3.0000", "290.0000", "-40.0000", entryZ, "40", "N2"}};
        TheNozzleLibrary().m_Config.m_Delay = 0;
        ResetNozzleStates();
        sim::NozzleHolder h0{25000, -3200, 26000, -3200, heights, true};
        sim::NozzleHolder h1{28000, -3200, 29000, -3200, heights, true};
        machine().SetNozzleLibrary({h0, h1}, nineteen);
        machine().SetHeadOffsets(offsets);
    }

    // Runs one operation from the menu's start to its end; the dialog's updates as text.
    std::vector<std::string> Run(NozzleOperation op, int row, int headIndex) {
        machine().ClearRecords();
        std::vector<std::string> shown;
        NozzleOperationView view;
        view.enableDialog = [&](bool on) { shown.push_back(on ? "enable" : "disable"); };
        view.setListRow = [&](int r, int image, const std::string& text) {
            shown.push_back("row " + std::to_string(r) + " image " + std::to_string(image) + " " + text);
        };
        view.showHeadNozzle = [&](int head, const std::string& text) {
            shown.push_back("A" + std::to_string(head) + "=" + text);
        };
        const auto request = MakeNozzleRequest(op, row, TheNozzleLibrary().Rows()[row], headIndex, kZLimit);
        EXPECT_TRUE(StartNozzleOperation(request, view));
        EXPECT_TRUE(WaitIdle());
        plat::RunPostedTasks();
        return shown;
    }

    // The commands the machine took, "61" or "03:1" for an output.
    std::string Sequence() {
        std::string s;
        for (const auto& f : machine().Frames()) {
            char code[8];
            std::snprintf(code, sizeof code, "%02X", f.code);
            s += s.empty() ? "" : " ";
            s += code;
            if (f.code == 0x03) s += ":" + std::to_string(f.data.size() > 1 ? f.data[1] : -1);
        }
        return s;
    }
    // A command without a reply (the output) may still be on its way to the machine.
    void ExpectSequence(const std::string& expected) {
        WaitUntil([&] { return Sequence() == expected; }, std::chrono::seconds(2));
        EXPECT_EQ(Sequence(), expected);
    }
    // Every single-axis move as "axis:delta" (axis in hex).
    std::string ZMoves() {
        std::string s;
        for (const auto& f : FramesOf(0x61)) {
            sim::FieldReader r(f.data);
            const int axis = r.U8();
            if (f.link == sim::Link::Udp) r.Le32();
            const std::int32_t delta = f.link == sim::Link::Serial ? r.Sm32() : r.Le32();
            char text[32];
            std::snprintf(text, sizeof text, "%s%X:%d", s.empty() ? "" : " ", axis, delta);
            s += text;
        }
        return s;
    }
    void ExpectBooksMatchMachine(int head, int nozzle) {
        const auto work = CopyNozzleWork();
        const auto table = CopyNozzleTable();
        EXPECT_EQ(work[head - 1].mountedNozzle, nozzle);
        EXPECT_EQ(machine().HeadNozzle(head), nozzle);
        EXPECT_EQ(table[0].inHolder, nozzle == 0 ? 1 : 0);
        EXPECT_EQ(machine().NozzleHolders()[0].holds, nozzle == 0);
        ExpectCountersAtMachine();
    }
};

TEST_F(NozzleOps, TakeOutAndPutBackByMachineTypeAndHead) {
    struct Case {
        int type, headIndex;
        const char* zMoves;  // down, then up; the same back in the put-back
        bool ledger;         // the machine has Z drives for the head
    };
    const Case cases[] = {
        {0, 0, "2:500 2:-500", true},     {2, 1, "2:-550 2:550", true},   {3, 2, "3:600 3:-600", true},
        {3, 3, "3:-650 3:650", true},     {7, 0, "20:-500 20:500", true}, {7, 4, "24:-700 24:700", true},
        {4, -1, "2:500 2:-500", true},    {8, -1, "", false},            {9, 0, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type) + " head index " + std::to_string(c.headIndex));
        Prepare(c.type, false);
        const int head = c.headIndex < 0 ? 1 : c.headIndex + 1;
        const auto shown = Run(NozzleOperation::TakeOut, 0, c.headIndex);
        ExpectSequence(c.ledger ? "60 64 64 61 64 61" : "60 64 64 64");
        EXPECT_EQ(ZMoves(), c.zMoves);
        EXPECT_EQ(shown, (std::vector<std::string>{"disable", "row 0 image 1 1", "A" + std::to_string(head) + "=1",
                                                   "enable"}));
        EXPECT_EQ(g_PulseX.load(), 26000 - 3000 * (head - 1));  // back at the entry
        if (c.ledger) ExpectBooksMatchMachine(head, 1);
        Run(NozzleOperation::PutBack, 0, 0);  // the head is found by its nozzle
        ExpectSequence(c.ledger ? "60 64 61 64 61 64" : "60 64 64 64");
        EXPECT_EQ(ZMoves(), c.zMoves);
        if (c.ledger) ExpectBooksMatchMachine(head, 0);
        EXPECT_EQ(CopyNozzleWork()[head - 1].head, 0);
        TearDown();
        SetUp();
    }
}

TEST_F(NozzleOps, NineteenNozzleLibraryOpensWithOutput7) {
    for (bool serial : {true, false}) {
        SCOPED_TRACE(serial ? "serial" : "Ethernet");
        Prepare(3, true, serial);
        g_PanelLink.zCheckMask = 0x03;  // both rockers in the middle: the heads are up
        const std::string gear = serial ? "60 " : "";
        Run(NozzleOperation::TakeOut, 1, 0);
        // Opened after the entry is reached, closed at the end.
        ExpectSequence(gear + "64 03:1 61 61 03:0");
        EXPECT_EQ(g_PulseX.load(), 29000);
        EXPECT_EQ(machine().HeadNozzle(1), 2);
        EXPECT_EQ(CopyNozzleWork()[0].mountedNozzle, 2);
        // Opened before the entry move, closed before the head rises.
        Run(NozzleOperation::PutBack, 1, 0);
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{});
        ExpectSequence(gear + "03:1 64 61 03:0 61");
        EXPECT_EQ(machine().HeadNozzle(1), 0);
        EXPECT_TRUE(machine().NozzleHolders()[1].holds);
        EXPECT_EQ(CopyNozzleTable()[1].inHolder, 1);
        // The descent opens the library and lowers the head to the entry.
        Run(NozzleOperation::DescendToEntry, 1, 0);
        ExpectSequence("03:1 61");
        EXPECT_EQ(g_PulseZ[0].load(), -500);
        ExpectCountersAtMachine();
        TearDown();
        SetUp();
    }
}

TEST_F(NozzleOps, RefusalsSendNothingAndAHalfDoneTakeOutChangesNoBooks) {
    struct Case {
        const char* name;
        NozzleOperation op;
        int mountedOnHead1;   // before the operation
        std::uint8_t row0InHolder;
        const char* entryZ;
        const char* box;
    };
    const Case cases[] = {
        {"head carries", NozzleOperation::TakeOut, 2, 1, "-5.0000", "贴片头上已有吸嘴 !"},
        {"holder empty", NozzleOperation::TakeOut, 0, 0, "-5.0000", "吸嘴坐上无吸嘴 !"},
        {"no head carries it", NozzleOperation::PutBack, 0, 0, "-5.0000", "贴片头上无吸嘴 !"},
        {"holder full", NozzleOperation::PutBack, 1, 1, "-5.0000", "吸嘴坐上已有吸嘴 !"},
        {"below the Z limit", NozzleOperation::TakeOut, 0, 1, "-30.0000", "Z Pos Error !"},
        {"descent below the Z limit", NozzleOperation::DescendToEntry, 0, 1, "-30.0000", "Z Pos Error !"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Prepare(0, false, true, c.entryZ);
        {
            std::lock_guard lock(NozzleStateMutex());
            g_NozzleWork[0].head = c.mountedOnHead1 ? 1 : 0, g_NozzleWork[0].mountedNozzle = c.mountedOnHead1;
            g_NozzleTable[0].inHolder = c.row0InHolder;
        }
        boxes.Clear();
        Run(c.op, 0, 0);
        ExpectSequence("");
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{c.box});
        EXPECT_EQ(CopyNozzleWork()[0].mountedNozzle, c.mountedOnHead1);
        TearDown();
        SetUp();
    }
    // A row numbered 0 is no head's nozzle, though every empty head "carries 0".
    Prepare(0, false);
    TheNozzleLibrary().Rows()[0][0] = "0";
    {
        std::lock_guard lock(NozzleStateMutex());
        g_NozzleTable[0].inHolder = 0;
    }
    boxes.Clear();
    Run(NozzleOperation::PutBack, 0, 0);
    ExpectSequence("");
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"贴片头上无吸嘴 !"});
    TearDown();
    SetUp();
    // The holder lies beyond the X travel: the move there is refused after the entry.
    Prepare(0, false, true, "-5.0000", "4500.0000");
    boxes.Clear();
    Run(NozzleOperation::TakeOut, 0, 0);
    ExpectSequence("60 64");
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"X Pos Error !"});
    ExpectBooksMatchMachine(1, 0);
    // Busy: the menu item is refused before anything starts.
    ASSERT_TRUE(TryClaimBusy());
    boxes.Clear();
    EXPECT_FALSE(StartNozzleOperation(MakeNozzleRequest(NozzleOperation::HeadToHolder, 0, TheNozzleLibrary().Rows()[0], 0,
                                                        kZLimit),
                                      {}));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Machine is runnig !"});
    ReleaseBusy();
}

TEST_F(NozzleOps, MovesToHolderEntryAndCamera) {
    Prepare(2, false);
    g_CameraToNozzle1Pulses = {-1000, 500};
    Run(NozzleOperation::HeadToHolder, 0, 1);
    EXPECT_EQ(machine().Positions().x, 22000);  // 250 mm less head 2's 30 mm
    EXPECT_EQ(machine().Positions().y, -3200 + 100);  // -40 mm less head 2's -100 pulses
    Run(NozzleOperation::HeadToEntry, 1, 1);
    EXPECT_EQ(machine().Positions().x, 26000);
    EXPECT_EQ(machine().Positions().y, -3200 + 100);
    Run(NozzleOperation::CameraToHolder, 0, 1);
    EXPECT_EQ(machine().Positions().x, 26000);
    EXPECT_EQ(machine().Positions().y, -3200 - 500);
    ExpectSequence("60 64");
    ExpectCountersAtMachine();
    g_CameraToNozzle1Pulses = {};
}

} // namespace
} // namespace smt::test
