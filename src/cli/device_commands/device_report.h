#pragma once
// The result of a device command run on one port, made from its DeviceResult (device_result.h),
// and what a lost record line does to a command's result.

#include <optional>

#include "cli_options.h"
#include "command_result.h"
#include "command_table.h"
#include "device_result.h"
#include "record_sink.h"

namespace quorvel::cli {

// The result of a command run on one port: the outcome (the command line's headline of a
// write, the pin's answer) on standard output, warnings and what went wrong on standard error,
// then how long it took and a record line that could not be added.
CommandResult oneDeviceResult(const DeviceResult& result, const Command& command,
                              const CliOptions& options, const std::optional<ImageFacts>& image);

// A record line that could not be added: said as an error, carried in the JSON report, and
// the outcome of a write that went through (exit code 5): a device nobody can trace.
void markRecordLost(CommandResult& result, const std::string& failure);
// A write whose started line `file` could not add: it sends nothing (exit code 2).
CommandResult recordNotStarted(const RecordSink& file);

}  // namespace quorvel::cli
