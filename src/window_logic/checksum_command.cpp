#include "checksum_command.h"

#include "range_checksum.h"

namespace quorvel {

void ChecksumCommand::cmdCheckSum_Click() {
    const ChecksumResult result = RangeChecksum(context_.image, context_.panel.checksumStartText(),
                                                context_.panel.checksumStopText());
    context_.ask({"CHECK SUM", result.ok ? result.text : result.error, PromptButtons::Ok,
                  result.ok ? PromptIcon::None : PromptIcon::Exclamation});
}

}  // namespace quorvel
