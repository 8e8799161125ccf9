#include "device_commands.h"

#include <QCoreApplication>
#include <cctype>
#include <optional>
#include <string_view>
#include <vector>

#include "device_command_table.h"
#include "device_options.h"
#include "device_session.h"
#include "image_checks.h"
#include "image_loader.h"
#include "loader.h"
#include "multi_write.h"
#include "ports_command.h"
#include "terminal.h"
#include "text_commands.h"
#include "usage.h"
#include "write_sequence.h"

namespace quorvel::cli {
namespace {

constexpr int kRowsPerLine = 64;  // the row walk prints one line per 1 KiB in line mode

// The rewrite's warning, as the window shows it, asked once however many devices are
// written; true when the user agrees.
bool confirmRewrite(std::FILE* in, std::FILE* out, const std::vector<ExchangeSettings>& devices) {
    std::fprintf(out,
                 "Rewriting of software\n"
                 "Please never turn off power while rewriting.\n"
                 "Click the OK button to begin rewriting.\n");
    if (devices.size() > 1) {
        std::string ports;
        for (const ExchangeSettings& s : devices)
            ports += (ports.empty() ? "" : ", ") + portName(s);
        std::fprintf(out, "%zu devices at once: %s\n", devices.size(), ports.c_str());
    }
    std::fprintf(out, "Type OK (or y) to begin, anything else cancels: ");
    std::fflush(out);
    char answer[64] = {};
    if (std::fgets(answer, sizeof answer, in) == nullptr) return false;
    std::string word;
    for (const char* p = answer; *p != '\0' && *p != '\n' && *p != '\r'; ++p) {
        word += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    }
    return word == "ok" || word == "y" || word == "yes";
}

int runSingle(DeviceSession& session, const std::string& command, const MemoryImage& image) {
    Loader& loader = session.loader();
    const ExchangeSettings& s = session.settings();
    int16_t status = 0;
    bool ok = false;
    if (command == "connect") {
        ok = session.step(command, kConnected, [&] { return loader.LoaderConnect(s); }) ==
             kConnected;
    } else if (command == "erase") {
        ok = session.step(command, kEraseAccepted, [&] { return loader.FlashErase(s); }) ==
             kEraseAccepted;
    } else if (command == "program") {
        ok = runProgramStep(session, image) == kProgramDone;
    } else if (command == "disconnect") {
        ok = session.step(command, kDisconnected, [&] { return loader.LoaderDisconnect(s); }) ==
             kDisconnected;
    } else if (command == "text-erase" || command == "text-end") {
        const std::string_view word = command == "text-erase" ? "ERASE" : "END";
        ok = session.step(command, kProgramDone, [&] { return loader.TextCommand(s, word); }) ==
             kProgramDone;
    } else if (command == "row-write") {
        ProgressDisplay bar = session.progress("row-write", kRowCount, kRowsPerLine);
        const ProgressCallback onProgress = [&](const std::string& address, bool) {
            bar.advance(address);
        };
        status = session.step(command, kProgramDone, [&] {
            const int16_t r = loader.RowWrite(s, image, onProgress);
            bar.finish();
            return r;
        });
        ok = status == kProgramDone;
    } else if (command == "pin") {
        status = session.step(command, 0, [&] { return loader.PortCommand(s); });
        const std::string text = portResultText(status);
        // Every answer the panel can name is a good exchange, "NG" included.
        return session.finish(text != "???", "", text);
    }
    return session.finish(ok, "");
}

}  // namespace

int runDeviceCommand(const CliOptions& options, std::FILE* in, std::FILE* out, std::FILE* err) {
    const DeviceCommandInfo* info = findDeviceCommand(options.command);
    if (info == nullptr) return usageError(err, "unknown command '" + options.command + "'");
    const size_t wanted = info->takesFile ? 1 : 0;
    if (options.args.size() != wanted) {
        return usageError(err, std::string(options.command) +
                                   (info->takesFile ? " takes one FILE" : " takes no FILE"));
    }
    if (options.command == "ports") return runPorts(out);
    std::string problem;
    const std::vector<ExchangeSettings> devices = exchangeSettingsForEach(options, problem);
    if (devices.empty()) return usageError(err, problem);

    MemoryImage image;
    if (info->takesFile) {
        const LoadResult loaded = LoadImageFile(options.args[0], image);
        if (!loaded.ok()) {
            std::fprintf(err, "%s\n", loaded.message().c_str());
            return kExitFileError;
        }
    }
    if (options.command == "write" || options.command == "program") {
        warnAboutGapData(options.args[0], image, err);
        // Refused before any port is opened: write would erase the device and send nothing
        // after it, program would send nothing and still report success.
        if (!checkDataToWrite(image, err)) return kExitFileError;
    }
    if (options.command == "write" && !options.yes && isTerminal(in) &&
        !confirmRewrite(in, out, devices)) {
        std::fprintf(err, "quorvel-flash: rewrite cancelled; nothing was sent\n");
        return kExitDeviceFailure;
    }

    // The reply waits run a Qt event loop.
    static int argc = 1;
    static char name[] = "quorvel-flash";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    if (devices.size() > 1) return runMultiWrite(options, devices, image, out, err);
    DeviceSession session(options, devices.front(), out, err);
    if (!session.openLog(options.logFile)) return kExitFileError;
    if (options.command == "write") {
        const WriteOutcome outcome = runWriteSequence(session, image);
        return session.finish(outcome.ok, outcome.message);
    }
    return runSingle(session, options.command, image);
}

}  // namespace quorvel::cli
