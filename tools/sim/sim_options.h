#pragma once
// Command line of quorvel-loader-sim.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "fault_rule.h"

namespace quorvel::sim {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 64;

struct SimOptions {
    bool help = false;
    bool version = false;
    bool pace = false;
    size_t packetBytes = 0;  // --packets SIZE[:MS]
    long packetGapMs = 1;
    std::string link;
    std::string log;
    std::string dump;
    std::vector<FaultRule> faults;
    std::vector<int> inputLowPins;
};

// Parses the arguments after the program name; on failure says why in `error`.
std::optional<SimOptions> parseSimOptions(const std::vector<std::string>& args, std::string& error);
void printSimHelp(std::FILE* out);

}  // namespace quorvel::sim
