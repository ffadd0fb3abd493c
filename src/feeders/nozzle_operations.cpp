#include "feeders/nozzle_operations.h"

#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>

#include "base/numtext.h"
#include "feeders/strategy_port.h"
#include "link/commands.h"
#include "link/position_counters.h"
#include "platform/event.h"
#include "platform/msgbox.h"
#include "platform/threads.h"
#include "platform/uipost.h"
#include "run_state/nozzle_work.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "settings/speed_template.h"
#include "vision/camera_panel_port.h"

namespace smt {

NozzleOperationRequest MakeNozzleRequest(NozzleOperation operation, int row, const NozzleRow& cells,
                                         int headIndex, std::int32_t zLimitPulses) {
    const BasicSettings& b = TheBasicSettings();
    const PulseFactors& f = ThePulseFactors();
    NozzleOperationRequest r;
    r.operation = operation;
    r.row = row;
    r.cells = cells;
    r.headIndex = NozzleHeadIndex(headIndex);
    r.machineType = g_MachineType;
    r.nineteenLibrary = StrategyPort::Read(TheStrategyPort().m_19NozzleLibrary) != 0;
    r.serial = b.m_CommModel == 0;
    r.delayMs = TheNozzleLibrary().m_Config.m_Delay;
    r.zLimitPulses = zLimitPulses;
    r.xPulse = f.m_X_Pulse;
    r.yPulse = f.m_Y_Pulse;
    r.zPulse = f.m_Z_Pulse;
    r.zToFeed = ZToFeedHeights(b);
    r.cameraOffset = g_CameraToNozzle1Pulses;
    r.nozzleOffsets = g_NozzleToNozzle1Pulses;
    r.speeds = TheSpeedTemplates().Table(SpeedType::AutoNozzle);
    r.texts = &TheNozzleLibrary().m_ListTexts;
    return r;
}

namespace {

class Operation {
public:
    Operation(const NozzleOperationRequest& r, const NozzleOperationView& v) : m_r(r), m_v(v) {}

    void Run() {
        switch (m_r.operation) {
        case NozzleOperation::CameraToHolder:
        case NozzleOperation::HeadToHolder:
        case NozzleOperation::HeadToEntry: MoveToNozzleHolder(); break;
        case NozzleOperation::DescendToEntry: DescendToNozzleEntry(); break;
        case NozzleOperation::TakeOut: TakeOutNozzle(m_r.headIndex + 1); break;
        case NozzleOperation::PutBack: PutBackNozzle(); break;
        }
    }

private:
    double Cell(int i) const { return AtoF(m_r.cells[i]); }
    PulsePoint HeadOffset(int head) const {
        return head >= 2 && head <= 8 ? m_r.nozzleOffsets[head - 1] : PulsePoint{};
    }
    PulsePoint Position(int xCell, int yCell, PulsePoint offset) const {
        return {AddPulses({ToPulses(Cell(xCell), m_r.xPulse), -static_cast<std::int64_t>(offset.x)}),
                AddPulses({ToPulses(Cell(yCell), m_r.yPulse), -static_cast<std::int64_t>(offset.y)})};
    }
    std::string Text(const char* key) const {
        return m_r.texts ? m_r.texts->Text(std::string("NozzleList.") + key) : std::string(key);
    }
    void Refuse(const std::string& text) const { plat::MessageBoxOk(text, true); }

    void SpeedGearOnce() {
        if (m_r.serial && !m_gearSent) SetSpeedGear(0);
        m_gearSent = true;
    }
    bool MoveXYTo(PulsePoint target, std::uint8_t flags) {
        SpeedGearOnce();
        XYAMove m;
        m.xy.dX = static_cast<std::int32_t>(static_cast<std::int64_t>(target.x) - g_PulseX.load());
        m.xy.xSpeed = {m_r.speeds.m_Start_X, m_r.speeds.m_Normal_X};
        m.xy.dY = static_cast<std::int32_t>(static_cast<std::int64_t>(target.y) - g_PulseY.load());
        m.xy.ySpeed = {m_r.speeds.m_Start_Y, m_r.speeds.m_Normal_Y};
        m.nozzle = 0;
        m.flags = flags;
        return MoveXYA(m);
    }
    void Library(bool open) {
        SetOutput({7, static_cast<std::uint8_t>(open ? 1 : 0), 5});
        plat::SleepFor(plat::Millis(m_r.delayMs));
    }

    // The head's Z axis and speeds; none where this machine type makes no Z move.
    struct ZAxis {
        std::uint8_t axis;
        AxisSpeed speed;
    };
    std::optional<ZAxis> HeadZAxis(int head) const {
        const AxisSpeed z12{m_r.speeds.m_Start_Z1, m_r.speeds.m_Normal_Z1};
        const AxisSpeed z34{m_r.speeds.m_Start_Z2, m_r.speeds.m_Normal_Z2};
        if (m_r.machineType == 7 && head >= 1 && head <= 8)
            return ZAxis{static_cast<std::uint8_t>(0x20 + head - 1), z12};
        if (m_r.machineType >= 0 && m_r.machineType <= 6) {
            if (head == 1 || head == 2) return ZAxis{2, z12};
            if (head == 3 || head == 4) return ZAxis{3, z34};
        }
        return std::nullopt;
    }
    bool RockerFirst(int head) const {
        return m_r.machineType >= 0 && m_r.machineType <= 6 && (head == 1 || head == 3);
    }
    void MoveZ(int head, std::int32_t delta) {
        // The results of the Z strokes are not examined; a failed one has been reported.
        if (auto z = HeadZAxis(head)) MoveSingleAxis({z->axis, delta, z->speed});
    }
    void ShowZ(int head) const {
        const auto& p = TheCommandPanel();
        if (!p.showPosition || head < 1 || head > 8) return;
        const bool pulses = p.displayInPulses && p.displayInPulses();
        p.showPosition(PositionField::Z, FormatPositionField(g_PulseZ[head - 1].load(), m_r.zPulse, pulses));
    }
    void Post(std::function<void()> f) const { plat::PostToUi(std::move(f)); }
    void ShowListRow(int image) const {
        if (!m_v.setListRow) return;
        Post([f = m_v.setListRow, row = m_r.row, image] { f(row, image, FormatInt(row + 1)); });
    }
    void ShowHead(int head, int nozzle) const {
        if (!m_v.showHeadNozzle) return;
        Post([f = m_v.showHeadNozzle, head, nozzle] { f(head, FormatInt(nozzle)); });
    }

    // z of a take-out or put-back for `head`, checked against the Z range.
    std::optional<std::int32_t> ExchangeHeight(int head) const {
        const double feed = head >= 2 && head <= 8 ? m_r.zToFeed[head - 1] - m_r.zToFeed[0] : 0.0;
        const std::int32_t z = head >= 2 ? ToPulses(Cell(6) + feed, m_r.zPulse) : ToPulses(Cell(6), m_r.zPulse);
        const std::int64_t v = static_cast<std::int64_t>(z) + g_PulseZ[0].load();
        if (v < m_r.zLimitPulses || v > 0) {
            Refuse("Z Pos Error !");
            return std::nullopt;
        }
        return RockerFirst(head) ? -z : z;
    }

    void MoveToNozzleHolder() {
        const int head = m_r.headIndex + 1;
        PulsePoint target;
        if (m_r.operation == NozzleOperation::CameraToHolder) {
            const auto& cam = TheCameraPanelPort();
            if (cam.currentCamera && cam.currentCamera() != 0 && cam.selectMarkCamera) cam.selectMarkCamera();
            target = Position(1, 2, m_r.cameraOffset);
        } else if (m_r.operation == NozzleOperation::HeadToHolder) {
            target = Position(1, 2, HeadOffset(head));
        } else {
            target = Position(4, 5, HeadOffset(head));
        }
        MoveXYTo(target, 0x80);
    }

    void DescendToNozzleEntry() {
        const int head = m_r.headIndex + 1;
        if (m_r.machineType == 8 || m_r.machineType == 9) {
            if (m_r.nineteenLibrary) Library(true);
            return;
        }
        const auto axis = HeadZAxis(head);
        if (!axis) return;
        std::int32_t z = ToPulses(Cell(6), m_r.zPulse);
        if (head >= 2) z = AddPulses({z, ToPulses(m_r.zToFeed[head - 1] - m_r.zToFeed[0], m_r.zPulse)});
        const std::int32_t c = g_PulseZ[head - 1].load();
        const std::int64_t v = static_cast<std::int64_t>(z) + std::llabs(static_cast<std::int64_t>(c));
        if (v < m_r.zLimitPulses || v > 0) {
            Refuse("Z Pos Error !");
            return;
        }
        const std::int64_t d = RockerFirst(head) ? static_cast<std::int64_t>(c) - z : static_cast<std::int64_t>(z) - c;
        if (m_r.nineteenLibrary) Library(true);
        MoveSingleAxis({axis->axis, static_cast<std::int32_t>(d), axis->speed});
        ShowZ(head);
    }

    void TakeOutNozzle(int head) {
        {
            std::lock_guard lock(NozzleStateMutex());
            if (g_NozzleWork[head - 1].mountedNozzle != 0) return Refuse(Text("c_Message_08"));
            if (g_NozzleTable[m_r.row].inHolder == 0) return Refuse(Text("c_Message_07"));
        }
        const PulsePoint holder = Position(1, 2, HeadOffset(head));
        const PulsePoint entry = Position(4, 5, HeadOffset(head));
        auto z = ExchangeHeight(head);
        if (!z) return;
        if (!MoveXYTo(entry, 0x80)) return;
        if (m_r.nineteenLibrary) Library(true);
        else if (!MoveXYTo(holder, 0x80)) return;
        MoveZ(head, *z);
        if (!m_r.nineteenLibrary && !MoveXYTo(entry, 0)) return;
        MoveZ(head, -*z);
        {
            std::lock_guard lock(NozzleStateMutex());
            g_NozzleTable[m_r.row].inHolder = 0;
            g_NozzleWork[head - 1].head = head;
            g_NozzleWork[head - 1].mountedNozzle = m_r.row + 1;
        }
        ShowListRow(1);
        ShowHead(head, m_r.row + 1);
        if (m_r.nineteenLibrary) Library(false);
    }

    void PutBackNozzle() {
        const int number = AtoI(m_r.cells[0]);
        int head = 0;
        int record = -1;
        {
            std::lock_guard lock(NozzleStateMutex());
            for (int i = 0; i < 8; ++i)
                if (g_NozzleWork[i].mountedNozzle == number) {
                    record = i;
                    head = g_NozzleWork[i].head;
                    break;
                }
        }
        if (record < 0 || number == 0) return Refuse(Text("c_Message_09"));
        if (head < 1 || head > 8) head = record + 1;
        const PulsePoint holder = Position(1, 2, HeadOffset(head));
        const PulsePoint entry = Position(4, 5, HeadOffset(head));
        auto z = ExchangeHeight(head);
        if (!z) return;
        {
            std::lock_guard lock(NozzleStateMutex());
            if (g_NozzleTable[m_r.row].inHolder != 0) return Refuse(Text("c_Message_06"));
        }
        SpeedGearOnce();
        if (m_r.nineteenLibrary) Library(true);
        if (!MoveXYTo(entry, 0x80)) return;
        MoveZ(head, *z);
        if (m_r.nineteenLibrary) Library(false);
        else if (!MoveXYTo(holder, 0)) return;
        MoveZ(head, -*z);
        if (!m_r.nineteenLibrary && !MoveXYTo(entry, 0)) return;
        {
            std::lock_guard lock(NozzleStateMutex());
            g_NozzleTable[m_r.row].inHolder = 1;
            g_NozzleWork[record].head = 0;
            g_NozzleWork[record].mountedNozzle = 0;
        }
        ShowListRow(0);
        ShowHead(head, 0);
    }

    const NozzleOperationRequest& m_r;
    const NozzleOperationView& m_v;
    bool m_gearSent = false;
};

} // namespace

void NozzleLibraryThread(const NozzleOperationRequest& request, const NozzleOperationView& view) {
    if (view.enableDialog) plat::PostToUi([f = view.enableDialog] { f(false); });
    if (request.row >= 0 && request.row < kNozzleRecords) Operation(request, view).Run();
    if (view.enableDialog) plat::PostToUi([f = view.enableDialog] { f(true); });
}

bool StartNozzleOperation(const NozzleOperationRequest& request, NozzleOperationView view) {
    BusyClaim claim = ClaimMachineAction(true);
    if (!claim) return false;
    auto held = std::make_shared<BusyClaim>(std::move(claim));
    plat::StartWorker("nozzle library", [held, request, view = std::move(view)] {
        NozzleLibraryThread(request, view);
        held->Release();
    });
    return true;
}

} // namespace smt
