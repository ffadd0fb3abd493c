// The feeder editor's form without a widget: its values, their ranges and the
// order in which the dialog exchanges them, the choices it offers by machine type,
// the feed-mode layout, OK's checks and Next, and the four transfers between the
// form, the feeder list's items and the package library.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "feeders/feed_rows.h"
#include "settings/dialog_captions.h"

namespace smt {

class FeedList;
class PackLibrary;

// Controls of the editor that the form's logic names.
namespace feededit {
inline constexpr int Number = 1039, PartType = 1020, Package = 1040, Angle = 1025, Value = 1008;
inline constexpr int Length = 1009, Width = 1010, Height = 1011, Quantity = 1012, PickX = 1005, PickY = 1006;
inline constexpr int FeedMode = 1045, FeedCoordinate = 1007, FeedCount = 1014, FeedTime = 1019;
inline constexpr int Loosen = 1022, Tighten = 1024, PickDelay = 1021, PlaceDelay = 1023, Camera = 1027;
inline constexpr int Contrast = 1028, Brightness = 1029, Feature = 1031, PrecisionXY = 1032, PrecisionA = 1033;
inline constexpr int PrecisionXYMm = 1034, PrecisionADeg = 1035, CaptureTime = 1036, Nozzle = 1043;
inline constexpr int PickHeight = 1135, Vacuum = 1134, VacuumEarly = 1052, OwnSpeed = 1046, Speed = 1030;
inline constexpr int VacuumNozzle = 1047, HeightHead = 1044, Remark = 1136;
// Buttons shown or hidden by the feed mode.
inline constexpr int TrayButton = 1216, AutoTest = 1037, StepTest = 1465, FeedCountMm = 1428;
inline constexpr int DragX = 1248, DragY = 1249;
} // namespace feededit

enum FeedBankIndex { kBankNone = -1, kBankEast = 0, kBankSouth = 1, kBankWest = 2, kBankNorth = 3, kBankTray = 4 };

// The form's values, one per control.
struct FeedEditValues {
    int number = 1;
    int bank = kBankNone;
    std::string partType, package, angle, value;
    double length = 0.1, width = 0.1, height = 0;
    int quantity = 0;
    double pickX = 0, pickY = 0;
    std::string feedMode;
    double feedCoordinate = 0;  // drag pin: feed length
    int feedCount = 0;          // drag pin: return distance
    int feedTime = 0;           // drag pin: feed delay
    double loosen = 0;          // drag pin: drag X
    double tighten = 0;         // drag pin: drag Y
    int pickDelay = 0, placeDelay = 0;
    std::string camera;
    int vision = 0;  // 0 none, 1 vision centring, 2 flying centring
    int contrast = 0, brightness = 0;
    std::string imageFeature;
    int xyPrecision = -1, anglePrecision = -1, captureTime = -1;  // -1: unset
    std::string nozzle;
    double pickHeight = 0;
    int vacuum = 0;
    double vacuumEarly = 0;
    int ownSpeed = 0;
    std::string speedName;
    int vacuumTestNozzle = 0;  // combo index
};

// One exchanged value: its control, what it is and, for numbers, its bounds.
struct FeedEditField {
    enum Kind { Int, Double, Text, Bank, Vision, Check, ComboIndex };
    int control = 0;
    Kind kind = Text;
    int FeedEditValues::*i = nullptr;
    double FeedEditValues::*d = nullptr;
    std::string FeedEditValues::*s = nullptr;
    std::optional<std::pair<double, double>> bounds;
};
// The values in the order the dialog reads and writes them.
const std::vector<FeedEditField>& FeedEditExchange();

// The section FeedEditConfig: 76 texts with their built-in defaults.
DialogCaptions FeedEditCaptions();

// ---- choices by machine type ------------------------------------------------------------

std::vector<int> FeedEditFeedModes(int machineType);
std::vector<std::string> FeedEditNozzles(int machineType, bool autoChange, bool nineteen);
// "Z1".. (prefix 'Z') or "P1".. (prefix 'P').
std::vector<std::string> FeedEditHeads(int machineType, char prefix);
// The angle a bank radio selects.
const char* BankAngle(int bank);
char BankLetter(int bank);  // 0 for none

// ---- feed mode ------------------------------------------------------------------------

enum class Shown { Unchanged, Show, Hide };
struct FeedModeLayout {
    Shown tray = Shown::Unchanged, autoTest = Shown::Unchanged, stepTest = Shown::Unchanged;
    Shown drag = Shown::Unchanged;  // the "mm" after the feed count and the drag read-backs
    enum Caption { Keep, FeedTestText, TrayWord } trayCaption = Keep;
    enum Texts { KeepTexts, Feeder, DragPin } texts = KeepTexts;
    std::vector<int> enable, disable;
};
FeedModeLayout FeedModeLayoutOf(int mode);

struct FeedModeChange {
    int bank = kBankNone;  // the new bank
    std::optional<std::string> feedCount, feedTime;  // defaults written into the edits
};
FeedModeChange FeedModeChangeOf(int mode, int bank);

// Edit 1034 / 1035: the precision text in mm or degrees; nothing for -1 or a zero factor.
std::optional<std::string> PrecisionText(const std::string& text, double factor);

// ---- the form ----------------------------------------------------------------------

// What OK and Next need of the dialog's controls.
class FeedEditControls {
public:
    virtual ~FeedEditControls() = default;
    virtual std::string FeedModeText() const = 0;
    virtual std::string PackageText() const = 0;
    virtual std::string FeedCountText() const = 0;
    virtual void CheckBank(int bank) = 0;
    // Reads every control into the values; false after the range message (focus on the field).
    virtual bool ReadControls(FeedEditValues& v) = 0;
    virtual void FocusFeedCount() = 0;
    virtual void SetEditText(int control, const std::string& text) = 0;
};

enum class FeedEditOk { Stopped, Refused, StoredInPlace, Accepted };
enum class FeedEditNext { Stopped, Moved, Closed };

class FeedEditForm {
public:
    FeedEditForm();

    FeedEditValues v;
    std::string previousId;
    bool modified = false, storeInPlace = false, validationFailed = false, singleFeed = false;
    DialogCaptions texts;

    const std::string& Text(const std::string& name) const { return texts.Text("FeedEdit." + name); }
    // The identifier the values make: bank letter and number (the number alone without a bank).
    std::string Id() const;

    // OK (steps 1 to 9): the list gives the selected row and the identifier check.
    FeedEditOk Ok(FeedEditControls& c, FeedList& list);
    // Next: OK's checks, then the item stored, and the next item loaded.
    FeedEditNext Next(FeedEditControls& c, FeedList& list, int machineType);

private:
    // Steps 1 to 7; false when OK stops or refuses there.
    bool Check(FeedEditControls& c, FeedList& list, FeedEditOk& result);
    bool Refuse(const std::string& message, FeedEditOk& result);
};

// ---- transfers ---------------------------------------------------------------------

void LoadFeedEditFromListRow(FeedEditForm& form, const FeedListItem& item, int machineType);
FeedListItem StoreFeedEditInListRow(const FeedEditForm& form);
// List versions: row -1 (or past the end) reads and writes nothing.
bool LoadFeedEditFromListRow(FeedEditForm& form, const FeedList& list, int row, int machineType);
bool StoreFeedEditInListRow(const FeedEditForm& form, FeedList& list, int row);
// The package names of the package lines, for combo 1040.
std::vector<std::string> FillPackCombo(const std::vector<std::string>& packLines);
// The operator chose a package: its defaults and the bank its feed mode needs; false
// when no line has that name.
bool ChoosePackage(FeedEditValues& v, const std::string& name, const std::vector<std::string>& packLines);
// "更新到数据库": the package's row takes the form's values; false when it is not found.
bool UpdatePackage(const FeedEditValues& v, PackLibrary& library);

} // namespace smt
