// The package library: one row of 28 text cells per package ("config_pack.fig"),
// the editor's fields and checks, and what a modification pushes into the feeders.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "feeders/feed_list.h"
#include "feeders/text_table.h"
#include "settings/dialog_captions.h"

namespace smt {

inline constexpr int kPackCells = 28;

// The rows of the package lines. The first line's TAB count picks the layout for
// every line: 28, 17 or 14 cells in order; anything else is the older layout
// without the delays, which gets pick delay "50" and placement delay "25" in
// cells 6 and 7 and its seventh and later cells from cell 8 on.
std::vector<TextRow> ParsePackLines(const std::vector<std::string>& lines);
// Cells 15 (feed mode) and 13 (speed name) in the current language.
void TranslatePackRow(TextRow& row);

// ---- the editor's fields ------------------------------------------------------------

struct PackEditValues {
    std::string name;
    double length = 0.1, width = 0.1, height = 0.1;
    int contrast = 0, brightness = 0, pickDelay = 1, placeDelay = 1;
    std::string camera, nozzle, speedName, imageFeature, feedMode;
    int visionChoice = 0;  // 0 none, 1 vision centring, 2 flying centring
    bool ownSpeed = false;
    int feedCount = 0, feedTime = 0, loosen = 0, tighten = 0;
    int xyPrecision = 0, anglePrecision = 0, captureTime = 0;
    double pickHeight = 0;
    int vacuum = 0;
    double vacuumEarly = 0;
};

// config.ini section PackEditConfig: the synchronise box and the eleven copy boxes.
struct PackEditConfig {
    int m_SynchronousModify = 0;
    int m_SelectFeedMode = 0, m_FeedTimes = 0, m_FeedTime = 0, m_OpenLength = 0, m_CloseLength = 0;
    int m_Precision_XY = 0, m_Precision_A = 0, m_CollectPictureTime = 0;
    int m_NozzleHeight = 0, m_VacuumTestValue = 0, m_smtBeforeCloseVacuum = 0;
};
PackEditConfig LoadPackEditConfig(const std::string& configPath);
bool SavePackEditConfig(const PackEditConfig& c, const std::string& configPath);
// At an opening only the synchronise box survives.
void ClearCopyBoxes(PackEditConfig& c);
// A length, width or height of 0 becomes 0.1, a delay of 0 becomes 1.
void MendPackZeros(PackEditValues& v);

// Cells 0 to 25 from the fields (26 and 27 are the caller's).
void WritePackCells(const PackEditValues& v, TextRow& row);
// The fields from a row; on machine type 4 vision centring reads as none.
PackEditValues PackEditFromRow(const TextRow& row, int machineType);
PackageFeederValues FeederValuesFromPack(const PackEditValues& v, const PackEditConfig& c);

// ---- the editor's choices -------------------------------------------------------------

// Feeder-kind indices the feed-mode combo offers on a machine type.
std::vector<int> PackFeedModeChoices(int machineType);
bool VisionCentringOffered(int machineType);
std::vector<std::string> PackNozzleChoices(int machineType, bool autoChange, bool nineteen);
// The twelve image-feature names ("00:通用" .. in Chinese, "00:General" .. otherwise).
std::vector<std::string> ImageFeatureNames(int languageIndex);
// The position named by the first two characters, -1 for an empty text.
int ImageFeaturePosition(const std::string& feature);

// What choosing a feed mode does to the feeding fields.
enum class Enable { Unchanged, On, Off };
struct FeedModeEffect {
    Enable feedCount = Enable::Unchanged, feedTime = Enable::Unchanged, loosenTighten = Enable::Unchanged;
    std::optional<std::string> feedCountText, feedTimeText;
    Enable mmUnit = Enable::Unchanged;  // the "mm" beside the feed count
};
FeedModeEffect FeedModeEffectOf(int feedModeIndex);

// "获得": the length and width from the camera's frame size.
std::string FrameSizeText(double visualSize, double autoMagnify);

struct PackFieldRange {
    const char* field;
    double low, high;
};
// The first field outside its range, or none.
std::optional<PackFieldRange> PackFieldOutOfRange(const PackEditValues& v);
// The OK checks after the ranges, in order: the caption key of the first refusal
// (empty when the package is accepted).
std::string PackEditRefusal(const PackEditValues& v, bool nameTaken);

// ---- the library as the view holds it ------------------------------------------------

class PackLibrary {
public:
    PackLibrary();

    void ParseRows(const std::vector<std::string>& lines) { m_table.Rows() = ParsePackLines(lines); }
    // The rows as the window lists them: cells 13 and 15 translated in the table too.
    void FillList();
    void JoinRows(std::vector<std::string>& lines) const { lines = m_table.JoinLines(); }
    int FindPackByName(const std::string& name) const { return m_table.FindByName(name); }
    bool IsPackNameTaken(const std::string& name) const { return m_table.IsNameTaken(name, m_Remembered); }
    void FreeTable() { m_table.Free(); }

    // The window's commands on the editor's fields.
    void Add();
    // Rewrites the remembered row; the feeder values when the synchronise box is on.
    std::optional<PackageFeederValues> Modify();
    // Loads the editor from the remembered row; false when it is not a row.
    bool LoadEditor(int machineType);
    bool Delete() { return m_table.Delete(m_Remembered); }
    void Sort(int column) { m_table.SortByColumn(column); }

    TextTable& Table() { return m_table; }
    const TextTable& Table() const { return m_table; }

    int m_Remembered = 0;
    PackEditValues m_Edit;
    PackEditConfig m_EditConfig;
    DialogCaptions m_ListTexts;
    DialogCaptions m_EditTexts;

private:
    TextTable m_table{kPackCells};
};

PackLibrary& ThePackLibrary();

} // namespace smt
