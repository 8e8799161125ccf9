#pragma once
// What a command of quorvel-flash ends with. Every command returns one; render() prints it,
// as text or as the one JSON object of --json, and gives the exit code.

#include <QJsonArray>
#include <QJsonValue>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "exit_codes.h"
#include "json_run.h"
#include "rewrite_outcome.h"

namespace quorvel::cli {

struct CommandResult {
    int exitCode = kExitOk;                  // and with it the outcome its JSON says (exit_codes.h)
    std::optional<std::string> message;      // the outcome in the window's words
    std::optional<std::string> error;        // a usage or file error
    std::optional<std::string> recordError;  // why a device's record line was lost
    QJsonValue result;                       // the command's answer; null when it has none
    std::optional<ImageFacts> image;
    QJsonArray devices;  // one object per port
    // What the text form prints on standard output, a line each.
    std::vector<std::string> text;
    // What goes to standard error in either form, a line each: warnings, what went wrong.
    std::vector<std::string> notes;

    // Adds "quorvel-flash: LINE" to the notes.
    void note(const std::string& line);
    // Ends as a device run of that severity ends: with its exit code.
    void endAs(OutcomeSeverity severity);
};

enum class OutputForm { Text, Json };

inline constexpr const char* kUsageLine = "usage: quorvel-flash COMMAND [OPTIONS] [FILE]";

// Prints the notes on `err`, then the text or the JSON object on `out`; returns the exit code.
int render(const CommandResult& result, OutputForm form, const std::string& command, std::FILE* out,
           std::FILE* err);

// A command line the tool cannot run: the problem and the usage line, exit code 64.
CommandResult usageProblem(const std::string& problem);
// Cancelled before anything was sent: `message` as the outcome and a note, exit code 3.
CommandResult cancelled(const std::string& message, const ImageFacts& image);
// A file the command needs cannot be read or written, exit code 2.
CommandResult fileProblem(const std::string& text);

}  // namespace quorvel::cli
