#include "command_fakes.h"

#include <QStringList>

#include "port_mapping.h"

namespace quorvel::test {

void FakePanel::setProgressValue(int value) {
    if (value < 0 || value > kProgressMaximum) progressOutOfRange = true;
    progress = value;
}

void FakePanel::fillComList(const std::vector<std::string>& entries) {
    comList.insert(comList.end(), entries.begin(), entries.end());
}

bool FakePanel::isEnabled(ControlId id) const {
    const auto it = disabled.find(id);
    return it == disabled.end() || !it->second;
}

bool FakePanel::restored() const {
    for (const auto& [id, off] : disabled) {
        if (off) return false;
    }
    return !locked && !busy && !progressVisible && !progressOutOfRange;
}

PromptAnswer ScriptedPrompt::show(const PromptBox& box) {
    shown.push_back({box, panel_.progressVisible, panel_.progress, panel_.busy});
    if (answers.empty())
        return box.buttons == PromptButtons::YesNo ? PromptAnswer::Yes : PromptAnswer::Ok;
    const PromptAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

int16_t FakeExchanges::run(const std::string& name, const ExchangeSettings& settings,
                           std::string_view word) {
    calls.push_back({name, settings, std::string(word)});
    inside_ = true;
    if (during) during(name);
    inside_ = false;
    const auto it = status.find(name);
    return it == status.end() ? int16_t{0} : it->second;
}

int16_t FakeExchanges::LoaderConnect(const ExchangeSettings& settings) {
    return run("connect", settings);
}
int16_t FakeExchanges::PortCommand(const ExchangeSettings& settings) {
    return run("port", settings);
}
int16_t FakeExchanges::FlashErase(const ExchangeSettings& settings) {
    return run("erase", settings);
}
int16_t FakeExchanges::LoaderDisconnect(const ExchangeSettings& settings) {
    return run("disconnect", settings);
}
int16_t FakeExchanges::TextCommand(const ExchangeSettings& settings, std::string_view word) {
    return run("text", settings, word);
}

int16_t FakeExchanges::FlashProgram(const ExchangeSettings& settings, const MemoryImage&,
                                    const ProgressCallback& progress) {
    for (int i = 0; i < programSteps; ++i) progress(1024 + 64 * i, true);
    return run("program", settings);
}

int16_t FakeExchanges::RowWrite(const ExchangeSettings& settings, const MemoryImage&,
                                const ProgressCallback& progress) {
    progress(1024, false);
    return run("row", settings);
}

QString FakeExchanges::callNames() const {
    QStringList names;
    for (const ExchangeCall& call : calls) names << q(call.name);
    return names.join(',');
}

MemoryImage imageWithData() {
    MemoryImage image;
    image.ClearImage();
    image.setValue(1024, 0, 0x12);
    image.flagRow(1024);
    return image;
}

QString CommandRig::boxes() const {
    QStringList out;
    // Each text up to the facts a blank line sets off under it (the port, the file, the time).
    for (const ShownBox& s : prompt.shown) {
        out << q(s.box.title) + "/" + q(s.box.text).section("\r\n\r\n", 0, 0);
    }
    return out.join('|');
}

std::string FakeExchanges::holdDevice(const ExchangeSettings& settings) {
    return hold_.take(settings) ? std::string() : hold_.refusal();
}

}  // namespace quorvel::test
