#pragma once
// How the rewrite of one device of several ended.

#include <QJsonObject>
#include <cstdint>
#include <string>
#include <vector>

#include "rewrite_flow.h"

namespace quorvel::cli {

struct DeviceResult {
    std::string port;  // as named on the command line ("COM2", "/dev/ttyUSB1")
    RewriteOutcome outcome = RewriteOutcome::ConnectionFailure;
    bool ok = false;           // the write went through: success or unconfirmed
    bool interrupted = false;  // stopped on request; diagnosis says where
    std::string message;       // "Rewriting success!", "Deletion failure", "Interrupted", ...
    std::string failedStep;    // empty on success
    int16_t failedStatus = 0;
    double ms = 0;
    std::vector<std::string> diagnosis;  // what the failed step saw (see diagnosis.h), or
                                         // where an interrupted write stopped
    QJsonObject json;                    // the device's JSON object
    std::string warning;                 // answers that did not repeat their frames
    std::vector<std::string> warnings;   // unconfirmed answers, the end unanswered
    std::string recordFailure;           // why its record line could not be added
};

}  // namespace quorvel::cli
