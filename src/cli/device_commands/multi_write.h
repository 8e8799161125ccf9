#pragma once
// The rewrite of several devices at once: one thread per --port, each with its own serial
// port, loader and event loop, a progress line per device, and a summary table at the end.

#include <cstdio>
#include <string>
#include <vector>

#include "cli_options.h"
#include "command_result.h"
#include "device_options.h"
#include "device_result.h"
#include "image_identity.h"
#include "record_file.h"

namespace quorvel::cli {

// Runs the whole rewrite on every device in parallel and reports each outcome. Needs a
// QCoreApplication. The run ends as its worst device (exit code 0 only when every device was
// rewritten), or with 2 when a transcript file cannot be written; then nothing is sent. With
// `record`, each device adds its line to it as it ends.
CommandResult runMultiWrite(const Command& command, const CliOptions& options,
                            const std::vector<DevicePort>& devices, const LoadedImage& loaded,
                            std::FILE* err, RecordSink* record = nullptr);

// The table that ends it: one row per port with its outcome, the step that failed and the time
// it took, then how many devices were rewritten.
std::vector<std::string> summaryTable(const std::vector<DeviceResult>& results);

}  // namespace quorvel::cli
