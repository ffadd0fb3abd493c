// Start-up reads about a thousand settings keys from config.ini one at a time.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/profile.h"

namespace {

struct Config {
    std::string folder, path;
    std::vector<std::pair<std::string, std::string>> keys;  // section, key

    Config() {
        char tmpl[] = "/tmp/bench_profile_XXXXXX";
        folder = ::mkdtemp(tmpl);
        path = folder + "/config.ini";
        std::string text = "; settings\r\n";
        for (int s = 0; s < 20; ++s) {
            const std::string sec = "Section" + std::to_string(s);
            text += "[" + sec + "]\r\n";
            for (int k = 0; k < 50; ++k) {
                const std::string key = "m_Value_" + std::to_string(k);
                text += key + "=" + std::to_string(s * 1000 + k) + ".1250\r\n";
                keys.emplace_back(sec, key);
            }
            text += "\r\n";
        }
        plat::WriteFileAtomic(path, text);
    }
    ~Config() { std::filesystem::remove_all(folder); }
};

void readAll(const Config& c, benchmark::State& state) {
    for (const auto& [sec, key] : c.keys)
        benchmark::DoNotOptimize(plat::GetPrivateProfileString(sec, key, "获取配置失败", 512, c.path));
    state.SetItemsProcessed(state.items_processed() + static_cast<int64_t>(c.keys.size()));
}

// The first read after start-up parses the file once.
void BM_Read1000KeysCold(benchmark::State& state) {
    Config c;
    for (auto _ : state) {
        plat::FlushProfileCache();
        readAll(c, state);
    }
}
BENCHMARK(BM_Read1000KeysCold)->Unit(benchmark::kMillisecond);

void BM_Read1000KeysCached(benchmark::State& state) {
    Config c;
    for (auto _ : state) readAll(c, state);
}
BENCHMARK(BM_Read1000KeysCached)->Unit(benchmark::kMillisecond);

// One settings save writes key by key; each write replaces the file atomically.
void BM_WriteOneKeyOf1000(benchmark::State& state) {
    Config c;
    int n = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            plat::WritePrivateProfileString("Section7", "m_Value_7", std::to_string(++n), c.path));
}
BENCHMARK(BM_WriteOneKeyOf1000)->Unit(benchmark::kMillisecond);

} // namespace
