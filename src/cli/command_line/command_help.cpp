#include "command_help.h"

#include <algorithm>
#include <cctype>

#include "command_table.h"
#include "environment_table.h"
#include "text_out.h"

namespace quorvel::cli {
namespace {

constexpr size_t kWidth = 80;       // the terminal's columns the help is laid out for
constexpr size_t kTextColumn = 28;  // where the text of a command or option begins
constexpr size_t kCodeColumn = 7;   // where the meaning of an exit code begins

// `text` filled into lines of at most kWidth columns that begin at `column`; the first line's
// start is already written.
std::string filled(std::string_view text, size_t column) {
    std::string lines;
    size_t width = column;  // of the line so far
    for (size_t at = 0; at < text.size();) {
        const std::string_view word = text.substr(at, text.find(' ', at) - at);
        at += word.size() + 1;
        if (width > column) {
            const bool full = width + 1 + word.size() > kWidth;
            lines += full ? "\n" + std::string(column, ' ') : " ";
            width = full ? column : width + 1;
        }
        lines += word;
        width += word.size();
    }
    return lines + "\n";
}

// "  TERM      text...": the text at `column`, or under the term when the term reaches it.
std::string entry(const std::string& term, std::string_view text, size_t column) {
    const std::string head = "  " + term;
    const size_t gap = head.size() < column ? column - head.size() : 0;
    return head + (gap > 0 ? "" : "\n") + std::string(gap > 0 ? gap : column, ' ') +
           filled(text, column);
}

std::string optionEntry(const OptionEntry& o, std::string_view text) {
    std::string term = o.shortName != '\0' ? std::string("-") + o.shortName + ", " : "";
    term += std::string(o.longName) + (o.takesValue() ? " " + o.argumentName() : "");
    return entry(term, text, kTextColumn);
}

// The exit codes of `command`, or all of them.
std::string exitCodes(const Command* command) {
    std::string text = "\nExit codes:\n";
    for (const ExitCodeEntry& e : kExitCodes) {
        if (!command || command->mayEndWith(e.code)) {
            text += entry(std::to_string(e.code), e.meaning, kCodeColumn);
        }
    }
    return text;
}

std::string overview() {
    std::string text = std::string(kUsageLine) + "\n\n";
    text += filled(
        "Reads Quorvel firmware images (Motorola S-record, or Intel HEX when the file name ends in "
        ".hex) the way Quorvel Software Writer does, and writes them to the device over a serial "
        "port. Device commands name the port they use and the device behind it, then print each "
        "step and the progress on standard error and the outcome on standard output; when a step "
        "fails, they say what they saw.",
        0);
    text += "\nCommands:\n";
    for (const Command& c : commandTable()) {
        const std::string arguments = c.arguments.empty() ? "" : " " + std::string(c.arguments);
        text += entry(std::string(c.name) + arguments, c.summary, kTextColumn);
    }
    text += "\n" + filled(
                       "Options (an option's value may also follow \"=\", as in --port=COM2; "
                       "\"--\" ends the options, so that a FILE may begin with \"-\"; short "
                       "options may be bundled, as in -qy or -yp COM2; each command takes only "
                       "the options its help lists):",
                       0);
    for (const OptionEntry& o : optionTable()) text += optionEntry(o, optionHelp(o));
    for (const auto& [heading, table] :
         {std::pair{"Environment", environmentTable()}, {"Files", filesTable()}}) {
        text += "\n" + std::string(heading) + ":\n";
        for (const EnvironmentEntry& e : table)
            text += entry(std::string(e.name), e.meaning, kTextColumn);
    }
    return text + exitCodes(nullptr);
}

std::string commandHelp(const Command& c) {
    std::string text = "usage: quorvel-flash " + std::string(c.name);
    if (c.options != 0) text += " [OPTIONS]";
    if (!c.arguments.empty()) text += " " + std::string(c.arguments);
    const std::string details = c.details.empty() ? "" : " " + std::string(c.details);
    text += "\n\n" + filled(sentence(c.summary) + details, 0);
    if (c.options != 0) text += "\nOptions:\n";
    for (const OptionEntry& o : optionTable()) {
        if (c.options & o.option) text += optionEntry(o, o.help);
    }
    return text + exitCodes(&c) + "\nExample:\n  " + std::string(c.example) + "\n";
}

}  // namespace

std::string sentence(std::string_view phrase) {
    std::string text(phrase);
    if (!text.empty())
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text + ".";
}

std::string optionHelp(const OptionEntry& option) {
    std::string takers;
    for (const Command& c : commandTable()) {
        if (c.options & option.option) takers += (takers.empty() ? "" : " ") + std::string(c.name);
    }
    // Each command's help lists its own options; in the overview and the man page, an option
    // that only one to three commands take says which.
    if (takers.empty() || std::ranges::count(takers, ' ') > 2) return std::string(option.help);
    return std::string(option.help) + "; for " + spoken(takers, "and");
}

CommandResult runHelp(const CliOptions& options, std::FILE*, std::FILE* out, std::FILE*) {
    // COMMAND --help asks about COMMAND; the help command about its argument, or all.
    const std::string topic = options.help           ? options.command
                              : options.args.empty() ? ""
                                                     : options.args[0];
    const Command* command = findCommand(topic);
    if (!topic.empty() && command == nullptr) {
        return usageProblem("unknown command '" + topic + "'");
    }
    writeText(out, command ? commandHelp(*command) : overview());
    return {};
}

}  // namespace quorvel::cli
