#pragma once
// Loads a firmware file into the window's image and reports a failure, or what the load warned
// of, in a box.

#include <optional>
#include <string>
#include <vector>

#include "command_context.h"

namespace quorvel {

// Shows the hourglass and loads the file. On failure shows "Error" / "Error Code = ..."
// (exclamation icon) or "ERROR" / "File Open Error" (critical icon), with the file, the reason
// and the image still in use on the lines under it, restores the normal pointer and returns
// none; the image is then as it was. On success notes the file as the image's
// (CommandContext::imageFacts) and returns what the load left in doubt (a file without its end
// record, data that no write sends) with the hourglass still shown: the caller restores the
// pointer once its own work is done.
std::optional<std::vector<std::string>> LoadImageWithReport(CommandContext& context,
                                                            const std::string& path);

// Each warning of a load in its own box, title "Warning", exclamation icon, OK: shown once the
// caller has done its own work and the pointer is normal again.
void ShowLoadWarnings(CommandContext& context, const std::vector<std::string>& warnings);

}  // namespace quorvel
