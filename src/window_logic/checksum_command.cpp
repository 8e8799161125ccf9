#include "checksum_command.h"

#include "range_checksum.h"

namespace quorvel {

void ChecksumCommand::cmdCheckSum_Click() {
    const ChecksumResult result = RangeChecksum(context_.image, context_.panel.checksumStartText(),
                                                context_.panel.checksumStopText());
    if (result.ok) {
        context_.ask(
            {"CHECK SUM", result.text, PromptButtons::Ok, PromptIcon::None, PromptAnswer::Ok});
    } else {
        context_.ask({"CHECK SUM", result.error, PromptButtons::Ok, PromptIcon::Exclamation,
                      PromptAnswer::Ok});
    }
}

}  // namespace quorvel
