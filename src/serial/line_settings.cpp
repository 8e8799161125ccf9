#include "line_settings.h"

namespace quorvel {

std::string LineSettings::text() const {
    return std::to_string(baudRate) + ',' + parity + ',' + std::to_string(dataBits) + ',' +
           std::to_string(stopBits);
}

LineSettings settingsForSpeed(SpeedOption option) {
    switch (option) {
        case SpeedOption::Bps38400:
            return kSettings38400;
        case SpeedOption::Bps4800:
            return kSettings4800;
        case SpeedOption::Bps9600:
            break;
    }
    return kSettings9600;
}

}  // namespace quorvel
