#pragma once
// write --dry-run: everything a write does before it sends its first byte (the image loaded
// and checked, every port resolved, opened and closed again), then what the write would send
// and how long that takes on the line, worked out from the loader's own frame sizes and line
// settings. Nothing is sent.

#include <cstdio>
#include <string>
#include <vector>

#include "cli_options.h"
#include "command_result.h"
#include "device_options.h"
#include "image_identity.h"
#include "memory_image.h"
#include "step.h"

namespace quorvel::cli {

// One step of the write as it goes over the line, its replies included.
struct WireStep {
    Step step = Step::Connect;  // connect, erase, program or disconnect
    int messages = 0;           // the command or frames it sends, each once
    int64_t bytesOut = 0;
    int64_t bytesBack = 0;  // whole replies
    int32_t baudRate = 0;
    double seconds = 0;  // the bytes both ways at that speed
};

// The steps of a write of `image` in which every message is answered at the first attempt.
std::vector<WireStep> planWrite(const MemoryImage& image, LoaderGeneration loader);

// The plan as the result, with each port as described; each port that cannot be opened is
// named on `err`. Needs a QCoreApplication. Exit code 0, or 1 when a port cannot be opened.
CommandResult runDryRun(const CliOptions& options, const std::vector<DevicePort>& devices,
                        const LoadedImage& loaded, std::FILE* err);

}  // namespace quorvel::cli
