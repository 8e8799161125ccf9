#include "image_load_report.h"

#include "image_loader.h"

namespace quorvel {

bool LoadImageWithReport(CommandContext& context, const std::string& path,
                         std::vector<std::string>* warnings) {
    context.panel.setBusyPointer(true);
    LoadResult result = LoadImageFile(path, context.image);
    if (result.ok()) {
        if (warnings != nullptr) *warnings = std::move(result.warnings);
        return true;
    }
    const PromptIcon icon = result.kind == LoadResult::Kind::LineRejected ? PromptIcon::Exclamation
                                                                          : PromptIcon::Critical;
    context.ask({result.title(), result.message(), PromptButtons::Ok, icon, PromptAnswer::Ok});
    context.panel.setBusyPointer(false);
    return false;
}

void ShowLoadWarnings(CommandContext& context, const std::vector<std::string>& warnings) {
    for (const std::string& warning : warnings) {
        context.ask(
            {"Warning", warning, PromptButtons::Ok, PromptIcon::Exclamation, PromptAnswer::Ok});
    }
}

}  // namespace quorvel
