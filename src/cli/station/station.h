#pragma once
// Station mode of write, for a production line: on each port, wait until a device appears (the
// serial port exists and opens), rewrite it with the normal sequence, report it, then wait
// until it is removed before waiting for the next one; a device left connected is never
// written twice. Runs until Ctrl-C or SIGTERM, then lets every write in flight finish its frame
// and prints the totals.

#include <cstdio>
#include <vector>

#include "cli_options.h"
#include "command_result.h"
#include "exchange_settings.h"
#include "image_identity.h"
#include "record_file.h"

namespace quorvel::cli {

// Each device's result line goes to `out`, progress to `err`. With --scan, the unit ids are
// read from `in`, one a line, and each names the next board written on the one port.
// Returns 0 when every device was written, 1 when one failed, 130 when a write was cut short.
// With `record`, a line is added for every device as soon as its write ends.
CommandResult runStation(const CliOptions& options, const std::vector<ExchangeSettings>& ports,
                         const LoadedImage& loaded, std::FILE* out, std::FILE* err,
                         RecordSink* record, std::FILE* in);

}  // namespace quorvel::cli
