// Throughput of the simulated boards' hot paths: cutting host frames from a byte
// stream, and the digest of a whole application area (command 0xF06).
#include <benchmark/benchmark.h>

#include "codec.h"
#include "md5.h"

namespace {

void BM_DecodeHostFrames(benchmark::State& state) {
    sim::Bytes stream;
    for (int i = 0; i < 100; ++i) {
        sim::Bytes data{0};
        sim::PutSm32(data, i - 50);
        data.push_back(10);
        data.push_back(100);
        const sim::Bytes f = sim::EncodeHostFrame(0x61, data);
        stream.insert(stream.end(), f.begin(), f.end());
    }
    std::vector<sim::HostFrameDecoder::Item> items;
    for (auto _ : state) {
        sim::HostFrameDecoder dec;
        items.clear();
        // Fed in 7-byte pieces, as a serial port hands them over.
        for (std::size_t at = 0; at < stream.size(); at += 7)
            dec.Feed(stream.data() + at, std::min<std::size_t>(7, stream.size() - at), items);
        benchmark::DoNotOptimize(items.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(BM_DecodeHostFrames);

void BM_ApplicationAreaDigest(benchmark::State& state) {
    const sim::Bytes area(0x60000, 0xA5);
    for (auto _ : state) benchmark::DoNotOptimize(sim::Md5Digest(area.data(), area.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * area.size()));
}
BENCHMARK(BM_ApplicationAreaDigest);

} // namespace
