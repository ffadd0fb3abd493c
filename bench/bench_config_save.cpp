// The basic settings' save (103 keys into [SetBasicConfig]) into a config.ini of
// 10 KB, 1 MB and 5 MB: one pass over the file whatever the number of keys, so
// the time grows with the file's size alone.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/files.h"
#include "settings/basic_settings.h"

namespace {

struct ConfigFile {
    std::string folder, path;

    explicit ConfigFile(std::size_t bytes) {
        char tmpl[] = "/tmp/bench_config_save_XXXXXX";
        folder = ::mkdtemp(tmpl);
        path = folder + "/config.ini";
        // Other sections of the size asked for, the basic settings among them.
        std::string text = "; settings\r\n[SetBasicConfig]\r\nm_X_Limit=300.0000\r\n\r\n";
        for (int s = 0; text.size() < bytes; ++s) {
            text += "[Other" + std::to_string(s) + "]\r\n";
            for (int k = 0; k < 50 && text.size() < bytes; ++k)
                text += "m_Value_" + std::to_string(k) + "=" + std::to_string(s * 1000 + k) + ".1250\r\n";
        }
        plat::WriteFileAtomic(path, text);
    }
    ~ConfigFile() { std::filesystem::remove_all(folder); }
};

void BM_SaveSetBasicConfig(benchmark::State& state) {
    const ConfigFile file(static_cast<std::size_t>(state.range(0)));
    smt::BasicSettings settings;
    settings.m_X_Limit = 350;
    for (auto _ : state) benchmark::DoNotOptimize(smt::SaveSetBasicConfig(settings, file.path));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SaveSetBasicConfig)->Arg(10 << 10)->Arg(1 << 20)->Arg(5 << 20)->Unit(benchmark::kMillisecond);

} // namespace
