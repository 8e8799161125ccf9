#include "write_sequence.h"

#include <string>

#include "block_walk.h"
#include "loader.h"
#include "loader_exchanges.h"
#include "stop_signals.h"

namespace quorvel::cli {

namespace {

constexpr int kRowsPerLine = 64;  // the row walk prints one line per 1 KiB in line mode

// The programming exchange as a recorded step, its progress shown from `progressOf`.
int16_t programStep(DeviceSession& session, const MemoryImage& image,
                    const std::function<int16_t(const ProgressCallback&)>& exchange) {
    ProgressDisplay bar = session.progress(Step::Program, "block", countBlocksToSend(image), 1);
    // The walk passes every block position; only those with data are sent.
    const ProgressCallback onProgress = [&](int row, bool blockStep) {
        if (blockStep && blockHasData(image, row)) {
            bar.advance(static_cast<uint32_t>(row) * kRowBytes);
        }
    };
    return session.step(Step::Program, kProgramDone, [&] {
        const int16_t s = exchange(onProgress);
        bar.finish();
        return s;
    });
}

}  // namespace

int16_t runProgramStep(DeviceSession& session, const MemoryImage& image) {
    return programStep(session, image, [&](const ProgressCallback& progress) {
        return session.loader().FlashProgram(session.settings(), image, progress);
    });
}

int16_t runRowWriteStep(DeviceSession& session, const MemoryImage& image) {
    int rows = 0;
    for (int row = kFirstRow; row <= kLastRow; ++row) rows += image.rowFlagged(row) ? 1 : 0;
    ProgressDisplay bar = session.progress(Step::RowWrite, "row", rows, kRowsPerLine);
    const ProgressCallback onProgress = [&](int row, bool) {
        if (image.rowFlagged(row)) bar.advance(static_cast<uint32_t>(row) * kRowBytes);
    };
    return session.step(Step::RowWrite, kProgramDone, [&] {
        const int16_t s = session.loader().RowWrite(session.settings(), image, onProgress);
        bar.finish();
        return s;
    });
}

RewriteResult runWriteSequence(DeviceSession& session, const MemoryImage& image) {
    LoaderExchanges link(session.loader());
    // The programming step shows its bar: the flow's walk reports to the bar of this step.
    const ProgressCallback* blockProgress = nullptr;
    RewriteHooks hooks;
    hooks.settings = [&session] { return session.settings(); };
    hooks.progress = [&blockProgress](int row, bool blockStep) {
        if (blockProgress != nullptr) (*blockProgress)(row, blockStep);
    };
    hooks.step = [&](Step step, const std::function<int16_t()>& exchange) -> int16_t {
        if (step != Step::Program) {
            return session.step(step, RewriteStepAccepts(step), exchange);
        }
        return programStep(session, image, [&](const ProgressCallback& progress) {
            blockProgress = &progress;
            const int16_t status = exchange();
            blockProgress = nullptr;
            return status;
        });
    };
    hooks.stopRequested = [&session] { return session.loader().stopRequested(); };
    hooks.stepStopped = [&session] {
        return (!session.steps().empty() && session.steps().back().seen.stopped) || stopUrgently();
    };
    return RunRewrite(link, image, hooks);
}

}  // namespace quorvel::cli
