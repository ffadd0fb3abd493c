// The feed test: the selected feeder presents one part (or runs its feed cycle)
// exactly as a run would make it, chosen by its feed mode and its bank.
#include "feeders/feed_operation.h"

#include <cmath>

#include "base/numtext.h"
#include "feeders/auto_feed.h"
#include "feeders/feed_rows.h"
#include "feeders/feeder_words.h"
#include "link/commands.h"
#include "link/position_counters.h"
#include "platform/event.h"
#include "platform/msgbox.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "settings/speed_template.h"
#include "settings/version_switches.h"

namespace smt {

namespace {

double Cell(const std::vector<std::string>& row, std::size_t i) { return i < row.size() ? AtoF(row[i]) : 0.0; }
int Int(const std::vector<std::string>& row, std::size_t i) { return i < row.size() ? AtoI(row[i]) : 0; }

bool Serial() { return TheBasicSettings().m_CommModel == 0; }
SpeedPair Handle(int drive) { return TheSpeedTemplates().Pair(SpeedType::Handle, drive); }
SpeedPair Pick(int drive) { return TheSpeedTemplates().Pair(SpeedType::PickPart, drive); }

void Pause(int ms) { plat::SleepFor(plat::Millis(ms > 0 ? ms : 0)); }

void OutputOff(const FeederBank& bank) { SetOutput({static_cast<std::uint8_t>(bank.channel), 0, 5}); }

bool MoveXYBy(std::int32_t dX, std::int32_t dY, std::uint8_t flags) {
    const SpeedPair x = Handle(kDriveX), y = Handle(kDriveY);
    XYAMove m;
    m.xy = {dX, {x.start, x.run}, dY, {y.start, y.run}};
    m.nozzle = 0;
    m.flags = flags;
    return MoveXYA(m);
}

bool MoveAxis(int axis, std::int32_t delta, int drive) {
    const SpeedPair s = Handle(drive);
    return MoveSingleAxis({static_cast<std::uint8_t>(axis), delta, {s.start, s.run}});
}

// Integration feeder, "0402" and "48": one feed of the walk drive.
void WalkFeed(const std::vector<std::string>& row, const FeederBank& bank, int count, int number,
              const FeedOperationTexts& texts, bool outputFirst) {
    if (!bank.HasWalk()) return;
    if (outputFirst) OutputOff(bank);
    const double c = Cell(row, kFeedCoordinateCell);
    if (!bank.InWalkRange(c)) {
        plat::MessageBoxOk(texts.message07);
        return;
    }
    if (Serial()) SetSpeedGear(0);
    if (!outputFirst) OutputOff(bank);
    const SpeedPair walk = Pick(bank.walkDrive), lift = Pick(bank.liftDrive);
    FeederFeed f;
    f.variant = 0;
    f.drive = static_cast<std::uint8_t>(bank.code);
    f.pulses = AddPulses({ToPulses(c, bank.walkFactor), -static_cast<std::int64_t>(g_PulseFeederWalk[bank.index].load())});
    f.a = walk.start;
    f.b = walk.run;
    f.c = ToPulses(Cell(row, 20), bank.liftFactor);
    f.d = ToPulses(Cell(row, 21), bank.liftFactor);
    f.e = lift.start;
    f.f = lift.run;
    f.g = static_cast<std::uint16_t>(Int(row, 19));
    f.h = static_cast<std::uint8_t>(count);
    f.i = static_cast<std::uint8_t>(number);
    FeedFeeder(f);
    Pause(10);
}

// Automatic feeder and "CL_浸渍站": the feeder's bit toggles and the masks go out.
void AutoFeederTest(const std::vector<std::string>& row, int count, int number) {
    AutoFeed& a = TheAutoFeed();
    bool set = false;
    int word = 1;
    if (number >= 1 && number <= kAutoFeederCount) {
        const int n = number - 1;
        word = n / 32 + 1;
        a.m_AutoFeedArray[static_cast<std::size_t>(n / 32)] ^= (1u << (n % 32));
        set = a.Marked(number);
    }
    if (Serial()) {
        if (!set || TheVersionSwitches().m_V2_07 == 0) number = 0;
    } else if (!set) {
        count = word;
        number = 0;
    }
    FeederFeed f;
    f.variant = 0;
    f.drive = 0x0A;
    f.pulses = static_cast<std::int32_t>(a.m_AutoFeedArray[0].load());
    f.a = static_cast<std::int32_t>(a.m_AutoFeedArray[1].load());
    f.b = static_cast<std::int32_t>(a.m_AutoFeedArray[2].load());
    f.g = static_cast<std::uint16_t>(Int(row, 19));
    f.h = static_cast<std::uint8_t>(count);
    f.i = static_cast<std::uint8_t>(number);
    FeedFeeder(f);
}

void VibrationFeed(const std::vector<std::string>& row, int count, int number) {
    for (int k = count; k >= 1; --k) {
        FeederFeed f;
        f.variant = 0;
        f.drive = 0x0B;
        f.g = static_cast<std::uint16_t>(Int(row, 19));
        f.h = static_cast<std::uint8_t>(k);
        f.i = static_cast<std::uint8_t>(number);
        FeedFeeder(f);
        Pause(Int(row, 19));
    }
    Pause(10);
}

// Drag pin: nozzle 2 lowers its pin into the hole, the lift opens, the pin drags
// the tape by the feed length and comes back by the overshoot, then the pin rises
// and the lift closes. Whatever is refused on the way, the pin still rises and
// the lift still closes.
void DragPinFeed(const std::vector<std::string>& row, const FeederBank& bank) {
    const PulseFactors& pf = ThePulseFactors();
    const BasicSettings& b = TheBasicSettings();
    const std::int32_t tx = AddPulses({ToPulses(Cell(row, 20), pf.m_X_Pulse), -static_cast<std::int64_t>(ToPulses(b.m_X_Nozzle2ToNozzle1, pf.m_X_Pulse))});
    const std::int32_t ty = AddPulses({ToPulses(Cell(row, 21), pf.m_Y_Pulse), -static_cast<std::int64_t>(ToPulses(b.m_Y_Nozzle2ToNozzle1, pf.m_Y_Pulse))});
    if (Serial()) SetSpeedGear(0);
    if (!MoveXYBy(AddPulses({tx, -static_cast<std::int64_t>(g_PulseX.load())}),
                  AddPulses({ty, -static_cast<std::int64_t>(g_PulseY.load())}), 0x80))
        return;
    double d = Cell(row, feedcell::PickHeight);
    if (d == 0) d = b.m_Z_Nozzle2ToFeed;
    d -= b.m_Nozzle2MoreNozzle1;
    MoveAxis(2, ToPulses(d, pf.m_Z_Pulse), kDriveZ1);
    const double L = std::fabs(Cell(row, kFeedCoordinateCell));
    const AutoFeed& a = TheAutoFeed();
    if (bank.HasWalk()) MoveAxis(bank.liftAxis, ToPulses(L * -(a.m_Open_Length.load() / 4), bank.liftFactor), bank.liftDrive);

    // Along the bank: west X+, north Y-, east X-, south Y+; back the other way.
    int sx = 0, sy = 0;
    switch (bank.letter) {
    case 'W': sx = 1; break;
    case 'N': sy = -1; break;
    case 'E': sx = -1; break;
    case 'S': sy = 1; break;
    default: break;
    }
    const std::int32_t dragX = sx * ToPulses(L, pf.m_X_Pulse), dragY = sy * ToPulses(L, pf.m_Y_Pulse);
    if (MoveXYBy(dragX, dragY, 0x40)) {
        Pause(Int(row, 19));
        const std::int32_t backX = -sx * ToPulses(b.m_FeedOverBack, pf.m_X_Pulse);
        const std::int32_t backY = -sy * ToPulses(b.m_FeedOverBack, pf.m_Y_Pulse);
        MoveXYBy(backX, backY, 0x40);
    }
    MoveAxis(2, -ToPulses(d, pf.m_Z_Pulse), kDriveZ1);
    if (bank.HasWalk()) MoveAxis(bank.liftAxis, ToPulses((a.m_Close_Length.load() / 4) * L, bank.liftFactor), bank.liftDrive);
}

} // namespace

void FeedTestSequence(const std::vector<std::string>& row, const FeedOperationTexts& texts) {
    const std::string id = row.empty() ? std::string() : row[0];
    const std::optional<FeederBank> bank = BankOf(id);
    if (!bank) {
        plat::MessageBoxOk("FeedDirection No Find", true);
        return;
    }
    const int number = AtoI(std::string_view(id).substr(1));
    int count = SingleFeedFlag().exchange(false) ? 1 : Int(row, feedcell::FeedCount);
    if (count == 0) count = 1;
    int mode = FeedModeIndex(row.size() > static_cast<std::size_t>(feedcell::FeedMode) ? row[feedcell::FeedMode] : std::string());
    if (mode < 0) mode = 0;
    switch (mode) {
    case 0: case 5: WalkFeed(row, *bank, count, number, texts, false); break;
    case 4: WalkFeed(row, *bank, 1, number, texts, true); break;
    case 1: case 7: AutoFeederTest(row, count, number); break;
    case 2: VibrationFeed(row, count, number); break;
    case 6: DragPinFeed(row, *bank); break;
    default: break;  // trays feed nothing
    }
}

} // namespace smt
