// What a silent reply wait costs the machine: the wait lasts the 2.5 s deadline, and the
// process should sleep through it (goal: under 50 ms of CPU time per wait).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <ctime>
#include <memory>

#include "serial_link.h"
#include "serial_port_transport.h"

namespace {

double processCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// A pseudo-terminal whose other side never answers.
struct SilentPeer {
    SilentPeer() {
        char name[128] = {};
        openpty(&master, &slave, name, nullptr, nullptr);
        termios raw{};
        tcgetattr(slave, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave, TCSANOW, &raw);
        path = name;
    }
    ~SilentPeer() {
        ::close(master);
        ::close(slave);
    }
    int master = -1;
    int slave = -1;
    std::string path;
};

void BM_SilentWait(benchmark::State& state) {
    SilentPeer peer;
    quorvel::SerialLink link(std::make_unique<quorvel::SerialPortTransport>());
    quorvel::PortTarget settings;
    settings.portNumber = 1;
    settings.devicePath = peer.path;
    if (!link.openPort(settings)) {
        state.SkipWithError("cannot open the pseudo-terminal");
        return;
    }
    double cpuMs = 0;
    double wallMs = 0;
    for (auto _ : state) {
        const double cpuBefore = processCpuMs();
        const auto wallBefore = std::chrono::steady_clock::now();
        const auto count = link.WaitForReply(1);
        wallMs +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallBefore)
                .count();
        cpuMs += processCpuMs() - cpuBefore;
        if (!count || *count != 0) state.SkipWithError("the silent peer answered");
    }
    link.closePort();
    const double n = static_cast<double>(state.iterations());
    state.counters["cpu_ms_per_wait"] = cpuMs / n;
    state.counters["wall_ms_per_wait"] = wallMs / n;
}
BENCHMARK(BM_SilentWait)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    QCoreApplication app(argc, argv);  // the wait runs an event loop
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
