#include "settings/basic_settings.h"

#include <array>
#include <filesystem>
#include <string_view>

#include "base/log.h"
#include "base/numtext.h"
#include "platform/files.h"
#include "platform/profile.h"

namespace smt {

namespace {

constexpr const char* kSection = "SetBasicConfig";
constexpr const char* kMissing = "获取配置失败";
constexpr std::size_t kBufferChars = 512;

#define LEN(name, lo, hi) BasicSettingField{#name, &BasicSettings::name, nullptr, true, lo, hi}
#define LEN_FREE(name) BasicSettingField{#name, &BasicSettings::name, nullptr, false, 0, 0}
#define INT(name, lo, hi) BasicSettingField{#name, nullptr, &BasicSettings::name, true, lo, hi}
#define INT_FREE(name) BasicSettingField{#name, nullptr, &BasicSettings::name, false, 0, 0}

const std::array kFields = {
    LEN(m_Z_Nozzle1ToFeed, -1000, 0), LEN(m_Z_Nozzle2ToFeed, -1000, 0),
    LEN(m_Z_Nozzle3ToFeed, -1000, 0), LEN(m_Z_Nozzle4ToFeed, -1000, 0),
    LEN(m_Z_Nozzle5ToFeed, -1000, 0), LEN(m_Z_Nozzle6ToFeed, -1000, 0),
    LEN(m_Z_Nozzle7ToFeed, -1000, 0), LEN(m_Z_Nozzle8ToFeed, -1000, 0),
    LEN(m_Correction_X1, -1, 1), LEN(m_Correction_X2, -1, 1), LEN(m_Correction_X3, -1, 1),
    LEN(m_Correction_X4, -1, 1), LEN(m_Correction_X5, -1, 1), LEN(m_Correction_X6, -1, 1),
    LEN(m_Correction_X7, -1, 1), LEN(m_Correction_X8, -1, 1),
    LEN(m_Correction_Y1, -1, 1), LEN(m_Correction_Y2, -1, 1), LEN(m_Correction_Y3, -1, 1),
    LEN(m_Correction_Y4, -1, 1), LEN(m_Correction_Y5, -1, 1), LEN(m_Correction_Y6, -1, 1),
    LEN(m_Correction_Y7, -1, 1), LEN(m_Correction_Y8, -1, 1),
    LEN(m_Z_Nozzle1ToPCBHeight, -1000, 0),
    LEN(m_Z_DropsGlueToPCBHeight, -1000, 0),
    LEN_FREE(m_Nozzle2MoreNozzle1),
    LEN(m_FeedOverBack, 0, 0.5),
    LEN(m_Z_Measurement, -1000, 0),
    LEN_FREE(m_X_Measurement), LEN_FREE(m_Y_Measurement),
    INT_FREE(m_bMeasurementEffect),
    INT(m_MeasurementStart, 1, 255), INT(m_MeasurementNormal, 1, 255),
    LEN_FREE(m_X_CameraToNozzle1), LEN_FREE(m_Y_CameraToNozzle1),
    LEN_FREE(m_X_Nozzle2ToNozzle1), LEN_FREE(m_Y_Nozzle2ToNozzle1),
    LEN_FREE(m_X_Nozzle3ToNozzle1), LEN_FREE(m_Y_Nozzle3ToNozzle1),
    LEN_FREE(m_X_Nozzle4ToNozzle1), LEN_FREE(m_Y_Nozzle4ToNozzle1),
    LEN_FREE(m_X_Nozzle5ToNozzle1), LEN_FREE(m_Y_Nozzle5ToNozzle1),
    LEN_FREE(m_X_Nozzle6ToNozzle1), LEN_FREE(m_Y_Nozzle6ToNozzle1),
    LEN_FREE(m_X_Nozzle7ToNozzle1), LEN_FREE(m_Y_Nozzle7ToNozzle1),
    LEN_FREE(m_X_Nozzle8ToNozzle1), LEN_FREE(m_Y_Nozzle8ToNozzle1),
    LEN_FREE(m_X_DropsGlueToNozzle1), LEN_FREE(m_Y_DropsGlueToNozzle1),
    LEN(m_X_Y2ToY1, 0, 10000), LEN_FREE(m_Y_Y2ToY1),
    LEN(m_X_ThrowPosition, 0, 10000), LEN(m_Y_ThrowPosition, -10000, 0),
    INT(m_ThrowDelay, 100, 3000), INT(m_ChangeDelay, 100, 30000),
    LEN_FREE(m_X_VisualOrigin), LEN_FREE(m_Y_VisualOrigin),
    LEN_FREE(m_X_VisualOriginOffset), LEN_FREE(m_Y_VisualOriginOffset),
    LEN_FREE(m_X_StopPosition), LEN_FREE(m_Y_StopPosition),
    INT_FREE(m_bStopPosition), INT_FREE(m_ResetToVisualOrigin), INT_FREE(m_SmtFinishToVisualOrigin),
    INT(m_CottectionTimeReset, 0, 10), INT(m_CottectionTimeSmt, 0, 5),
    INT(m_OriginVisualCollectTime, 0, 10000),
    LEN(m_VisualOriginBox, 0.2, 50), LEN(m_VisualOriginSize, 0, 10),
    INT(m_OriginLightContrast, 0, 255), INT(m_OriginLightBrightness, 0, 255),
    INT(m_FeedBrightness, 0, 255), INT_FREE(m_OriginImageColorReversal),
    LEN(m_Z_closeVacuum, 0.1, 25), INT(m_Exhaust, 0, 255),
    INT_FREE(m_SuctionNozzleBlock), INT_FREE(m_SuctionNozzleOffset),
    INT(m_SuctionNozzleValue1, -99, 99), INT(m_SuctionNozzleValue2, -99, 99),
    INT(m_SuctionNozzleValue3, -99, 99), INT(m_SuctionNozzleValue4, -99, 99),
    INT(m_SuctionNozzleValue5, -99, 99), INT(m_SuctionNozzleValue6, -99, 99),
    INT(m_SuctionNozzleValue7, -99, 99), INT(m_SuctionNozzleValue8, -99, 99),
    LEN(m_AutoMagnify, 1, 10), INT_FREE(m_Calibrator2), INT_FREE(m_CameraLens),
    INT_FREE(m_CommModel),
    LEN(m_X_Limit, 0.1, 10000), LEN(m_Y_Limit, -10000, -0.1), LEN(m_Z_Limit, -10000, -0.1),
    LEN(m_EastFeed_Limit, -10000, -0.1), LEN(m_SouthFeed_Limit, 0.1, 10000),
    LEN(m_WestFeed_Limit, -10000, -0.1), LEN(m_NorthFeed_Limit, 0.1, 10000),
    INT_FREE(m_OnlineToReset), INT_FREE(m_DebugModel), INT_FREE(m_OpenCamera),
    INT_FREE(m_bCameraTrackModify),
};
static_assert(kFields.size() == 103);

#undef LEN
#undef LEN_FREE
#undef INT
#undef INT_FREE

// A limit read as exactly 0 gets the smallest size with the sign of its travel.
void NudgeZeroLimit(double& limit, double nudge) {
    if (limit == 0) limit = nudge;
}

std::string FolderOf(const std::string& path) {
    std::string folder = std::filesystem::path(plat::ResolvePath(path)).parent_path().string();
    return folder.empty() ? std::string(".") : folder;
}

} // namespace

std::span<const BasicSettingField> BasicSettingFields() { return kFields; }

BasicSettings& TheBasicSettings() {
    static BasicSettings settings;
    return settings;
}

LensCalibrationPort& TheLensCalibrationPort() {
    static LensCalibrationPort port;
    return port;
}

std::string LensCalibrationFileName(int cameraLens) {
    if (cameraLens == 0) return "cameraCalibrate_data8mm.xml";
    if (cameraLens == 1) return "cameraCalibrate_data6mm.xml";
    return {};
}

bool ApplyLensCalibration(BasicSettings& settings, const std::string& folder) {
    const LensCalibrationPort& port = TheLensCalibrationPort();
    const std::string name = LensCalibrationFileName(settings.m_CameraLens);
    const std::string path = name.empty() ? std::string() : plat::JoinPath(folder, name);
    if (!path.empty() && port.load) port.load(path);
    const bool loaded = port.isLoaded ? port.isLoaded() : false;
    if (!loaded && settings.m_Calibrator2 != 0) {
        const char* why = path.empty()                               ? "no calibration file for this lens"
                          : !plat::FileExists(plat::ResolvePath(path)) ? "calibration file missing"
                                                                       : "calibration file invalid";
        LogPrintf(GetLogStream(), true, "m_Calibrator2 cleared: %s (%s)", why, path.c_str());
    }
    if (!loaded) settings.m_Calibrator2 = 0;
    return loaded;
}

void LoadSetBasicConfig(BasicSettings& s, const std::string& configPath) {
    for (const BasicSettingField& field : kFields) {
        const std::string text =
            plat::GetPrivateProfileString(kSection, field.key, kMissing, kBufferChars, configPath);
        if (field.length) s.*field.length = AtoF(text);
        else s.*field.integer = AtoI(text);
    }
    if (s.m_MeasurementStart < 1) s.m_MeasurementStart = 1;
    if (s.m_MeasurementNormal < 1) s.m_MeasurementNormal = 1;
    if (s.m_Exhaust < 5) s.m_Exhaust = 5;
    if (s.m_ChangeDelay < 100 || s.m_ChangeDelay > 30000) s.m_ChangeDelay = 100;
    if (s.m_VisualOriginBox == 0) s.m_VisualOriginBox = 2.0;
    ApplyLensCalibration(s, FolderOf(configPath));
    if (s.m_Z_closeVacuum == 0) s.m_Z_closeVacuum = 0.1;
    NudgeZeroLimit(s.m_X_Limit, 0.1);
    NudgeZeroLimit(s.m_Y_Limit, -0.1);
    NudgeZeroLimit(s.m_Z_Limit, -0.1);
    NudgeZeroLimit(s.m_EastFeed_Limit, -0.1);
    NudgeZeroLimit(s.m_SouthFeed_Limit, 0.1);
    NudgeZeroLimit(s.m_WestFeed_Limit, -0.1);
    NudgeZeroLimit(s.m_NorthFeed_Limit, 0.1);
    if (s.m_AutoMagnify == 0) s.m_AutoMagnify = 4.0;
    if (s.m_ThrowDelay == 0) s.m_ThrowDelay = 100;
}

bool SaveSetBasicConfig(const BasicSettings& s, const std::string& configPath) {
    plat::ProfileBatch batch(configPath);  // one save, one write of the file
    bool ok = true;
    auto write = [&](const BasicSettingField& field) {
        const std::string text =
            field.length ? FormatMm(s.*field.length) : FormatInt(s.*field.integer);
        ok = plat::WritePrivateProfileString(kSection, field.key, text, configPath) && ok;
    };
    // The blocked-nozzle switch goes before the blow time, as the file always had it.
    for (std::size_t i = 0; i < kFields.size(); ++i) {
        const std::string_view key = kFields[i].key;
        if (key == "m_Exhaust" && i + 1 < kFields.size()) {
            write(kFields[i + 1]);
            write(kFields[i]);
            ++i;
        } else {
            write(kFields[i]);
        }
    }
    return batch.Commit() && ok;
}

} // namespace smt
