#include "image_load_report.h"

#include "image_loader.h"

namespace quorvel {

bool LoadImageWithReport(CommandContext& context, const std::string& path) {
    context.panel.setBusyPointer(true);
    const LoadResult result = LoadImageFile(path, context.image);
    if (result.ok()) return true;
    const PromptIcon icon = result.kind == LoadResult::Kind::LineRejected ? PromptIcon::Exclamation
                                                                          : PromptIcon::Critical;
    context.ask({result.title(), result.message(), PromptButtons::Ok, icon, PromptAnswer::Ok});
    context.panel.setBusyPointer(false);
    return false;
}

}  // namespace quorvel
