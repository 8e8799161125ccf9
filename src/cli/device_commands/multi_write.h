#pragma once
// The rewrite of several devices at once: one thread per --port, each with its own serial
// port, loader and event loop, a progress line per device, and a summary table at the end.

#include <cstdio>
#include <vector>

#include "cli_options.h"
#include "command_result.h"
#include "exchange_settings.h"
#include "memory_image.h"
#include "record_file.h"

namespace quorvel::cli {

// Runs the whole rewrite on every device in parallel and reports each outcome. Needs a
// QCoreApplication. Exit code 0 only when every device was rewritten, 130 when a stop was
// requested before every device was done, 1 otherwise (2 when a transcript file cannot be
// written; then nothing is sent). With `record`, each device adds its line to it as it ends.
CommandResult runMultiWrite(const CliOptions& options, const std::vector<ExchangeSettings>& devices,
                            const MemoryImage& image, std::FILE* err, RecordFile* record = nullptr);

}  // namespace quorvel::cli
