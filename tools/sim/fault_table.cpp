#include "fault_table.h"

#include <string_view>

namespace quorvel::sim {

namespace {

// Characters that the tool reads as a status; garbage must avoid them where it is judged.
constexpr std::string_view kMeaningful = "01EBCPRONGK";
constexpr size_t kRowCompareAt = 23;  // the tool compares the repeated record from here

uint8_t meaningless(std::mt19937& random) {
    for (;;) {
        const auto b = static_cast<uint8_t>(random() & 0xFF);
        if (kMeaningful.find(static_cast<char>(b)) == std::string_view::npos && b != '\r') {
            return b;
        }
    }
}

}  // namespace

FaultTable::FaultTable(std::vector<FaultRule> rules) {
    for (auto& rule : rules) entries_.push_back({std::move(rule), 0});
}

const FaultRule* FaultTable::take(const Message& m) {
    for (auto& e : entries_) {
        const bool ownCount =
            e.rule.action == FaultAction::CloseAfter || e.rule.action == FaultAction::Cut;
        if (ownCount || !faultMatches(e.rule, m)) continue;
        if (e.rule.count >= 0 && e.seen >= e.rule.count) continue;
        ++e.seen;
        return &e.rule;
    }
    return nullptr;
}

const FaultRule* FaultTable::closeDue(const Message& m) {
    for (auto& e : entries_) {
        if (e.rule.action != FaultAction::CloseAfter || !faultMatches(e.rule, m)) continue;
        if (++e.seen > e.rule.value) return &e.rule;
    }
    return nullptr;
}

const FaultRule* FaultTable::cutDue(const Message& m) {
    for (auto& e : entries_) {
        if (e.rule.action != FaultAction::Cut || e.seen > 0 || !faultMatches(e.rule, m)) continue;
        if (static_cast<size_t>(e.rule.value) >= m.bytes.size()) continue;
        ++e.seen;
        return &e.rule;
    }
    return nullptr;
}

std::vector<uint8_t> applyFault(const Reply& reply, const FaultRule& rule, std::mt19937& random) {
    std::vector<uint8_t> out = reply.bytes;
    switch (rule.action) {
        case FaultAction::Silent:
            out.clear();
            break;
        case FaultAction::Short:
            if (!out.empty()) out.pop_back();
            break;
        case FaultAction::Status:
            for (size_t i = 0; i < rule.status.size() && i < reply.statusLength; ++i) {
                out[reply.statusAt + i] = static_cast<uint8_t>(rule.status[i]);
            }
            break;
        case FaultAction::Garbage:
            for (auto& b : out) b = static_cast<uint8_t>(random() & 0xFF);
            for (size_t i = 0; i < reply.statusLength; ++i) {
                out[reply.statusAt + i] = meaningless(random);
            }
            if (reply.statusLength == 2 && reply.statusAt >= 2) out[reply.statusAt - 2] = ' ';
            if (reply.statusLength == 0 && out.size() > kRowCompareAt) {
                out[kRowCompareAt] = static_cast<uint8_t>(~reply.bytes[kRowCompareAt]);
            }
            break;
        case FaultAction::Mismatch:
            if (out.size() > kRowCompareAt + 2) out[kRowCompareAt + 2] ^= 0xFF;
            break;
        case FaultAction::CloseAfter:
        case FaultAction::Cut:
        case FaultAction::Slow:
        case FaultAction::Late:
        case FaultAction::Tail:
            break;
    }
    return out;
}

}  // namespace quorvel::sim
