#pragma once
// The window's Loader as the commands call it.

#include "exchanges.h"
#include "loader.h"
#include "port_description.h"

namespace quorvel {

class LoaderExchanges : public Exchanges {
  public:
    explicit LoaderExchanges(Loader& loader) : loader_(loader) {}

    int16_t LoaderConnect(const ExchangeSettings& s) override { return loader_.LoaderConnect(s); }
    int16_t PortCommand(const ExchangeSettings& s) override { return loader_.PortCommand(s); }
    int16_t FlashErase(const ExchangeSettings& s) override { return loader_.FlashErase(s); }
    int16_t FlashProgram(const ExchangeSettings& s, const MemoryImage& image,
                         const ProgressCallback& progress) override {
        return loader_.FlashProgram(s, image, progress);
    }
    int16_t LoaderDisconnect(const ExchangeSettings& s) override {
        return loader_.LoaderDisconnect(s);
    }
    int16_t TextCommand(const ExchangeSettings& s, std::string_view word) override {
        return loader_.TextCommand(s, word);
    }
    int16_t RowWrite(const ExchangeSettings& s, const MemoryImage& image,
                     const ProgressCallback& progress) override {
        return loader_.RowWrite(s, image, progress);
    }
    std::vector<UnconfirmedAnswer> answersNotConfirmed() const override {
        return loader_.answersNotConfirmed();
    }
    std::vector<int> answersNotEchoed() const override { return loader_.answersNotEchoed(); }
    std::string portFailureText() const override { return loader_.portFailureText(); }
    ExchangeDiagnostics lastDiagnostics() const override { return loader_.lastDiagnostics(); }
    std::string portDescription(const ExchangeSettings& s) const override {
        return describePort(s);
    }
    bool hasDevice(const ExchangeSettings& s) const override { return deviceIsThere(s); }
    std::string holdDevice(const ExchangeSettings& s) override { return loader_.holdDevice(s); }
    void releaseDevice() override { loader_.releaseDevice(); }
    bool busy() const override { return loader_.busy(); }
    void stopWhen(std::function<bool()> source) override { loader_.stopWhen(std::move(source)); }
    void watchAttempts(AttemptCallback watcher) override {
        loader_.watchAttempts(std::move(watcher));
    }

  private:
    Loader& loader_;
};

}  // namespace quorvel
