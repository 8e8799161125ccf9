#pragma once
// SHA-256 of a byte string, as lower-case hexadecimal: how a firmware file is identified in
// the JSON report and the records, so that a record shows exactly which file went into a device.

#include <string>
#include <string_view>

namespace quorvel {

std::string sha256Hex(std::string_view bytes);

}  // namespace quorvel
