#include "device_launcher.h"

#include <string>

#include "cli_options.h"

#ifdef _WIN32
#include <process.h>
#include <windows.h>

#include <csignal>
#else
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#endif

namespace quorvel::cli {
namespace {

// The folder this program was started from, with a trailing separator; empty if unknown.
std::string ownFolder([[maybe_unused]] const char* argv0) {
#ifdef _WIN32
    char path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p(path, n);
#else
    std::string p;
    char path[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n > 0) {
        p.assign(path, static_cast<size_t>(n));
    } else if (argv0 != nullptr) {
        p = argv0;
    }
#endif
    const size_t slash = p.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
}

}  // namespace

int launchDeviceCommand(char** argv, std::FILE* err) {
    std::string program = ownFolder(argv[0]) + kDeviceProgram;
#ifdef _WIN32
    program += ".exe";
    // Ctrl-C reaches both programs: the device program stops between frames and reports,
    // so this one waits for it instead of ending first.
    std::signal(SIGINT, SIG_IGN);
    const intptr_t code = _spawnv(_P_WAIT, program.c_str(), argv);
    if (code >= 0) return static_cast<int>(code);
    const char* why = "it could not be started";
#else
    execv(program.c_str(), argv);
    const char* why = std::strerror(errno);
#endif
    std::fprintf(err, "quorvel-flash: the device commands need %s beside quorvel-flash (%s: %s)\n",
                 kDeviceProgram, program.c_str(), why);
    return kExitDeviceFailure;
}

}  // namespace quorvel::cli
