#include "write_sequence.h"

#include <string>

#include "block_walk.h"
#include "loader.h"

namespace quorvel::cli {

namespace {

constexpr int kRowsPerLine = 64;  // the row walk prints one line per 1 KiB in line mode

// The row a walk's position text stands for ("0400": row 0x400).
int rowOf(const std::string& position) {
    return static_cast<int>(std::stoul(position, nullptr, 16));
}

}  // namespace

int16_t runProgramStep(DeviceSession& session, const MemoryImage& image) {
    ProgressDisplay bar = session.progress("program", "block", countBlocksToSend(image), 1);
    // The walk passes every block position; only those with data are sent.
    const ProgressCallback onProgress = [&](const std::string& position, bool step) {
        const int row = rowOf(position);
        if (step && blockHasData(image, row)) bar.advance(static_cast<uint32_t>(row) * kRowBytes);
    };
    return session.step("program", kProgramDone, [&] {
        const int16_t s = session.loader().FlashProgram(session.settings(), image, onProgress);
        bar.finish();
        return s;
    });
}

int16_t runRowWriteStep(DeviceSession& session, const MemoryImage& image) {
    int rows = 0;
    for (int row = kFirstRow; row <= kLastRow; ++row) rows += image.rowFlagged(row) ? 1 : 0;
    ProgressDisplay bar = session.progress("row-write", "row", rows, kRowsPerLine);
    const ProgressCallback onProgress = [&](const std::string& position, bool) {
        const int row = rowOf(position);
        if (image.rowFlagged(row)) bar.advance(static_cast<uint32_t>(row) * kRowBytes);
    };
    return session.step("row-write", kProgramDone, [&] {
        const int16_t s = session.loader().RowWrite(session.settings(), image, onProgress);
        bar.finish();
        return s;
    });
}

WriteOutcome runWriteSequence(DeviceSession& session, const MemoryImage& image) {
    Loader& loader = session.loader();
    const ExchangeSettings& s = session.settings();
    // A stop on request ends the sequence where it came: inside a step, or after one.
    const WriteOutcome interrupted{false, "Interrupted", true};
    const auto failed = [&](const char* message) {
        return session.steps().back().seen.stopped ? interrupted : WriteOutcome{false, message};
    };
    if (session.step("connect", kConnected, [&] { return loader.LoaderConnect(s); }) !=
        kConnected) {
        return failed("Connection failure");
    }
    if (loader.stopRequested()) return interrupted;
    if (session.step("erase", kEraseAccepted, [&] { return loader.FlashErase(s); }) !=
        kEraseAccepted) {
        return failed("Deletion failure");
    }
    if (loader.stopRequested()) return interrupted;
    if (runProgramStep(session, image) != kProgramDone) return failed("Writing failure");
    if (loader.stopRequested()) return interrupted;
    // Whatever the disconnect says, the rewrite is done, unless it was stopped before its
    // answer came.
    session.step("disconnect", kDisconnected, [&] { return loader.LoaderDisconnect(s); });
    if (session.steps().back().seen.stopped) return interrupted;
    return {true, "Rewriting success!"};
}

}  // namespace quorvel::cli
