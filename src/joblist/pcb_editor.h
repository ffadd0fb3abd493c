// The PCB editor without its window: the job's PCB records (the PCB side of the
// job lists), the editor's fields, its PCB list and panel grid, and every
// operation of the editor. The Qt dialog only shows these and forwards clicks.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "joblist/pcb_records.h"
#include "joblist/run_board.h"

namespace smt {

// ---- captions -----------------------------------------------------------------

struct PcbEditText {
    const char* suffix;  // key "PcbEdit." + suffix in section [PcbEditConfig]
    const char* chinese;
};
inline constexpr int kPcbEditTextCount = 48;
extern const std::array<PcbEditText, kPcbEditTextCount> kPcbEditTexts;

struct PcbEditTexts {
    std::array<std::string, kPcbEditTextCount> text;
    PcbEditTexts();
    void Load(const std::string& startFolder, const std::string& language);
    // The text of a suffix such as "c_Message_01".
    const std::string& Get(std::string_view suffix) const;
};

inline constexpr const char* kHaveCopiedText = "Have copied the Pcb !";
inline constexpr const char* kParameterTooBigText = "Parameter is too big !";
inline constexpr const char* kDrillHeightCaption = "钻孔高度";

// ---- configuration [PcbEditConfig] ------------------------------------------------

// Reads the 13 keys and replaces zeros by their defaults.
void LoadPcbEditConfig(PcbEditFields& fields, const std::string& configPath);
bool SavePcbEditConfig(const PcbEditFields& fields, const std::string& configPath);

// The range check of a data exchange: the message for the first field out of its
// range (its control id in `control`), or "" when every field is in range.
std::string CheckPcbEditRanges(const PcbEditFields& fields, int* control = nullptr);

// ---- position capture -----------------------------------------------------------

struct CaptureInputs {
    std::int32_t x = 0, y = 0, x2 = 0, y2 = 0;  // g_PulseX, g_PulseY, g_PulseX2, g_PulseY2
    double ppmX = 0, ppmY = 0;                  // pulses per mm
    double camX = 0, camY = 0;                  // mark camera to nozzle 1, mm
    std::int32_t zeroX = 0, zeroY = 0, zeroX2 = 0, zeroY2 = 0;
    int machineType = 0;
    int workTable = 1;  // the manual panel's head group on machine type 4
    // texts of the origin and Mark edits
    std::string originX, originY, mark1X, mark1Y, mark2X, mark2Y;
};
// The capture buttons and the edit each writes.
struct CaptureButton {
    int button, edit;
};
inline constexpr std::array<CaptureButton, 14> kCaptureButtons{{{1361, 1101}, {1362, 1102}, {1233, 1103},
                                                                 {1234, 1104}, {1011, 1103}, {1012, 1104},
                                                                 {1019, 1106}, {1020, 1107}, {1025, 1108},
                                                                 {1026, 1109}, {1022, 1112}, {1024, 1113},
                                                                 {1027, 1114}, {1028, 1115}}};
// The text a capture button writes into its edit.
std::string CaptureText(int button, const CaptureInputs& in);
// The four offset buttons are disabled on machine type 4.
bool CaptureButtonEnabled(int button, int machineType);

// ---- the editor -------------------------------------------------------------------

struct PcbListEntry {
    std::string text;
    bool checked = false;
};
// Image 1 = cell in use, -1 = none; column 0 shows image 0.
struct PanelCell {
    std::string text;
    int image = -1;
};

class PcbEditor {
public:
    // ---- records (the PCB side of the job lists) ----
    std::vector<PcbRecord> m_PcbRecords;
    std::string m_CurrentPcbName;
    PcbEditFields m_Fields;
    PlacementListAccess m_PlacementList;
    PcbEditTexts m_Texts;
    std::string m_StartFolder = ".";
    // The part list's reference positions, written by the one-key clear.
    std::int32_t m_ZeroPosX = 0, m_ZeroPosY = 0, m_ZeroPosX2 = 0, m_ZeroPosY2 = 0;
    // The part list's statics 1103 and 1104 as last shown.
    ArrayPositionTexts m_ArrayTexts;
    // What they were made of: the board, its name and its part-row count.
    struct ArraySource {
        bool shown = false;
        RunBoardState board;
        std::string name;
        int partRows = 0;
    } m_ArraySource;

    int PcbRecordCount() const { return static_cast<int>(m_PcbRecords.size()); }
    const std::string& CurrentPcbName() const { return m_CurrentPcbName; }
    int FindPcbIndex() const;
    int FindPcbListIndex() const;
    void FreePcbRecords();
    // Copies the placement list into the current record, then every record as lines.
    std::vector<std::string> BuildPcbSection();
    // Throws std::invalid_argument on a short section; the records read so far stay.
    void ParsePcbSection(const std::string& currentPcbName, std::int32_t pcbCount,
                         const std::vector<std::string>& lines);
    void ClearPlacementList();
    // A PCB section made into records without touching the editor: what
    // ParsePcbSection would leave, for the job open to take only once the whole job
    // was read. Throws as ParsePcbSection does.
    struct ParsedSection {
        std::string currentPcbName;
        std::vector<PcbRecord> records;
        int current = -1;  // the record shown; -1 when the section holds none
        PcbEditFields fields;
        std::vector<PlacementItem> items;  // the shown record's rows as the list shows them
    };
    ParsedSection ParseSection(const std::string& currentPcbName, std::int32_t pcbCount,
                               const std::vector<std::string>& lines) const;
    // Takes a parsed section in place of the records (the placement list is the
    // caller's: it gets `items`); shows the current record's board.
    void TakeSection(ParsedSection&& parsed);
    void ShiftPcbOrigin(double dx, double dy);
    // Loads record k into the run-board state and shows the part list's statics.
    bool ShowArrayPosition(int k);
    // The statics as last shown, again in the interface language (a language switch).
    void ShowArrayPositionAgain();
    // The placement list into the current record's part rows (no-op without one).
    void CopyPlacementListToCurrent();

    // ---- the editor's window state ----
    std::vector<PcbListEntry> m_PcbList;  // sorted, the check on the current PCB
    std::vector<std::vector<PanelCell>> m_Grid;
    int m_PanelCellCount = 0;
    std::uint8_t m_CloseOnOk = 1;
    std::uint8_t m_KeepPanelLight = 0;
    bool m_SelectAllCells = false;
    int m_FocusControl = 0;  // the edit a refusal wants focused, 0 for none

    // Opening: fills the list, loads the current record and its grid, switches to
    // the mark camera.
    void Open();
    // The OK button after a data exchange: true when the dialog closes.
    bool Ok();
    // The window close: true when the dialog may close.
    bool Close();
    void Add();
    void Delete();
    void Paste();
    void Rename(const std::string& name, const std::string& description);
    void Select(int listIndex);
    void RowsColsChanged();
    void SelectAllCells(bool all);
    void ToggleCell(int row, int col);
    // Fixed or language caption of the cell count static 1099.
    std::string CellCountText() const;
    // trunc(scale x frame) against the camera panel's image height; true when it fits.
    static bool FrameFits(double scale, double frame);

    // Grid operations.
    void ClearPanelGrid();
    void BuildPanelGrid(int rows, int cols);
    void NumberPanelCells(int rows, int cols);

private:
    void Message(std::string_view suffix, int focus = 0);
    int InsertListEntry(const std::string& text, bool checked);
    void CheckOnly(int listIndex);
    void ShowStoredGrid(const PcbRecord& r);
    void CountCells();
    std::string m_NameAtOpen;
    bool m_Opened = false;
};

} // namespace smt
