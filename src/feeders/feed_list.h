// The feeder list panel's own state and commands, without a widget: the listed
// rows of the open group with their images, the selected row, the copied cells,
// the captions, the sort, the context menu's greying and guards, and the services
// other subsystems call. The Qt panel only shows this and forwards the operator.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "feeders/feed_group_table.h"
#include "settings/dialog_captions.h"

namespace smt {

// Context-menu command ids.
namespace feedmenu {
inline constexpr int Add = 32870, Edit = 32871, Delete = 32872, Copy = 32873, Paste = 32874;
inline constexpr int Measure = 33286, CameraToFeeder = 32836, CameraToHole = 33068, Towbar = 32838;
inline constexpr int FeedTest = 32785, ImageFeature = 33129;
inline constexpr std::array<int, 8> Nozzle{33012, 33011, 33065, 33066, 33247, 33248, 33249, 33250};
inline constexpr std::array<int, 8> Camera1{33092, 33094, 33137, 33139, 33266, 33267, 33268, 33269};
inline constexpr std::array<int, 8> Camera2{33093, 33095, 33138, 33140, 33262, 33263, 33264, 33265};
} // namespace feedmenu

// Cell-0 images kept by the list alone.
namespace feedicon {
inline constexpr int Plain = 0;
inline constexpr int Ticked = 6;
inline constexpr int Used = 7;
} // namespace feedicon

struct FeedListEntry : FeedListItem {
    int image0 = feedicon::Plain;
};

// Message texts read from the part list's captions.
inline constexpr const char* kNoFeedGroupText = "没有找到料架组 !";  // PartList.c_Message_20
inline constexpr const char* kCameraTrackWarningText =
    "警告：修改元件或料架时将运行贴装头，不可以靠近贴装头 ! 提示1次。";  // PartList.c_Message_44

// The values a package modification copies into its feeders (all as shown).
struct PackageFeederValues {
    std::string package;
    int contrast = 0, brightness = 0, pickDelay = 0, placeDelay = 0;
    std::string camera;
    int visionChoice = 0;  // 1 vision camera, 2 flying centring
    std::string nozzle;
    bool ownSpeed = false;
    std::string speedName, imageFeature;
    bool feedModeOn = false; std::string feedMode;
    bool feedCountOn = false; int feedCount = 0;
    bool feedTimeOn = false; int feedTime = 0;
    bool loosenOn = false; int loosen = 0;
    bool tightenOn = false; int tighten = 0;
    bool xyPrecisionOn = false; int xyPrecision = 0;
    bool anglePrecisionOn = false; int anglePrecision = 0;
    bool captureTimeOn = false; int captureTime = 0;
    bool pickHeightOn = false;
    bool vacuumOn = false; int vacuum = 0;
    bool vacuumEarlyOn = false;
    double length = 0, width = 0, height = 0, pickHeight = 0, vacuumEarly = 0;
};

class FeedList : public FeedListRows {
public:
    explicit FeedList(FeedGroupTable& table);

    // ---- FeedListRows (the table fills and reads the list through these) ----
    void DeleteAllItems() override;
    void InsertItem(int position, const FeedListItem& item) override;
    int ItemCount() const override;
    FeedListItem Item(int index) const override;

    std::vector<FeedListEntry> rows;
    int selected = -1;
    int sortColumn = 0;
    bool copied = false;
    std::string copiedBank, copiedId;
    std::vector<std::string> copiedCells;  // 30 texts with the flags of cells 12, 13, 23: 33 entries
    // The feeder being edited (read by the feeder editor).
    bool editing = false;
    int editGroupIndex = -1, editFeederIndex = -1;
    // The one-key clear's reference positions.
    std::int32_t refPulseX = 0, refPulseY = 0;
    DialogCaptions captions;       // FeedListConfig
    DialogCaptions editCaptions;   // the five FeedEditConfig texts of columns 17..21 on type 0
    std::string partListMessage20 = kNoFeedGroupText;
    std::string partListMessage44 = kCameraTrackWarningText;

    const std::string& Text(const std::string& name) const { return captions.Text("FeedList." + name); }
    FeedGroupTable& Table() { return m_table; }

    // The group-name field: a change clears the copied flag.
    const std::string& GroupName() const { return m_groupName; }
    void SetGroupName(const std::string& name);

    // Reads the table file once and shows the open group (the panel's start).
    void Initialise(const std::string& startFolder, const std::string& language);
    // Shows the open group again from the table.
    void ShowOpenGroup();
    void LoadLanguage(const std::string& startFolder, const std::string& language);
    std::string ColumnCaption(int column, int machineType) const;

    // <0, 0, >0 for two texts of a column.
    static int CompareFeedRows(const std::string& a, const std::string& b, int column);
    void SortFeedList();  // stable on the sort column

    // Greyed entries of the context menu for a machine type, the selection and the copied flag.
    std::set<int> GreyedEntries(int machineType) const;
    // The context menu was asked for on a row (-1 beside the rows): c_Message_08 without one.
    void TakeSelection(int row);

    // ---- commands (each one refusal box at most) ----
    bool Copy();
    bool Paste();
    bool Delete();
    void ClickTick(int row);
    void ShowSelectedFeeders();
    // The machine-action entries (measure, nozzles, cameras, towbar, feed test,
    // pick to camera); false when refused or nothing started.
    bool StartEntry(int id);
    void GetImageFeature();
    // Add and edit with the editor in between: `runEditor` shows the row and gives
    // the edited one back (nullopt = Cancel).
    using Editor = std::function<std::optional<FeedListItem>(const FeedListItem& loaded)>;
    bool Add(const Editor& runEditor);
    bool Edit(const Editor& runEditor, bool doubleClick);
    // The editor's state between two uses: a new feeder starts from the previous one.
    FeedListItem editorRow;

    // ---- services ----
    bool StorePickHeight(const std::string& id, const std::string& height);
    bool IsFeederIdTaken(const std::string& id) const;
    bool ShiftFeedCoordinates(double dX, double dY);
    bool UpdateFeedersFromPackage(const PackageFeederValues& v);
    // A cell the run or a worker changed in the table, shown in the list too.
    void SetListCell(const std::string& id, int cell, const std::string& text);

    // Called after the rows changed (the Qt model resets itself).
    std::function<void()> changed;

private:
    void Changed() const { if (changed) changed(); }
    bool RefuseWhileBusy() const;
    int RowById(const std::string& id) const;

    FeedGroupTable& m_table;
    std::string m_groupName;
    bool m_warnedEdit = false, m_warnedDoubleClick = false;
};

// How the worker and the run reach the feeder list from their own threads: each
// call is posted to the user-interface thread (unset: nothing is shown).
struct FeedListPort {
    // A cell the caller already wrote into the table, shown in the list too.
    std::function<void(const std::string& id, int cell, const std::string& text)> showCell;
    // The height measurement's result for the measured feeder (cell 22).
    std::function<void(const std::string& id, const std::string& height)> storePickHeight;
    // The part list's "open the feeder" (user-interface thread): selects the
    // feeder of that name and opens its editor; false when there is none.
    std::function<bool(const std::string& id)> openEditor;
};
FeedListPort& TheFeedListPort();

// Machine-action entries: their operation code (-1 for the towbar, decided by the feed mode).
int FeedOperationCodeOf(int menuId);

} // namespace smt
