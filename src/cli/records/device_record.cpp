#include "device_record.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "json_run.h"
#include "json_text.h"

namespace quorvel::cli {

std::string recordLine(const DeviceRecord& r) {
    std::string diagnosis;
    for (const std::string& line : r.diagnosis) {
        diagnosis += (diagnosis.empty() ? "" : ",") + jsonString(line);
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", r.seconds);
    return "{\"started\":" + jsonString(r.started) + ",\"ended\":" + jsonString(r.ended) +
           ",\"tool_version\":" + jsonString(r.toolVersion) + ",\"host\":" + jsonString(r.host) +
           ",\"port\":" + jsonString(r.port) + ",\"device\":" + jsonOrNull(r.device) +
           ",\"usb_serial\":" + jsonOrNull(r.usbSerial) + ",\"image\":" + jsonString(r.image) +
           ",\"sha256\":" + jsonString(r.sha256) + ",\"checksum\":" + jsonString(r.checksum) +
           ",\"outcome\":" + jsonString(r.outcome) +
           ",\"failed_step\":" + jsonOrNull(r.failedStep) + ",\"diagnosis\":[" + diagnosis +
           "],\"blocks_written\":" + std::to_string(r.blocksWritten) + ",\"seconds\":" + seconds +
           "}";
}

std::string hostName() {
#ifdef _WIN32
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    if (!GetComputerNameA(name, &size)) return {};
#else
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
#endif
    return name;
}

}  // namespace quorvel::cli
