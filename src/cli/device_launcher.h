#pragma once
// The device commands live in a second program, quorvel-flash-device, installed beside
// quorvel-flash: it needs Qt (serial port, event loop), and loading Qt would slow down the
// start of every image command. quorvel-flash hands a device command over to it unchanged.

#include <cstdio>

namespace quorvel::cli {

inline constexpr const char* kDeviceProgram = "quorvel-flash-device";

// Runs quorvel-flash-device with the same arguments and returns its exit code; on POSIX systems
// the process is replaced and this returns only when the program cannot be started.
int launchDeviceCommand(char** argv, std::FILE* err);

}  // namespace quorvel::cli
