#pragma once
// The whole rewrite of one device, as the window's big button runs it: connect, erase,
// program, disconnect; each later step only after the one before succeeded.

#include <string>

#include "device_session.h"
#include "memory_image.h"

namespace quorvel::cli {

struct WriteOutcome {
    bool ok = false;
    std::string message;       // "Rewriting success!", "Connection failure", ...
    bool interrupted = false;  // stopped on request (Loader::stopWhen), message "Interrupted"
};

WriteOutcome runWriteSequence(DeviceSession& session, const MemoryImage& image);

// The programming step alone, with its progress display; returns its status.
int16_t runProgramStep(DeviceSession& session, const MemoryImage& image);

// The row-by-row write, with its progress display; returns its status.
int16_t runRowWriteStep(DeviceSession& session, const MemoryImage& image);

}  // namespace quorvel::cli
