// Writes the bash completion of quorvel-flash: the template with its @...@ words filled in
// from the command table, so that the completion offers exactly the commands and options the
// tool takes.
//   write_bash_completion TEMPLATE OUTPUT

#include <string>

#include "cli_options.h"
#include "command_table.h"
#include "fill_template.h"

using namespace quorvel::cli;

namespace {

// The names (short form first) of the options in `bits` and of --help; of every option when `all`.
std::string optionWords(unsigned bits, bool all) {
    std::string words;
    for (const OptionEntry& o : optionTable()) {
        const bool everywhere = o.option == 0;
        if (!all && !(o.option & bits) && !(everywhere && o.longName == "--help")) continue;
        if (o.shortName != '\0') words += std::string(words.empty() ? "-" : " -") + o.shortName;
        words += (words.empty() ? "" : " ") + std::string(o.longName);
    }
    return words;
}

std::string commandWords() {
    std::string words;
    for (const Command& c : commandTable())
        words += (words.empty() ? "" : " ") + std::string(c.name);
    return words;
}

// "-p | --port | -[!-]*p | --loader ...": the words after which the next one is a value; a
// bundle that ends in a short option with a value counts too (-yp COM2).
std::string valueOptionPattern() {
    std::string pattern;
    for (const OptionEntry& o : optionTable()) {
        if (!o.takesValue()) continue;
        if (o.shortName != '\0') {
            pattern += std::string(pattern.empty() ? "" : " | ") + "-" + o.shortName + " | -[!-]*" +
                       o.shortName;
        }
        pattern += (pattern.empty() ? "" : " | ") + std::string(o.longName);
    }
    return pattern;
}

// A case arm for each option that takes one of a few values.
std::string valueChoices() {
    std::string arms;
    for (const OptionEntry& o : optionTable()) {
        if (o.values.empty()) continue;
        arms += "        " + std::string(o.longName) + ")\n" +
                "            COMPREPLY=($(compgen -W \"" + std::string(o.values) +
                "\" -- \"$cur\"))\n            return\n            ;;\n";
    }
    return arms;
}

// The commands whose FILE is a firmware image, or (`images` false) some other file.
std::string fileCommands(bool images) {
    std::string pattern;
    for (const Command& c : commandTable()) {
        if (c.takesFile && c.takesImage == images)
            pattern += (pattern.empty() ? "" : " | ") + std::string(c.name);
    }
    return pattern;
}

// "*.mot | *.s19 | ...": the firmware files the tool reads, as a case pattern.
std::string imageGlobs() {
    std::string pattern;
    for (std::string_view type : kImageFileTypes)
        pattern += (pattern.empty() ? "*." : " | *.") + std::string(type);
    return pattern;
}

std::string commandOptions() {
    std::string arms;
    for (const Command& c : commandTable()) {
        if (!arms.empty()) arms += "\n";
        arms += "            " + std::string(c.name) + ") options=\"" +
                optionWords(c.options, false) + "\" ;;";
    }
    return arms;
}

}  // namespace

int main(int argc, char** argv) {
    return fillTemplate("write_bash_completion", argc, argv,
                        {
                            {"@COMMANDS@", commandWords()},
                            {"@OPTIONS@", optionWords(0, true)},
                            {"@VALUE_CHOICES@", valueChoices()},
                            {"@VALUE_OPTIONS@", valueOptionPattern()},
                            {"@COMMAND_OPTIONS@", commandOptions()},
                            {"@FILE_COMMANDS@", fileCommands(false)},
                            {"@IMAGE_COMMANDS@", fileCommands(true)},
                            {"@IMAGE_GLOBS@", imageGlobs()},
                        });
}
