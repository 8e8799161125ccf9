#include "fault_rule.h"

#include <cerrno>
#include <cstdlib>

namespace quorvel::sim {

namespace {

std::optional<long> parseNumber(std::string_view text, int base) {
    if (text.empty()) return std::nullopt;
    const std::string s(text);
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(s.c_str(), &end, base);
    if (errno != 0 || end != s.c_str() + s.size() || value < 0) return std::nullopt;
    return value;
}

bool parseAction(std::string_view action, FaultRule& rule, std::string& error) {
    const size_t colon = action.find(':');
    const std::string_view name = action.substr(0, colon);
    const std::string_view arg = colon == std::string_view::npos ? "" : action.substr(colon + 1);
    const bool hasArg = colon != std::string_view::npos;
    if (name == "silent" || name == "short" || name == "garbage" || name == "mismatch") {
        if (hasArg) {
            error = "'" + std::string(name) + "' takes no value";
            return false;
        }
        rule.action = name == "silent"    ? FaultAction::Silent
                      : name == "short"   ? FaultAction::Short
                      : name == "garbage" ? FaultAction::Garbage
                                          : FaultAction::Mismatch;
        return true;
    }
    if (name == "status") {
        rule.action = FaultAction::Status;
        rule.status = std::string(arg);
        return true;
    }
    if (name == "cut") {
        const std::optional<long> n = parseNumber(arg, 10);
        if (!n || *n < 1 || *n >= long(kFrameLength)) {
            error = "'cut' needs the number of bytes heard (1 to " +
                    std::to_string(kFrameLength - 1) + ")";
            return false;
        }
        rule.action = FaultAction::Cut;
        rule.value = *n;
        return true;
    }
    if (name == "close-after" || name == "slow" || name == "late" || name == "tail") {
        const bool timed = name != "close-after";
        const long least = name == "slow" ? 1 : 0;
        const std::optional<long> n = parseNumber(arg, 10);
        if (!n || (timed && (*n < least || *n > 60000))) {
            error = "'" + std::string(name) + "' needs a number" +
                    (timed ? " of milliseconds (" + std::to_string(least) + " to 60000)" : "");
            return false;
        }
        rule.action = name == "slow"   ? FaultAction::Slow
                      : name == "late" ? FaultAction::Late
                      : name == "tail" ? FaultAction::Tail
                                       : FaultAction::CloseAfter;
        rule.value = *n;
        return true;
    }
    error = "unknown action '" + std::string(name) + "'";
    return false;
}

bool checkCombination(const FaultRule& rule, std::string& error) {
    const bool pin = rule.kind == MessageKind::Pin;
    const bool row = rule.kind == MessageKind::Row;
    if (rule.address && rule.kind != MessageKind::Program && !row) {
        error = "an @ADDRESS is only for program and row";
    } else if (rule.action == FaultAction::Status && row) {
        error = "a row record's answer has no status; use mismatch";
    } else if (rule.action == FaultAction::Status && rule.status.size() != (pin ? 2u : 1u)) {
        error = pin ? "status for pin takes two characters" : "status takes one character";
    } else if (rule.action == FaultAction::Mismatch && !row) {
        error = "mismatch is only for row";
    } else if ((rule.action == FaultAction::CloseAfter || rule.action == FaultAction::Cut) &&
               rule.count >= 0) {
        error = rule.action == FaultAction::Cut ? "count does not go with cut: it cuts one message"
                                                : "count does not go with close-after";
    } else {
        return true;
    }
    return false;
}

}  // namespace

std::optional<FaultRule> parseFault(std::string_view text, std::string& error) {
    FaultRule rule;
    rule.text = std::string(text);
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        error = "expected KIND=ACTION";
        return std::nullopt;
    }
    std::string_view target = text.substr(0, equals);
    std::string_view rest = text.substr(equals + 1);

    const size_t at = target.find('@');
    if (at != std::string_view::npos) {
        const std::optional<long> address = parseNumber(target.substr(at + 1), 0);
        if (!address || *address > 0xFFFFFF) {
            error = "bad address '" + std::string(target.substr(at + 1)) + "'";
            return std::nullopt;
        }
        rule.address = static_cast<uint32_t>(*address);
        target = target.substr(0, at);
    }
    const std::optional<MessageKind> kind = kindFromName(target);
    if (!kind || *kind == MessageKind::Frame) {
        error = "unknown kind '" + std::string(target) + "'";
        return std::nullopt;
    }
    rule.kind = *kind;

    const size_t comma = rest.find(',');
    if (comma != std::string_view::npos) {
        const std::string_view option = rest.substr(comma + 1);
        const std::optional<long> count =
            option.substr(0, 6) == "count=" ? parseNumber(option.substr(6), 10) : std::nullopt;
        if (!count || *count < 1) {
            error = "expected ,count=N (N at least 1) after the action";
            return std::nullopt;
        }
        rule.count = *count;
        rest = rest.substr(0, comma);
    }
    if (!parseAction(rest, rule, error) || !checkCombination(rule, error)) return std::nullopt;
    return rule;
}

bool faultMatches(const FaultRule& rule, const Message& m) {
    if (rule.kind != m.kind) return false;
    return !rule.address || rule.address == messageAddress(m);
}

}  // namespace quorvel::sim
