// Writes the man page of quorvel-flash: the template with its lists of commands, options, exit
// codes, environment variables and files filled in from the tool's tables, so that the page says
// what --help says.
//   write_man_page TEMPLATE OUTPUT

#include <cctype>
#include <string>
#include <string_view>

#include "command_help.h"
#include "command_table.h"
#include "environment_table.h"
#include "exit_codes.h"
#include "fill_template.h"

using namespace quorvel::cli;

namespace {

// `text` as roff text: a backslash printed as such, a dash that begins a word (an option) as a
// minus sign, and a full stop or quote at the start of the line kept from being read as a request.
std::string roff(std::string_view text) {
    std::string out = text.starts_with('.') || text.starts_with('\'') ? "\\&" : "";
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-' && (i == 0 || !std::isalnum(static_cast<unsigned char>(text[i - 1])))) {
            out += "\\-";
        } else {
            out += c;
        }
    }
    return out;
}

std::string bold(std::string_view text) {
    return "\\fB" + roff(text) + "\\fR";
}

std::string italic(std::string_view text) {
    return "\\fI" + roff(text) + "\\fR";
}

// One tagged paragraph: the tag on its line, the text below it.
std::string item(const std::string& tag, const std::string& text) {
    return ".TP\n" + tag + "\n" + text + "\n";
}

std::string commands() {
    std::string page;
    for (const Command& c : commandTable()) {
        std::string tag = bold(c.name);
        if (!c.arguments.empty()) tag += " " + italic(c.arguments);
        const std::string details = c.details.empty() ? "" : " " + std::string(c.details);
        page += item(tag, roff(sentence(c.summary) + details));
    }
    return page;
}

std::string options() {
    std::string page;
    for (const OptionEntry& o : optionTable()) {
        std::string tag = o.shortName != '\0' ? bold(std::string("-") + o.shortName) + ", " : "";
        tag += bold(o.longName);
        if (o.takesValue()) tag += " " + italic(o.argumentName());
        page += item(tag, roff(sentence(optionHelp(o))));
    }
    return page;
}

std::string exitStatus() {
    std::string page;
    for (const ExitCodeEntry& e : kExitCodes) {
        page += item(bold(std::to_string(e.code)), roff(sentence(e.meaning)));
    }
    return page;
}

// The environment variables, or the files, as tagged paragraphs.
std::string entries(std::span<const EnvironmentEntry> table) {
    std::string page;
    for (const EnvironmentEntry& e : table) {
        const bool file = e.name.starts_with('/') || e.name.starts_with('~');
        page += item(file ? italic(e.name) : bold(e.name), roff(sentence(e.meaning)));
    }
    return page;
}

}  // namespace

int main(int argc, char** argv) {
    // Each list ends with a line break that the template's own line break already gives.
    const auto trimmed = [](std::string text) {
        if (text.ends_with('\n')) text.pop_back();
        return text;
    };
    return fillTemplate("write_man_page", argc, argv,
                        {
                            {"@COMMANDS@", trimmed(commands())},
                            {"@OPTIONS@", trimmed(options())},
                            {"@EXIT_STATUS@", trimmed(exitStatus())},
                            {"@ENVIRONMENT@", trimmed(entries(environmentTable()))},
                            {"@FILES@", trimmed(entries(filesTable()))},
                        });
}
