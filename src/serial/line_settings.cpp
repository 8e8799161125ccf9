#include "line_settings.h"

namespace quorvel {

std::string LineSettings::text() const {
    return std::to_string(baudRate) + ',' + parity + ',' + std::to_string(dataBits) + ',' +
           std::to_string(stopBits);
}

}  // namespace quorvel
