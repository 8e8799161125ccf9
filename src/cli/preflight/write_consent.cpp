#include "write_consent.h"

#include <cctype>
#include <cstring>

#include "rewrite_confirmation.h"
#include "terminal.h"
#include "text_out.h"

namespace quorvel::cli {
namespace {

bool agreed(std::FILE* in) {
    char answer[64] = {};
    if (std::fgets(answer, sizeof answer, in) == nullptr) return false;
    std::string word(answer, std::strcspn(answer, "\r\n"));
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return word == "ok" || word == "y" || word == "yes";
}

}  // namespace

std::optional<CommandResult> obtainConsent(const Command& command, const CliOptions& options,
                                           const LoadedImage& loaded,
                                           const std::vector<DevicePort>& devices, std::FILE* in,
                                           std::FILE* err) {
    if (!command.writesFlash() || options.yes || options.dryRun) return std::nullopt;
    if (!isTerminal(in)) return usageProblem("pass --yes to write without a confirmation");
    // The question goes where the progress goes: standard output carries only results. The
    // warning as the window shows it, asked once however many devices are written.
    // Its warning line only: the line after it asks for a click on the box's OK button, which a
    // terminal has not; the question at the end asks in a terminal's words instead.
    std::vector<std::string> question{kRewriteConfirmTitle, kRewriteConfirmLines[0]};
    const WriteWalk walk =
        command.work.writes == FlashWrite::Rows ? WriteWalk::Rows : WriteWalk::Blocks;
    for (std::string& line :
         RewriteFactLines(options.args.at(0), loaded.facts, loaded.image, walk)) {
        question.push_back(std::move(line));
    }
    // Asked again here, next to the blocks it counts: a file cut short still loads, and its
    // check sum may well be the whole file's.
    for (const std::string& warning : loaded.facts.warnings)
        question.push_back("Warning: " + warning);
    if (devices.size() > 1) {
        std::string ports;
        for (const DevicePort& p : devices) ports += (ports.empty() ? "" : ", ") + p.name;
        question.push_back(std::to_string(devices.size()) + " devices at once: " + ports);
    }
    for (const DevicePort& p : devices) question.push_back("Port: " + p.description);
    writeLines(err, question);
    writeShown(err, kTerminalConsentQuestion);
    if (agreed(in)) return std::nullopt;
    return cancelled("cancelled: nothing was sent", loaded.facts);
}

}  // namespace quorvel::cli
