#pragma once
// The faults in force and what they do to a reply. The first rule (in command-line order)
// that matches a message and has uses left decides its fault; close-after and cut rules are
// counted on their own.

#include <cstdint>
#include <random>
#include <vector>

#include "fault_rule.h"
#include "loader_model.h"

namespace quorvel::sim {

class FaultTable {
  public:
    explicit FaultTable(std::vector<FaultRule> rules = {});

    // The reply fault for `m`, using up one of its uses; nullptr for a healthy reply.
    const FaultRule* take(const Message& m);
    // The close-after rule whose allowance `m` exceeds; nullptr while the loader goes on.
    const FaultRule* closeDue(const Message& m);
    // The cut rule that takes the end off `m`, used up by it: the first one that matches and
    // leaves part of the message unheard. nullptr when the loader hears `m` whole.
    const FaultRule* cutDue(const Message& m);

  private:
    struct Entry {
        FaultRule rule;
        long seen = 0;
    };
    std::vector<Entry> entries_;
};

// Number of pieces that a slow reply is cut into (one pause between neighbours).
constexpr size_t kSlowPieces = 8;

// The reply as the fault makes it. Silent gives nothing, short drops the last byte, status
// puts its characters at the status position, garbage gives random bytes of the right length
// whose status position holds no meaningful status (and whose echo cannot match), mismatch
// spoils the repeated row record that the tool compares. Slow leaves the bytes alone.
std::vector<uint8_t> applyFault(const Reply& reply, const FaultRule& rule, std::mt19937& random);

}  // namespace quorvel::sim
