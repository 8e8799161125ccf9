#pragma once
// The transcript files of a write to several devices: one per port, named after the --log
// FILE with the port inserted before the extension ("run.log" and COM2 give "run-COM2.log",
// /dev/ttyUSB0 gives "run-ttyUSB0.log", /dev/pts/3 gives "run-pts-3.log").

#include <string>
#include <vector>

namespace quorvel::cli {

// The transcript file for each of `ports`, in order; a tag that two ports share gets "-2",
// "-3"... on its later ports.
std::vector<std::string> logPathsForPorts(const std::string& file,
                                          const std::vector<std::string>& ports);

// The transcript of one device of a station: FILE with the port, the time the device's write
// began (UTC, "20261207T151200"), its number on that port and its unit id when it has one:
// "run.log" gives "run-ttyUSB0-20261207T151200-3-A1234.log".
std::string logPathForDevice(const std::string& file, const std::string& port, int number,
                             const std::string& unit);

}  // namespace quorvel::cli
