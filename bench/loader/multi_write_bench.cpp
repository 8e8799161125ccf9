// Several devices at once: quorvel-flash write with one --port, then with four, against
// simulated loaders that take as long as a real line (--pace). Each device has its own thread
// and port, so four should take about as long as one; the ratio is printed at the end.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QProcess>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include "sim_process.h"

namespace {

constexpr int kToolMs = 600000;

std::map<int64_t, double> secondsByDevices;  // filled by the runs, read by main()

void BM_PacedWrite(benchmark::State& state) {
    const int64_t devices = state.range(0);
    std::vector<std::unique_ptr<SimProcess>> sims;
    QStringList args{"write", "--yes", QUORVEL_DEFAULT_IMAGE_PATH};
    for (int64_t i = 0; i < devices; ++i) {
        sims.push_back(std::make_unique<SimProcess>(QStringList{"--pace"}));
        if (!sims.back()->started()) {
            state.SkipWithError("a simulator did not start");
            return;
        }
        args << "--port" << sims.back()->slavePath();
    }
    double seconds = 0;
    for (auto _ : state) {
        QProcess tool;
        const auto start = std::chrono::steady_clock::now();
        tool.start(flashToolPath(), args);
        const bool finished = tool.waitForFinished(kToolMs);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!finished || tool.exitCode() != 0) state.SkipWithError("the write failed");
    }
    secondsByDevices[devices] = seconds;
    state.counters["devices"] = static_cast<double>(devices);
    state.counters["took_s"] = seconds;
}
BENCHMARK(BM_PacedWrite)->Arg(1)->Arg(4)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    QCoreApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (secondsByDevices.count(1) != 0 && secondsByDevices.count(4) != 0) {
        std::printf("four paced devices: %.1f s, one: %.1f s, ratio %.3f\n", secondsByDevices[4],
                    secondsByDevices[1], secondsByDevices[4] / secondsByDevices[1]);
    }
    return 0;
}
