// The two exchanges that send a text command and wait for a reply of a known length: connect
// and port control. One attempt each; every failure returns 8.

#include "line_settings.h"
#include "loader.h"
#include "loader_state.h"
#include "reply_classifiers.h"
#include "text_commands.h"

namespace quorvel {

int16_t Loader::LoaderConnect(const ExchangeSettings& settings) {
    ExchangeScope scope(*d);
    if (!scope.entered()) return kConnectFailure;
    SerialLink& link = d->link;
    // Always 9600, whatever the speed option says.
    link.setLineSettings(kSettings9600);
    const ConnectCommand command = connectCommandFor(settings.loader);

    if (!link.openPort(settings) || d->stopBefore(1, 1) || !link.sendText(command.text)) {
        return kConnectFailure;
    }
    d->attempt(1, 1);
    const std::optional<int16_t> count = link.WaitForReply(command.minimumReply);
    d->judge(command.statusPosition, 1);
    if (!count) return kConnectFailure;
    d->diagnostics.foreignAnswer = !link.bytRxBuf.empty() && !answersConnectWord(link.bytRxBuf);
    int16_t status = kConnectFailure;
    if (*count >= command.minimumReply) {
        const std::optional<int16_t> code = ReplyCode(link.bytRxBuf, command.statusPosition);
        if (!code) return kConnectFailure;
        if (*code == kConnected || *code == kConnectedZero) status = *code;
    }
    return status;
}

int16_t Loader::PortCommand(const ExchangeSettings& settings) {
    ExchangeScope scope(*d);
    if (!scope.entered()) return kConnectFailure;
    SerialLink& link = d->link;
    link.setLineSettings(settingsForSpeed(settings.speed));
    const std::string command = BuildPortCommand(settings.pinText, settings.portMode);

    if (!link.openPort(settings) || d->stopBefore(1, 1) || !link.sendText(command)) {
        return kConnectFailure;
    }
    d->attempt(1, 1);
    const std::optional<int16_t> count = link.WaitForReply(kPortReplyMinimum);
    d->judge(kPortStatusPosition, kTextStatusLength);
    if (!count) return kConnectFailure;
    int16_t status = kNotRecognised;
    if (*count >= kPortReplyMinimum) {
        const std::optional<int16_t> code = ReplyText(link.bytRxBuf, kPortStatusPosition);
        if (!code) return kConnectFailure;
        status = *code;
    }
    return status;
}

}  // namespace quorvel
