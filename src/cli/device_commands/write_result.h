#pragma once
// What every write of one device ends with, whichever way it ran (alone, beside others, in a
// station): the stop or failure explained, the echo warning, the device's JSON object and its
// line in the record file.

#include "command_result.h"
#include "device_result.h"
#include "device_session.h"
#include "json_run.h"
#include "memory_image.h"
#include "record_file.h"
#include "rewrite_flow.h"

namespace quorvel::cli {

// Call once the flow has ended on `session`. With `record`, the device's line is added to it.
DeviceResult finishWrite(DeviceSession& session, const RewriteResult& write,
                         const MemoryImage& image, const ImageFacts& facts, RecordFile* record);

// A record line that could not be added: said as an error, carried in the JSON report, and
// the outcome of a write that went through (exit code 5): a device nobody can trace.
void markRecordLost(CommandResult& result, const std::string& failure);

}  // namespace quorvel::cli
