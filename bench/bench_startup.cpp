// Start-up to the first idle moment, without the widgets: language, machine type,
// menu captions, the eight table files (full), the view's messages, the travel
// limits and the position pulses, from a start folder like an operator's.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/captions.h"
#include "app/frameconfig.h"
#include "base/globals.h"
#include "app/menus.h"
#include "base/numtext.h"
#include "base/tablefile.h"
#include "app/viewcore.h"
#include "platform/files.h"
#include "platform/profile.h"

namespace {

std::string MakeStartFolder() {
    namespace fs = std::filesystem;
    std::string folder = (fs::temp_directory_path() / "smt-bench-startup-XXXXXX").string();
    if (!mkdtemp(folder.data())) std::abort();
    for (const char* lang : {"Chinese.ini", "English.ini", "German.ini"})
        fs::copy_file(fs::path(__FILE__).parent_path().parent_path() / "res" / lang, fs::path(folder) / lang);
    std::string ini = "[LanguageSetConfig]\nLanguageSet=English\n[MachineSetConfig]\nMachineSet=7\n"
                      "[SetBasicConfig]\nm_X_Limit=450.0000\nm_Y_Limit=-380.0000\nm_Z_Limit=20.0000\n"
                      "[SetPulseConfig]\nm_X_Pulse=160.0000\nm_Y_Pulse=160.0000\nm_Z_Pulse=400.0000\n";
    // A full settings file: every other dialog's section as well.
    for (int section = 0; section < 30; ++section) {
        ini += "[Section" + std::to_string(section) + "Config]\n";
        for (int key = 0; key < 60; ++key) ini += "m_Value_" + std::to_string(key) + "=" + smt::FormatMm(key * 1.5) + "\n";
    }
    plat::WriteFileAtomic(folder + "/config.ini", ini);
    smt::FigLists lists;
    lists.speedSetNames = "High\tMedium\tLow\t";
    for (int f = 0; f < smt::kTableFileCount; ++f) {
        auto& rows = lists.Rows(static_cast<smt::TableFile>(f));
        for (int r = 0; r < 300; ++r) {
            std::vector<std::string> cells;
            for (int c = 0; c < 30; ++c) cells.push_back(smt::FormatMm(r * 0.25 + c));
            rows.push_back(smt::JoinRow(cells));
        }
    }
    smt::TableFileError error;
    if (!smt::SaveFigLists(folder, lists, error)) std::abort();
    return folder;
}

void BM_StartupToFirstIdle(benchmark::State& state) {
    const std::string folder = MakeStartFolder();
    for (auto _ : state) {
        plat::FlushProfileCache();
        smt::g_FigLists = {};
        const smt::LanguageSettings lang = smt::LoadLanguageSettings(folder, {});
        smt::g_MachineType = smt::LoadMachineSet(folder);
        const smt::MenuCaptions menus = smt::LoadMenuTexts(folder, lang.languageName);
        smt::TableFileError error;
        if (!smt::LoadFigLists(folder, smt::g_FigLists, error)) state.SkipWithError("table files");
        const smt::ViewMessages messages = smt::LoadMessageTexts(lang.languageName, folder);
        const smt::LimitPulses limits = smt::LoadLimitPulses(folder);
        smt::ConvertSettingsToPulses(smt::g_PulsesPerMm, {});
        benchmark::DoNotOptimize(menus.size() + messages.size() + limits.x);
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_StartupToFirstIdle)->Unit(benchmark::kMillisecond);

} // namespace
