#pragma once
// The device steps of quorvel-flash that walk the image: the whole rewrite (the same flow as
// the window's big button), the programming step alone and the row write.

#include <string>

#include "device_session.h"
#include "memory_image.h"
#include "rewrite_flow.h"

namespace quorvel::cli {

// The rewrite flow on the session's loader, every step recorded and the blocks' progress shown.
RewriteResult runWriteSequence(DeviceSession& session, const MemoryImage& image);

// The programming step alone, with its progress display; returns its status.
int16_t runProgramStep(DeviceSession& session, const MemoryImage& image);

// The row-by-row write, with its progress display; returns its status.
int16_t runRowWriteStep(DeviceSession& session, const MemoryImage& image);

}  // namespace quorvel::cli
