#include "environment_table.h"

#include <string>

#include "device_lock.h"

namespace quorvel::cli {
namespace {

constexpr EnvironmentEntry kEnvironment[] = {
    {"QUORVEL_COMn", "the device that COMn stands for, such as /dev/ttyUSB0"},
    {"XDG_STATE_HOME",
     "the folder of the spool where record lines wait that a --record database did not take "
     "(default ~/.local/state)"},
    {"XDG_DATA_HOME",
     "the folder of the window's service history, which records reads (default ~/.local/share)"},
    {"NO_COLOR", "set to anything, the station's board on a terminal is drawn without colours"},
    {"PGPASSFILE", "the password file of a --record database, in place of ~/.pgpass"},
};

}  // namespace

std::span<const EnvironmentEntry> environmentTable() {
    return kEnvironment;
}

std::span<const EnvironmentEntry> filesTable() {
    // The lock folder's entry is made from the constant the locks use, so the two never differ.
    static const std::string lockFiles = std::string(kDeviceLockFolder) + "/quorvel-flash*.lock";
    static const EnvironmentEntry files[] = {
        {"/usr/lib/quorvel/QUORVEL_140428_01_02.mot", "the default firmware image"},
        {"~/.local/share/Quorvel Software Writer/history.jsonl",
         "the window's service history: the record lines of every write from the window"},
        {"~/.local/state/quorvel/spool-*.jsonl",
         "record lines that a --record database did not take, sent to it on the next run"},
        {lockFiles, "the locks that keep a device to one writer at a time, one file per device"},
        {"~/.pgpass", "the password of a --record database whose URI names none"},
    };
    return files;
}

}  // namespace quorvel::cli
