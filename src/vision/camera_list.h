// The vision cameras the machine knows: the camera table (text rows, kept in
// "config_camera.fig"), the two active camera records in pulses, the camera
// switches, the standard piece, the camera-switch delay, the common correction
// and the fly-over settings per head (config.ini section CameraListConfig).
// Run threads and the calibration worker read the records and settings while the
// dialog changes them: everything sits behind one lock and a reader takes a copy.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/busy.h"
#include "settings/dialog_captions.h"

namespace smt {

inline constexpr int kCameraCells = 28;
// Cells: 0 name, 1 X, 2 Y, 3..18 corrections X1, Y1 .. X8, Y8 (mm), 19 angle,
// 20 scale (pixels per mm), 21 window side (mm), 22 contrast, 23 brightness,
// 24 correction times, 25 XY precision, 26 A precision, 27 capture time (ms).
using CameraCells = std::array<std::string, kCameraCells>;

inline constexpr const char* kCamera1Name = "Camera 1";
inline constexpr const char* kCamera2Name = "Camera 2";

struct CameraRecord {
    std::int32_t CameraNumber = 0;
    std::int32_t CameraPulse_X = 0, CameraPulse_Y = 0;
    std::array<std::int32_t, 8> CorrectionPulse_X{}, CorrectionPulse_Y{};
    double Correction_A = 0, VisualZoom = 0, VisualSize = 0;
    std::int32_t Light_Contrast = 0, Light_Brightness = 0, CorrectionTimes = 0, Precision_XY = 0,
                 Precision_A = 0, CollectTime = 0;
    friend bool operator==(const CameraRecord&, const CameraRecord&) = default;
};

// A row in pulses: X cells times xPulse, Y cells times yPulse, each truncated.
CameraRecord RecordFromCells(const CameraCells& cells, int number, double xPulse, double yPulse);

// The file's lines to rows. The first line's tab count picks the layout for all
// lines: 15 tabs (one head) or 21 tabs (four heads) move the later cells to
// their places; cells that would land past the last one are dropped.
std::vector<CameraCells> ParseCameraRows(const std::vector<std::string>& lines);
std::vector<std::string> BuildCameraLines(const std::vector<CameraCells>& rows);

// Settings of config.ini section CameraListConfig (besides the two records).
struct CameraListSettings {
    double m_BaseDiameter = 5.0;
    double m_BaseCoordinates_X = 0, m_BaseCoordinates_Y = 0, m_BaseCoordinates_Z = 0;
    int m_iChangeCameraDelay = 0, m_bChangeCameraDelay = 0;
    double m_Correct_X = 0, m_Correct_Y = 0, m_Correct_A = 0;
    int m_HighSpeedCamera = 0, m_MarkCamera = 0, m_VisualCamera1 = 0, m_FlyCamera = 0;
    int m_iFlyStartSpeed = 0, m_iFlyNormalSpeed = 0;
    std::array<int, 8> m_iTriggerPulse{};       // heads 1..8
    std::array<double, 8> m_dFlyCorrect_Y{};    // heads 1..8
    int m_VisualCamera2 = 0, m_VisualImageColorReversal = 0, m_bVisualOffset = 0;
    double m_AllowOffset = 0;
    friend bool operator==(const CameraListSettings&, const CameraListSettings&) = default;
};

// The feeder rows (by index) whose camera cell names no camera of the table: with
// no camera every row, with one camera the rows naming another, with two none.
std::vector<int> FeedersWithoutCamera(const std::vector<CameraCells>& cameras,
                                      const std::vector<std::string>& feederCameraTexts);

// Add's name for the next row; nullopt with `refuse` set at two cameras (and
// nullopt alone beyond, where no name is given).
std::optional<std::string> NextCameraName(const std::vector<CameraCells>& rows, bool& refuse);

class CameraList {
public:
    CameraList();

    // Start-up: the table from the frame's camera lines.
    void ParseRow(const std::vector<std::string>& lines);
    void BuildLines(std::vector<std::string>& lines) const;
    // OK: the records from the rows (two: by position; one: by name; else cleared).
    void UpdateActiveCameras(const std::vector<CameraCells>& rows, double xPulse, double yPulse);
    // Every camera position moved by (dx, dy) mm, the records' positions again;
    // the lines rebuilt and CameraListConfig saved. With (0, 0), after new pulse
    // factors, every pulse field of the records is converted again.
    bool ApplyOriginOffset(double dx, double dy, double xPulse, double yPulse, std::vector<std::string>& lines,
                           const std::string& configPath);
    // A row other than `selectedRow` is named `name`.
    bool IsCameraNameUsed(const std::string& name, int selectedRow) const;
    void FreeTable();
    // Modify's refresh: line 0 -> first record, line 1 -> second, whatever the name.
    void RefreshRecordAt(int line, const CameraCells& cells, double xPulse, double yPulse);

    void LoadConfig(const std::string& configPath);
    bool SaveConfig(const std::string& configPath) const;

    // Copies for readers on any thread.
    std::vector<CameraCells> Rows() const;
    void SetRows(std::vector<CameraCells> rows);
    int CameraCount() const;
    CameraRecord First() const;
    CameraRecord Second() const;
    CameraListSettings Settings() const;
    void SetSettings(const CameraListSettings& s);
    // One change of rows, records and settings together under the table's lock
    // (the calibration worker's results); `change` must not call back into the list.
    struct Contents {
        std::vector<CameraCells>& rows;
        CameraRecord& first;
        CameraRecord& second;
        CameraListSettings& settings;
    };
    void Edit(const std::function<void(Contents&)>& change);
    // The calibration's results wait for the dialog's OK, as the table file and the
    // section do: Edit remembers what each cell, record and trigger held before, and
    // TakeBackCalibration (Cancel) puts back every one that still holds its result
    // (one the operator changed since stays as he left it). KeepCalibration (OK, or a
    // new opening) forgets them.
    void KeepCalibration();
    void TakeBackCalibration();
    bool HasCalibrationResults() const;

    // The calibration worker reads these: the operation, the row it works on, and
    // the loop flag of the repeating procedures (cleared by the menu's Exit).
    std::atomic<int> m_CameraOperation{0};
    std::atomic<int> m_SelectedRow{-1};
    std::atomic<unsigned char> m_bFlyTestRunning{0};

    DialogCaptions m_ListTexts;  // CameraListConfig of the language file
    DialogCaptions m_EditTexts;  // CameraEditConfig

private:
    template <class T>
    struct Change {
        T before, after;
    };
    struct Results {
        std::map<std::pair<std::size_t, std::size_t>, Change<std::string>> cells;  // (row, cell)
        std::map<int, Change<CameraRecord>> records;                               // 1 first, 2 second
        std::map<std::size_t, Change<int>> triggers;                                // head - 1
        bool Empty() const { return cells.empty() && records.empty() && triggers.empty(); }
    };

    mutable std::mutex m_lock;
    std::vector<CameraCells> m_CameraTable;
    CameraRecord m_Camera_first, m_Camera_second;
    CameraListSettings m_settings;
    Results m_results;
};

CameraList& TheCameraList();

// The column caption keys of the 28 cells (there is no key 23).
const std::array<const char*, kCameraCells>& CameraColumnKeys();

// ---- the editor's values -------------------------------------------------------------

struct CameraEditValues {
    std::string m_CameraName;
    double X = 0, Y = 0;
    std::array<double, 16> corrections{};  // X1, Y1, .., X8, Y8
    double angle = 0, VisualZoom = 0, VisualSize = 0;
    int Light_Contrast = 0, Light_Brightness = 0, CorrectionTimes = 0, Precision_XY = 0, Precision_A = 0,
        CollectTime = 0;
};
CameraEditValues EditValuesFromCells(const CameraCells& cells);
CameraCells CellsFromEditValues(const CameraEditValues& v);

// Whether the window-size check applies: always in DirectShow mode (highSpeed 0);
// in SDK mode (1) when the current camera's switch is clear; never otherwise.
bool WindowCheckApplies(int highSpeed, int currentCamera, const std::array<bool, 3>& cameraSwitches);
// trunc(zoom x size) exceeds the image height.
bool WindowTooLarge(double zoom, double size, int imageHeight);
// "%0.4f" of pulses / factor ("0.0000" for a zero factor).
std::string PulsesAsMm(int pulses, double factor);

// ---- the popup menu and the fly test --------------------------------------------------

namespace cameramenu {
inline constexpr int NozzleToBase = 33228, CameraToBase = 33226, PickBaseToCamera = 33231, PlaceBase = 33232;
inline constexpr int ScaleCorrect = 33219, CoordinatesCorrect = 33220, MarkCameraCorrect = 33237;
inline constexpr int NozzleCoordinatesCorrect = 33281, FlyTest = 33223, FlyCorrect = 33224, Exit = 33235;
} // namespace cameramenu

// The operation code a popup command stores; -1 for Exit and unknown ids.
int CameraOperationOf(int command);

struct CameraMenuState {
    bool connected = false, homed = false, running = false;
    int selectedRow = -1;
    bool highSpeed = false, visual1 = false, fly = false;
};
enum class CameraMenuVerdict { Go, Refused, Nothing };
// The guards of a popup command in their order; `message` names the first failure.
CameraMenuVerdict CheckCameraMenu(int command, const CameraMenuState& s, std::string& message);

// Where the calibration procedures start. Filled by the calibration code. The
// starter has claimed the busy flag; the worker holds the claim until it ends.
struct CameraCalibrationPort {
    std::function<void(int operation, BusyClaim claim)> startCameraOperation;
    std::function<void(BusyClaim claim)> startFlyTest;
};
CameraCalibrationPort& TheCameraCalibrationPort();

// What the calibration tells the camera dialog, on the user-interface thread (the
// worker posts it): rows, records or trigger values changed, so an open dialog
// shows the table's cells and the trigger values again. Filled by the cameras.
struct CameraCalibrationView {
    std::function<void()> resultsChanged;
};
CameraCalibrationView& TheCameraCalibrationView();

// What the camera table's OK asks of the feeder list (filled by the feeders).
struct CameraListFeederPort {
    // Each feeder's camera column (cell 12), in list order.
    std::function<std::vector<std::string>()> feederCameras;
    // Marks the feeders at these rows as naming no camera of the table.
    std::function<void(const std::vector<int>& rows)> markFeedersWithoutCamera;
};
CameraListFeederPort& TheCameraListFeederPort();

} // namespace smt
