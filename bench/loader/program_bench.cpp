// Throughput of the programming step against the simulated loader.
//
// Unpaced, the simulator answers at once, so the time per block is the tool's own overhead
// plus the simulator's (goal: under 1 ms per block). Paced, the simulator takes as long as a
// real line; the whole rewrite should then take no more than 2% over the line-time limit, the
// bytes on the wire times 10 bits over the speed. The paced rewrite runs twice: replies in
// small pieces, and replies in 64-byte packets as a USB serial adapter hands them over.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <chrono>
#include <ctime>
#include <memory>

#include "block_walk.h"
#include "image_loader.h"
#include "loader.h"
#include "serial_port_transport.h"
#include "sim_process.h"
#include "trace_transport.h"

namespace {

double processCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

const quorvel::MemoryImage& defaultImage() {
    static const quorvel::MemoryImage image = [] {
        quorvel::MemoryImage i;
        quorvel::LoadImageFile(QUORVEL_DEFAULT_IMAGE_PATH, i);
        return i;
    }();
    return image;
}

struct Rig {
    explicit Rig(const SimProcess& sim) {
        settings.portNumber = 1;
        settings.devicePath = sim.slave();
        auto t = std::make_unique<quorvel::TraceTransport>(
            std::make_unique<quorvel::SerialPortTransport>(), nullptr);
        trace = t.get();
        loader = std::make_unique<quorvel::Loader>(std::move(t));
    }
    quorvel::ExchangeSettings settings;
    quorvel::TraceTransport* trace;
    std::unique_ptr<quorvel::Loader> loader;
};

void BM_ProgramUnpaced(benchmark::State& state) {
    SimProcess sim;
    if (!sim.started()) {
        state.SkipWithError("the simulator did not start");
        return;
    }
    Rig rig(sim);
    const int blocks = quorvel::countBlocksToSend(defaultImage());
    double cpuMs = 0;
    double wallMs = 0;
    for (auto _ : state) {
        const double cpuBefore = processCpuMs();
        const auto start = std::chrono::steady_clock::now();
        if (rig.loader->FlashProgram(rig.settings, defaultImage(), {}) != 0) {
            state.SkipWithError("programming failed");
        }
        wallMs += msSince(start);
        cpuMs += processCpuMs() - cpuBefore;
    }
    const double n = static_cast<double>(state.iterations()) * blocks;
    state.counters["blocks"] = blocks;
    state.counters["wall_ms_per_block"] = wallMs / n;
    state.counters["tool_cpu_ms_per_block"] = cpuMs / n;
}
BENCHMARK(BM_ProgramUnpaced)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_RewritePaced(benchmark::State& state) {
    QStringList options{"--pace"};
    if (state.range(0) > 0) options << "--packets" << QString::number(state.range(0));
    SimProcess sim(options);
    if (!sim.started()) {
        state.SkipWithError("the simulator did not start");
        return;
    }
    Rig rig(sim);
    double ratio = 0;
    double limitMs = 0;
    double tookMs = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const uint64_t before = rig.trace->bytesSent() + rig.trace->bytesReceived();
        bool ok = rig.loader->LoaderConnect(rig.settings) == quorvel::kConnected;
        // The connect command goes out at 9600 bit/s, every frame at 38400.
        const uint64_t at9600 = rig.trace->bytesSent() + rig.trace->bytesReceived() - before;
        ok = ok && rig.loader->FlashErase(rig.settings) == quorvel::kEraseAccepted;
        ok = ok && rig.loader->FlashProgram(rig.settings, defaultImage(), {}) == 0;
        ok = ok && rig.loader->LoaderDisconnect(rig.settings) == 0;
        tookMs = msSince(start);
        if (!ok) state.SkipWithError("the rewrite failed");
        const uint64_t at38400 =
            rig.trace->bytesSent() + rig.trace->bytesReceived() - before - at9600;
        limitMs = static_cast<double>(at9600) * 10 * 1000 / 9600 +
                  static_cast<double>(at38400) * 10 * 1000 / 38400;
        ratio = tookMs / limitMs;
    }
    state.counters["line_limit_s"] = limitMs / 1000;
    state.counters["took_s"] = tookMs / 1000;
    state.counters["over_limit_pct"] = (ratio - 1) * 100;
}
BENCHMARK(BM_RewritePaced)
    ->ArgName("packet_bytes")
    ->Arg(0)
    ->Arg(64)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    QCoreApplication app(argc, argv);  // the reply waits run an event loop
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
