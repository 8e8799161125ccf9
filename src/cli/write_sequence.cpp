#include "write_sequence.h"

#include "block_walk.h"
#include "loader.h"

namespace quorvel::cli {

int16_t runProgramStep(DeviceSession& session, const MemoryImage& image) {
    ProgressDisplay bar = session.progress("program", kBlockPositions, 1);
    const ProgressCallback onProgress = [&](const std::string& address, bool step) {
        if (step) bar.advance(address);
    };
    return session.step("program", kProgramDone, [&] {
        const int16_t s = session.loader().FlashProgram(session.settings(), image, onProgress);
        bar.finish();
        return s;
    });
}

WriteOutcome runWriteSequence(DeviceSession& session, const MemoryImage& image) {
    Loader& loader = session.loader();
    const ExchangeSettings& s = session.settings();
    if (session.step("connect", kConnected, [&] { return loader.LoaderConnect(s); }) !=
        kConnected) {
        return {false, "Connection failure"};
    }
    if (session.step("erase", kEraseAccepted, [&] { return loader.FlashErase(s); }) !=
        kEraseAccepted) {
        return {false, "Deletion failure"};
    }
    if (runProgramStep(session, image) != kProgramDone) return {false, "Writing failure"};
    // Whatever the disconnect says, the rewrite is done.
    session.step("disconnect", kDisconnected, [&] { return loader.LoaderDisconnect(s); });
    return {true, "Rewriting success!"};
}

}  // namespace quorvel::cli
