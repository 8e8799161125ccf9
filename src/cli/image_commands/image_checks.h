#pragma once
// What quorvel-flash says about an image file before using it: that it could not be loaded,
// that it may be cut short, and that it has rows at 0xE000 to 0xFFFF, which no write ever sends;
// and, for a device command, whether it may be written at all.

#include <cstdio>
#include <optional>
#include <string>

#include "cli_options.h"
#include "command_result.h"
#include "command_table.h"
#include "image_identity.h"
#include "image_loader.h"
#include "memory_image.h"

namespace quorvel::cli {

// A file that could not be loaded, as the file error: the window's report text, then the plain
// lines of loadFailureLines (load_failure_lines.h, shared with the window).
CommandResult loadProblem(const std::string& path, const LoadResult& result);

// Loads the file named by the first argument into `loaded` with its facts; the file error when
// it cannot. The load's warnings (a file without its end record) go to `warnTo` when given.
std::optional<CommandResult> loadFromArgs(const CliOptions& options, LoadedImage& loaded,
                                          std::FILE* warnTo = nullptr);

// One warning line on `err` when the image holds data at 0xE000 to 0xFFFF; nothing otherwise.
void warnAboutGapData(const std::string& path, const MemoryImage& image, std::FILE* err);

// Loads the image of a device `command` (loadFromArgs) and refuses it, before any port is
// opened, when its station profile does not approve it or it holds nothing the command sends.
std::optional<CommandResult> loadImageToSend(const Command& command, const CliOptions& options,
                                             LoadedImage& loaded, std::FILE* err);

}  // namespace quorvel::cli
