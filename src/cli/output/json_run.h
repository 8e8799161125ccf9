#pragma once
// The one JSON object that a run of quorvel-flash prints with --json, on success and on every
// kind of failure, with the same keys each time (docs/json.md describes them).

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <string>

#include "device_result.h"  // jsonPath, jsonMilliseconds, jsonTexts
#include "image_identity.h"
#include "json_text.h"

namespace quorvel::cli {

constexpr int kJsonSchema = 1;

struct CommandResult;

// Starts the run's clock: the report's start time and length count from here. Call first thing.
void startRunClock();

// The whole object for `result`, with the tool, its version, `command` (empty: none given) and
// the run's times.
std::string runJson(const CommandResult& result, const std::string& command);

}  // namespace quorvel::cli
