#pragma once
// What quorvel-flash says about an image file before using it: that it could not be loaded,
// that it may be cut short, that it has rows at 0xE000 to 0xFFFF, which no write ever sends, and
// whether a device command may send it at all.

#include <cstdio>
#include <optional>
#include <string>

#include "cli_options.h"
#include "command_result.h"
#include "command_table.h"
#include "image_identity.h"  // LoadedImage, LoadResult, MemoryImage

namespace quorvel::cli {

// A file that could not be loaded, as the file error: the window's report text, then the plain
// lines of loadFailureLines (load_failure_lines.h, shared with the window).
CommandResult loadProblem(const std::string& path, const LoadResult& result);

// Loads the file of the first argument with its facts; the file error when it cannot. The load's
// warnings (a file without its end record) go to `warnTo` when given.
std::optional<CommandResult> loadFromArgs(const CliOptions& options, LoadedImage& loaded,
                                          std::FILE* warnTo = nullptr);

// One warning line on `err` when the image holds data at 0xE000 to 0xFFFF; nothing otherwise.
void warnAboutGapData(const std::string& path, const MemoryImage& image, std::FILE* err);

// Loads a device `command`'s image, refused when its profile does not approve it or it holds
// nothing the command sends.
std::optional<CommandResult> loadImageToSend(const Command& command, const CliOptions& options,
                                             LoadedImage& loaded, std::FILE* err);

}  // namespace quorvel::cli
