// How long loading a firmware file that fills the whole image takes, file read included.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "full_image.h"
#include "image_loader.h"
#include "range_checksum.h"

namespace {

std::string writeFullImage() {
    const std::string path = "quorvel_full_image_bench.mot";
    std::ofstream(path, std::ios::binary) << quorvel::bench::fullImageText();
    return path;
}

void BM_LoadFullImageFile(benchmark::State& state) {
    const std::string path = writeFullImage();
    quorvel::MemoryImage image;
    for (auto _ : state) {
        const quorvel::LoadResult r = quorvel::LoadImageFile(path, image);
        if (!r.ok()) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(image.intMemory.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(8192 * 46));
    std::remove(path.c_str());
}
BENCHMARK(BM_LoadFullImageFile)->Unit(benchmark::kMicrosecond);

void BM_ChecksumWholeImage(benchmark::State& state) {
    quorvel::MemoryImage image;
    image.ClearImage();
    for (auto _ : state) {
        benchmark::DoNotOptimize(quorvel::RangeChecksum(image, "4000", "23FFF").sum);
    }
}
BENCHMARK(BM_ChecksumWholeImage)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
