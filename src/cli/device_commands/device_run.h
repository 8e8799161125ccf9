#pragma once
// One device command on one port, set up the same way whether it runs alone, beside other
// devices or in a station: the loader on that port behind the transcript, the stop requests
// wired to it, the steps (the whole rewrite, or a step command's one exchange) and what they
// leave, as one DeviceResult. Its reports are made from that result (device_result.h).

#include <cstdio>
#include <functional>
#include <string>

#include "command_table.h"
#include "device_result.h"
#include "memory_image.h"
#include "transcript.h"
#include "walk_progress.h"

namespace quorvel::cli {

// Where a run shows its steps and its walk's progress as they happen. Left empty, they go to
// the run's error stream ("erase: status 4", a bar or progress lines) unless it is quiet.
struct RunDisplay {
    std::function<void(Step step)> stepStarted;
    std::function<void(const StepRecord& step)> stepDone;
    ProgressDisplay::Report progress;
};

class ProgressBoard;
// Shows the run as device `index` of `board`, when several devices are written at once.
RunDisplay boardDisplay(ProgressBoard& board, size_t index);

struct DeviceRun {
    const CommandWork& work;  // what the command sends and which status it takes
    bool showsProgress;       // whether the steps and the progress are shown
    ExchangeSettings settings;
    std::string port;          // as messages name it ("COM2", "/dev/ttyUSB1")
    const MemoryImage& image;  // what write, program and row-write send
    Transcript& transcript;
    std::string unit;    // the board's unit id, or empty
    RunDisplay display;  // empty: the steps and the progress go to `err`
    std::FILE* err = nullptr;
    // write: what to do after a failure, at the end of the device's state.
    std::string again = "run write again";
};

// Runs the command on the run's port and returns how it ended. The loader and its serial port
// are created here: call it on the thread whose event loop the reply waits may run.
DeviceResult runDevice(const DeviceRun& run);

}  // namespace quorvel::cli
