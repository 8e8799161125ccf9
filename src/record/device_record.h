#pragma once
// What a production line keeps of each device a write worked on: one JSON object a line in a
// record file (docs/record.md), built here without any device so that it can be checked alone.
// Each attempt at a device adds two lines: a started line before the first byte goes to the
// device, naming the attempt, and the final line once the write ended, carrying the same
// attempt id. A started line without its final line is a write that was cut off (the writer
// killed, a crash, a power cut): what it left on the device is unknown.

#include <optional>
#include <string>
#include <vector>

namespace quorvel {

struct DeviceRecord {
    std::string attempt;  // the attempt's id, on its started and its final line
    std::string started;  // UTC, as the JSON report gives times
    std::string ended;
    std::string toolVersion;
    std::string host;
    std::string port;                        // as named on the command line
    std::optional<std::string> unit;         // the board's unit id (--unit, a scan)
    std::optional<std::string> device;       // the device the port resolved to
    std::optional<std::string> usbSerial;    // the USB adapter's serial number
    std::string image;                       // the firmware file's path
    std::string sha256;                      // of the file's bytes
    std::string checksum;                    // CHECK SUM of C000 to FFFF
    std::string outcome;                     // success, failure, interrupted
    std::optional<std::string> failedStep;   // none on success
    std::optional<std::string> cause;        // the failed step's kind of answer (AnswerKind)
    std::vector<std::string> diagnosis;      // what the failed step saw, or where it stopped
    std::vector<std::string> warnings;       // the image's load warnings, then the write's
    int blocksWritten = 0;                   // 1 KiB blocks the device accepted
    int blocksUnconfirmed = 0;               // of those, the ones its answers did not confirm
    std::optional<std::string> deviceState;  // what the write left on the device
    double seconds = 0;                      // written in full, so a short failure is not 0
};

// A new attempt id, unique across stations and runs.
std::string newAttemptId();

// The final line as one line of JSON, without the line end; every key always, null where
// unknown. Text that is not UTF-8 (a path from an old file system) has those bytes replaced by
// U+FFFD.
std::string recordLine(const DeviceRecord& record);

// The attempt's started line: its id, when it started, the tool, the host, the port, the unit,
// the device and its adapter, and the image, as one line of JSON without the line end.
std::string startedLine(const DeviceRecord& record);

}  // namespace quorvel
