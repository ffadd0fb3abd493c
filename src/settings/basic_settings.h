// The machine's basic settings: heights, placement corrections, offsets from
// nozzle 1, discard position, vision-origin and pick-check settings, the camera
// lens, the link type, the travel limits and the function switches. One live
// instance exists for the life of the program; machine code reads it in place.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace smt {

struct BasicSettings {
    // Heights and placement corrections (mm; heights negative downwards).
    double m_Z_Nozzle1ToFeed = 0, m_Z_Nozzle2ToFeed = 0, m_Z_Nozzle3ToFeed = 0, m_Z_Nozzle4ToFeed = 0;
    double m_Z_Nozzle5ToFeed = 0, m_Z_Nozzle6ToFeed = 0, m_Z_Nozzle7ToFeed = 0, m_Z_Nozzle8ToFeed = 0;
    double m_Correction_X1 = 0, m_Correction_X2 = 0, m_Correction_X3 = 0, m_Correction_X4 = 0;
    double m_Correction_X5 = 0, m_Correction_X6 = 0, m_Correction_X7 = 0, m_Correction_X8 = 0;
    double m_Correction_Y1 = 0, m_Correction_Y2 = 0, m_Correction_Y3 = 0, m_Correction_Y4 = 0;
    double m_Correction_Y5 = 0, m_Correction_Y6 = 0, m_Correction_Y7 = 0, m_Correction_Y8 = 0;
    double m_Z_Nozzle1ToPCBHeight = 0;
    double m_Z_DropsGlueToPCBHeight = 0;
    double m_Nozzle2MoreNozzle1 = 0;
    double m_FeedOverBack = 0;

    // Measuring head.
    double m_Z_Measurement = 0, m_X_Measurement = 0, m_Y_Measurement = 0;
    int m_bMeasurementEffect = 0;
    int m_MeasurementStart = 0, m_MeasurementNormal = 0;

    // Offsets from nozzle 1 (mm).
    double m_X_CameraToNozzle1 = 0, m_Y_CameraToNozzle1 = 0;
    double m_X_Nozzle2ToNozzle1 = 0, m_Y_Nozzle2ToNozzle1 = 0;
    double m_X_Nozzle3ToNozzle1 = 0, m_Y_Nozzle3ToNozzle1 = 0;
    double m_X_Nozzle4ToNozzle1 = 0, m_Y_Nozzle4ToNozzle1 = 0;
    double m_X_Nozzle5ToNozzle1 = 0, m_Y_Nozzle5ToNozzle1 = 0;
    double m_X_Nozzle6ToNozzle1 = 0, m_Y_Nozzle6ToNozzle1 = 0;
    double m_X_Nozzle7ToNozzle1 = 0, m_Y_Nozzle7ToNozzle1 = 0;
    double m_X_Nozzle8ToNozzle1 = 0, m_Y_Nozzle8ToNozzle1 = 0;
    double m_X_DropsGlueToNozzle1 = 0, m_Y_DropsGlueToNozzle1 = 0;
    double m_X_Y2ToY1 = 0, m_Y_Y2ToY1 = 0;

    // Discard position and delays.
    double m_X_ThrowPosition = 0, m_Y_ThrowPosition = 0;
    int m_ThrowDelay = 200;
    int m_ChangeDelay = 0;

    // Vision correction origin.
    double m_X_VisualOrigin = 0, m_Y_VisualOrigin = 0;
    double m_X_VisualOriginOffset = 0, m_Y_VisualOriginOffset = 0;
    double m_X_StopPosition = 0, m_Y_StopPosition = 0;
    int m_bStopPosition = 0;
    int m_ResetToVisualOrigin = 0;
    int m_SmtFinishToVisualOrigin = 0;
    int m_CottectionTimeReset = 0;
    int m_CottectionTimeSmt = 0;
    int m_OriginVisualCollectTime = 0;
    double m_VisualOriginBox = 0;
    double m_VisualOriginSize = 0;
    int m_OriginLightContrast = 0;
    int m_OriginLightBrightness = 0;
    int m_FeedBrightness = 0;
    int m_OriginImageColorReversal = 0;

    // Pick checking.
    double m_Z_closeVacuum = 0;
    int m_Exhaust = 5;
    int m_SuctionNozzleBlock = 0;
    int m_SuctionNozzleOffset = 0;
    int m_SuctionNozzleValue1 = 0, m_SuctionNozzleValue2 = 0, m_SuctionNozzleValue3 = 0, m_SuctionNozzleValue4 = 0;
    int m_SuctionNozzleValue5 = 0, m_SuctionNozzleValue6 = 0, m_SuctionNozzleValue7 = 0, m_SuctionNozzleValue8 = 0;

    // Cameras.
    double m_AutoMagnify = 4.0;
    int m_Calibrator2 = 0;
    int m_CameraLens = 0; // 0 the 8 mm lens, 1 the 6 mm lens

    // Link: 0 serial port, anything else Ethernet.
    int m_CommModel = 0;

    // Travel limits (mm), each signed like the travel of its axis.
    double m_X_Limit = 0, m_Y_Limit = 0, m_Z_Limit = 0;
    double m_EastFeed_Limit = 0, m_SouthFeed_Limit = 0, m_WestFeed_Limit = 0, m_NorthFeed_Limit = 0;

    // Function switches.
    int m_OnlineToReset = 0;
    int m_DebugModel = 0;
    int m_OpenCamera = 0;
    int m_bCameraTrackModify = 0;

    // Not stored: true while the settings dialog is on screen, and the position
    // counters recorded by the one-key clear.
    bool m_bDialogOpen = false;
    std::int32_t m_RefPulseX = 0, m_RefPulseY = 0, m_RefPulseX2 = 0, m_RefPulseY2 = 0;
};

// One stored setting: its key (= member name), the member (a length or an
// integer, the other pointer null) and the range the settings dialog enforces.
struct BasicSettingField {
    const char* key;
    double BasicSettings::*length;
    int BasicSettings::*integer;
    bool ranged;
    double low, high;
};

// All 103 stored settings in file order.
std::span<const BasicSettingField> BasicSettingFields();

// The live settings.
BasicSettings& TheBasicSettings();

// The camera panel's lens calibration, filled by the vision code: `load` reads a
// calibration file and returns the panel's loaded flag; `isLoaded` returns that
// flag. Unset functions count as "nothing loaded".
struct LensCalibrationPort {
    std::function<bool(const std::string& path)> load;
    std::function<bool()> isLoaded;
};
LensCalibrationPort& TheLensCalibrationPort();

// "cameraCalibrate_data8mm.xml" for lens 0, "cameraCalibrate_data6mm.xml" for 1,
// "" for any other value.
std::string LensCalibrationFileName(int cameraLens);

// Loads the calibration file of `m_CameraLens` from `folder` (nothing for an
// unknown lens) and clears `m_Calibrator2` when the panel holds no calibration
// afterwards. Returns the panel's loaded flag.
bool ApplyLensCalibration(BasicSettings& settings, const std::string& folder);

// Section "SetBasicConfig" of the config.ini at `configPath`: every key, then the
// load corrections, then the lens calibration from the config file's folder.
void LoadSetBasicConfig(BasicSettings& settings, const std::string& configPath);

// Writes every key ("%0.4f" lengths, "%d" integers). False when a write failed.
bool SaveSetBasicConfig(const BasicSettings& settings, const std::string& configPath);

} // namespace smt
