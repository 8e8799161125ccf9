#pragma once
// The reports of a device's run, all made from its DeviceResult: what went wrong and the
// warnings in words, the device's JSON object, its line in the record file, and the result of
// a command run on one port.

#include <optional>
#include <string>
#include <vector>

#include "cli_options.h"
#include "command_result.h"
#include "command_table.h"
#include "device_result.h"
#include "json_run.h"
#include "memory_image.h"
#include "record_file.h"
#include "rewrite_record.h"

namespace quorvel::cli {

// What went wrong, for the operator: where the run was stopped, or the failed step with its
// status and attempts and what it saw (diagnosis.h), then what that leaves on the device.
// Empty when the device took what was sent.
std::vector<std::string> whatWentWrong(const DeviceResult& result);

// The warnings beside the outcome: answers that did not repeat their frames, a transcript that
// could not be written, answers that did not confirm their frames, an end left unanswered.
std::vector<std::string> warningsOf(const DeviceResult& result);

// The device's part of the JSON report: port, device, outcome, steps (docs/json.md).
QJsonObject deviceJson(const DeviceResult& result);

// Begins the record of a write of the file `facts` describe to the port of `settings`, for
// the board `unit` (empty: none) on the station `profile` names (empty: none): a new attempt,
// its identity and its start time, with its started line added to `file` (none: only the
// record is made). Called by every write right before its first byte. False when the line
// could not be added: the write must then send nothing, and file->failure() says why.
bool startRecord(Record& record, RecordSink* file, const ExchangeSettings& settings,
                 const std::string& unit, const ImageFacts& facts, const std::string& profile,
                 const std::string& unitCheck = {});

// Adds the final line of the attempt that `record` began (startRecord) to `file` (none: nothing
// to do), for a write of `image` that ended as `result`; a line that could not be added is
// kept in result.recordFailure.
void keepRecord(DeviceResult& result, RecordSink* file, Record record, const MemoryImage& image);

// The result of a command run on one port: the outcome (the command line's headline of a
// write, the pin's answer) on standard output, warnings and what went wrong on standard error.
CommandResult oneDeviceResult(const DeviceResult& result, const Command& command,
                              const CliOptions& options, const std::optional<ImageFacts>& image);

// A record line that could not be added: said as an error, carried in the JSON report, and
// the outcome of a write that went through (exit code 5): a device nobody can trace.
void markRecordLost(CommandResult& result, const std::string& failure);

}  // namespace quorvel::cli
