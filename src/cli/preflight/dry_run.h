#pragma once
// write --dry-run: everything a write does before it sends its first byte (the image loaded
// and checked, every port resolved, opened and closed again), then what the write would send
// and how long that takes on the line, worked out from the loader's own frame sizes and line
// settings. Nothing is sent.

#include <cstdio>
#include <vector>

#include "cli_options.h"
#include "command_result.h"
#include "device_options.h"
#include "image_identity.h"

namespace quorvel::cli {

// The plan as the result, with each port as described; each port that cannot be opened is
// named on `err`. Needs a QCoreApplication. Exit code 0, or 1 when a port cannot be opened.
CommandResult runDryRun(const CliOptions& options, const std::vector<DevicePort>& devices,
                        const LoadedImage& loaded, std::FILE* err);

}  // namespace quorvel::cli
