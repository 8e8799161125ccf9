#include "image_load_report.h"

#include "block_walk.h"
#include "image_identity.h"
#include "load_failure_lines.h"
#include "rewrite_confirmation.h"

namespace quorvel {

std::optional<std::vector<std::string>> LoadImageWithReport(CommandContext& context,
                                                            const std::string& path) {
    context.panel.setBusyPointer(true);
    LoadResult result = LoadImageWithFacts(path, context.image, context.imageFacts);
    if (result.ok()) {
        // Data that no write sends, beside data that it does (a file with nothing but such data
        // is told of as one with nothing to write).
        if (gapHoldsData(context.image) && HasDataToWrite(context.image, WriteWalk::Blocks)) {
            result.warnings.push_back(GapDataWarning(path));
        }
        return std::move(result.warnings);
    }
    const PromptIcon icon = result.kind == LoadResult::Kind::LineRejected ? PromptIcon::Exclamation
                                                                          : PromptIcon::Critical;
    // Under the report's first line: the file and why it could not be read (or what is wrong
    // with the refused line), then which image the window still holds.
    std::vector<std::string> lines = loadFailureLines(path, result);
    lines.push_back(context.imageFacts.path.empty()
                        ? "No firmware image is loaded: open one with ファイル → 開く."
                        : "The image loaded before stays in use: " + context.imageFileName() + ".");
    context.ask({result.title(), BoxText(result.message(), lines), PromptButtons::Ok, icon});
    context.panel.setBusyPointer(false);
    return std::nullopt;
}

void ShowLoadWarnings(CommandContext& context, const std::vector<std::string>& warnings) {
    for (const std::string& warning : warnings) {
        context.ask({"Warning", warning, PromptButtons::Ok, PromptIcon::Exclamation});
    }
}

}  // namespace quorvel
