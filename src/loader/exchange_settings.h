#pragma once
// What an exchange needs to know from the operator's controls, taken once when it starts.
// The window fills it from its controls, the command-line tool from its options.

#include <cstdint>
#include <string>

#include "line_settings.h"
#include "transport.h"

namespace quorvel {

// Speed option: element index of the "9600" / "38400" / "4800" group.
enum class SpeedOption : int { Bps9600 = 0, Bps38400 = 1, Bps4800 = 2 };

// Loader generation: element index of the version group. V105 sends "QZ~FLASH",
// V106 (and the default) "QZ~FLASHU".
enum class LoaderGeneration : int { V105 = 0, V106 = 1 };

// Port-control mode: element index of the mode group; its digit is sent with the pin text.
enum class PortMode : int { OutputLow = 0, OutputHigh = 1, Input = 2, Read = 3 };

// The port (portNumber, 1 to 16, or devicePath) comes first: the serial link opens it.
struct ExchangeSettings : PortTarget {
    SpeedOption speed = SpeedOption::Bps9600;
    LoaderGeneration loader = LoaderGeneration::V106;
    std::string pinText;  // pin designation, already in the narrow character set
    PortMode portMode = PortMode::Read;
    // For loaders known to repeat each frame and answer "0": an erase or programming answer
    // counts only when it begins with the frame as sent and its answer byte is "0". Off, any
    // whole answer whose answer byte is not "E" is taken, as every loader expects.
    bool strictAnswers = false;
};

// The line settings that a speed option selects, in the order of SpeedOption.
inline constexpr LineSettings kSpeedSettings[] = {kSettings9600, kSettings38400, kSettings4800};
inline LineSettings settingsForSpeed(SpeedOption option) {
    return kSpeedSettings[static_cast<size_t>(option)];
}

}  // namespace quorvel
