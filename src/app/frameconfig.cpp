#include "app/frameconfig.h"

#include "base/captions.h"
#include "base/globals.h"
#include "base/numtext.h"

namespace smt {

namespace {

struct NameKey {
    const char* key;
    const char* builtin;
};

constexpr NameKey kFeedModeKeys[9] = {
    {"PartList.c_IntegrationFeed", "集中飞达"}, {"PartList.c_AutoFeed", "自动飞达"},
    {"PartList.c_VibrationFeed", "振动飞达"},   {"PartList.c_GridBox", "托盘"},
    {"PartList.c_0402", "0402"},                {"PartList.c_48", "48"},
    {"PartList.c_DragHand", "拖针"},            {"PartList.c_CL_DIP", "CL_浸渍站"},
    {"PartList.c_GRID_DIP", "托盘_浸渍站"},
};

constexpr const char* kSpeedNamesChinese[8] = {
    "复位速度", "手控速度", "取料速度", "贴装速度",
    "视觉对中速度", "视觉贴装速度", "自动换吸嘴速度", "取芯片速度1",
};
constexpr const char* kSpeedNamesOther[8] = {
    "Reset speed", "Manual control", "Picking speed", "Mounting speed",
    "Visual aglinment speed", "Visual mounting speed", "Nozzle change speed", "Pick chip speed 1",
};

} // namespace

void LoadFeedModeNames(const std::string& startFolder) {
    for (int lang = 0; lang < kLanguageCount; ++lang)
        for (int kind = 0; kind < 9; ++kind)
            g_FeedModeNames[lang * 9 + kind] =
                LoadCaption(startFolder, kLanguageNames[lang], "PartListConfig",
                            kFeedModeKeys[kind].key, kFeedModeKeys[kind].builtin);
}

void FillSpeedNames() {
    for (int c = 0; c < 8; ++c) {
        g_SpeedNames[c] = kSpeedNamesChinese[c];
        g_SpeedNames[8 + c] = kSpeedNamesOther[c];
        g_SpeedNames[16 + c] = kSpeedNamesOther[c];
    }
}

LanguageSettings LoadLanguageSettings(const std::string& startFolder,
                                      const LanguageSettings& current) {
    LanguageSettings out = current;
    out.languageName = ReadConfig(startFolder, "LanguageSetConfig", "LanguageSet", "Chinese");
    const int index = LanguageIndexOf(out.languageName);
    if (index >= 0) {
        out.languageIndex = index;
        out.windowTitle = kWindowTitles[index];
    }
    if (out.windowTitle.empty()) out.windowTitle = kWindowTitles[out.languageIndex];
    LoadFeedModeNames(startFolder);
    FillSpeedNames();
    return out;
}

int NormaliseMachineType(int type) { return type >= 0 && type < kMachineTypeCount ? type : 0; }

int LoadMachineSet(const std::string& startFolder) {
    return NormaliseMachineType(AtoI(ReadConfig(startFolder, "MachineSetConfig", "MachineSet", "0")));
}

bool SaveLanguageSet(const std::string& startFolder, const std::string& languageName) {
    return WriteConfig(startFolder, "LanguageSetConfig", "LanguageSet", languageName);
}

bool SaveMachineSet(const std::string& startFolder, int machineType) {
    const bool ok = WriteConfig(startFolder, "MachineSetConfig", "MachineSet", FormatInt(machineType));
    g_SmtHeadCount = 1;
    return ok;
}

} // namespace smt
