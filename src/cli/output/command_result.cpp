#include "command_result.h"

#include "text_out.h"

namespace quorvel::cli {

void CommandResult::note(const std::string& line) {
    notes.push_back("quorvel-flash: " + line);
}

void CommandResult::endAs(OutcomeSeverity severity) {
    // Each severity's exit code, in their order: 0 success, 4 unconfirmed, 1 failure, 130
    // interrupted. The window has no exit codes: they are the command line's alone.
    constexpr ExitCode kSeverityExitCodes[kSeverities] = {kExitOk, kExitUnconfirmed,
                                                          kExitDeviceFailure, kExitInterrupted};
    exitCode = kSeverityExitCodes[static_cast<size_t>(severity)];
}

int render(const CommandResult& result, OutputForm form, const std::string& command, std::FILE* out,
           std::FILE* err) {
    writeLines(err, result.notes);
    if (form == OutputForm::Json) {
        writeLine(out, runJson(result, command));
    } else {
        writeLines(out, result.text);
    }
    return result.exitCode;
}

CommandResult usageProblem(const std::string& problem) {
    CommandResult r;
    r.exitCode = kExitUsage;
    r.error = problem;
    r.note(problem);
    r.notes.push_back(kUsageLine);
    r.notes.push_back("(quorvel-flash --help lists the commands)");
    return r;
}

CommandResult cancelled(const std::string& message, const ImageFacts& image) {
    CommandResult r;
    r.exitCode = kExitCancelled;
    r.message = message;
    r.note(message);
    r.image = image;
    return r;
}

CommandResult fileProblem(const std::string& text) {
    CommandResult r;
    r.exitCode = kExitFileError;
    r.error = text;
    r.note(text);
    return r;
}

}  // namespace quorvel::cli
