#pragma once
// The rewrite of one device, as the window's big button and quorvel-flash write both run it:
// connect, erase, program, disconnect, each later step only after the one before succeeded.
// How it ended is one row of the outcome table (rewrite_outcome.h).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "exchanges.h"
#include "memory_image.h"
#include "rewrite_outcome.h"
#include "step_record.h"

namespace quorvel {

// How a rewrite ended and what the device's answers said on the way.
struct RewriteResult {
    RewriteOutcome outcome = RewriteOutcome::ConnectionFailure;
    // The steps that ran, in order; the last one failed when the rewrite failed.
    std::vector<StepRecord> steps;
    // Erase and block answers that were taken without confirming their frame, in order.
    std::vector<UnconfirmedAnswer> unconfirmed;
    bool endAnswered = false;  // the disconnect got a whole answer
    int lastBlockRow = -1;     // the block position the programming walk reached last
    // Another writer held the device: nothing was sent (ConnectionFailure); says who.
    std::string busy;
    // The connect was answered with bytes that are no loader's answer to it
    // (ExchangeDiagnostics::foreignAnswer): an earlier write may have been cut off mid-frame.
    bool connectAnswerForeign = false;
    // The connect command never went out: the port could not be opened (no device behind
    // it, busy, not permitted) or took nothing (ConnectionFailure).
    bool nothingSent = false;
};

// What the caller adds around the exchanges. Every member may be left empty.
struct RewriteHooks {
    // The settings for the next exchange (the window reads its controls afresh each time).
    std::function<ExchangeSettings()> settings;
    // Each step as it starts and once it has ended.
    StepWatch watch;
    // Called once the loader is connected, before the erase (the window shows its bar).
    std::function<void()> connected;
    // The walk's progress while the blocks go out.
    ProgressCallback progress;
    // A stop was asked for (Ctrl-C, the window closing): nothing more is sent.
    std::function<bool()> stopRequested;
    // The step that just ended was cut short by that stop rather than failing on its own (a
    // step that stopped before sending more says so itself).
    std::function<bool()> stepStopped;
};

// The device is held (Exchanges::holdDevice) from before the connect until after the disconnect.
RewriteResult RunRewrite(Exchanges& link, const MemoryImage& image, const RewriteHooks& hooks);

}  // namespace quorvel
