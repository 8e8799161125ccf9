#pragma once
// The table that ends a write to several devices: one row per port with its outcome, the step
// that failed and the time it took, then how many devices were rewritten.

#include <string>
#include <vector>

#include "device_result.h"

namespace quorvel::cli {

std::vector<std::string> summaryTable(const std::vector<DeviceResult>& results);

}  // namespace quorvel::cli
