#include "write_guard.h"

#include "rewrite_confirmation.h"

namespace quorvel {

namespace {

// The block walk skips 0xE000 to 0xFFFF, so a file whose data all lie there loads without an
// error and still gives the write nothing to send.
constexpr const char* kOnlyGapData = ": nothing to write outside 0xE000–0xFFFF";

// Why the walk has nothing to send, as the refusal says it.
std::string NothingToWriteText(const CommandContext& context, WriteWalk walk) {
    if (context.imageFacts.path.empty()) return "No firmware image is loaded.";
    if (walk == WriteWalk::Blocks) return context.imageFileName() + kOnlyGapData;
    return context.imageFileName() + ": nothing to write, the file holds no data";
}

}  // namespace

bool ImageReadyToWrite(CommandContext& context, WriteWalk walk) {
    if (HasDataToWrite(context.image, walk)) return true;
    context.ask(
        {"ERROR", NothingToWriteText(context, walk), PromptButtons::Ok, PromptIcon::Exclamation});
    return false;
}

void WarnNothingToWrite(CommandContext& context) {
    context.ask({"Warning",
                 NothingToWriteText(context, WriteWalk::Blocks) +
                     "\r\nThe write would send nothing: open the device's firmware file.",
                 PromptButtons::Ok, PromptIcon::Exclamation});
}

bool WriteConfirmed(CommandContext& context, const ResultWords& refusal) {
    const ExchangeSettings settings = context.settings();
    // Nothing goes to a port with nothing behind it: said now, not after the connect's wait,
    // as the command's failure with the port's words under it.
    if (!context.link.hasDevice(settings)) {
        context.ask(ResultBox(refusal, false,
                              {context.link.portDescription(settings) + ": nothing was sent.",
                               "Plug the adapter in, or pick the port it is on, then press the "
                               "button again"}));
        return false;
    }
    std::string text = std::string(kRewriteConfirmLines[0]) + "\r\n" + kRewriteConfirmLines[1];
    text += "\r\n\r\nPort: " + context.link.portDescription(settings);
    if (!context.imageFacts.path.empty()) {
        for (const std::string& line : RewriteFactLines(context.imageFileName(), context.imageFacts,
                                                        context.image, WriteWalk::Blocks)) {
            text += "\r\n" + line;
        }
        if (gapHoldsData(context.image)) text += "\r\n" + GapDataWarning(context.imageFileName());
    }
    return context.ask({kRewriteConfirmTitle, text, PromptButtons::OkCancel,
                        PromptIcon::Exclamation, PromptAnswer::Cancel}) == PromptAnswer::Ok;
}

}  // namespace quorvel
