#include "write_consent.h"

#include <cctype>

#include "block_walk.h"
#include "device_options.h"
#include "json_run.h"
#include "port_description.h"
#include "port_mapping.h"
#include "range_checksum.h"
#include "terminal.h"
#include "usage.h"

namespace quorvel::cli {
namespace {

bool agreed(std::FILE* in) {
    char answer[64] = {};
    if (std::fgets(answer, sizeof answer, in) == nullptr) return false;
    std::string word;
    for (const char* p = answer; *p != '\0' && *p != '\n' && *p != '\r'; ++p) {
        word += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    }
    return word == "ok" || word == "y" || word == "yes";
}

}  // namespace

bool writesFlash(const std::string& command) {
    return command == "write" || command == "program" || command == "row-write";
}

std::optional<int> obtainConsent(const CliOptions& options, const MemoryImage& image,
                                 const std::vector<ExchangeSettings>& devices, std::FILE* in,
                                 std::FILE* out, std::FILE* err) {
    if (!writesFlash(options.command) || options.yes || options.dryRun) return std::nullopt;
    if (!isTerminal(in)) return usageError(err, "pass --yes to write without a confirmation");
    // The question goes where the progress goes: standard output carries only results.
    out = err;
    // The warning as the window shows it, asked once however many devices are written.
    std::fprintf(out,
                 "Rewriting of software\n"
                 "Please never turn off power while rewriting.\n"
                 "Click the OK button to begin rewriting.\n");
    std::fprintf(out, "File: %s\n", options.args.at(0).c_str());
    std::fprintf(out, "CHECK SUM C000-FFFF: %s\n",
                 RangeChecksum(image, "C000", "FFFF").text.c_str());
    if (options.command == "row-write") {
        int rows = 0;
        for (int row = kFirstRow; row <= kLastRow; ++row) rows += image.rowFlagged(row) ? 1 : 0;
        std::fprintf(out, "Rows to send: %d\n", rows);
    } else {
        std::fprintf(out, "Blocks to send: %d of %d\n", countBlocksToSend(image), kBlockPositions);
    }
    if (devices.size() > 1) {
        std::string ports;
        for (const ExchangeSettings& s : devices)
            ports += (ports.empty() ? "" : ", ") + portName(s);
        std::fprintf(out, "%zu devices at once: %s\n", devices.size(), ports.c_str());
    }
    for (const ExchangeSettings& s : devices) {
        std::fprintf(out, "Port: %s\n", describePort(s).c_str());
    }
    std::fprintf(out, "Type OK (or y) to begin, anything else cancels: ");
    std::fflush(out);
    if (agreed(in)) return std::nullopt;
    std::fprintf(err, "quorvel-flash: cancelled: nothing was sent\n");
    if (jsonRun()) {
        RunReport report;
        report.outcome = "cancelled";
        report.exitCode = kExitCancelled;
        report.message = "cancelled: nothing was sent";
        report.image = imageFacts(options.args.at(0), image);
        printRun(stdout, report);
    }
    return kExitCancelled;
}

}  // namespace quorvel::cli
