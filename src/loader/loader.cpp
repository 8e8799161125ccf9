#include "loader.h"

#include "loader_state.h"
#include "port_description.h"
#include "serial_port_transport.h"

namespace quorvel {

Loader::Loader() : Loader(std::make_unique<SerialPortTransport>()) {}

Loader::Loader(std::unique_ptr<Transport> transport)
    : d(std::make_unique<LoaderState>(std::move(transport))) {}

Loader::~Loader() = default;

std::string Loader::holdDevice(const ExchangeSettings& settings) {
    return d->link.holdDevice(settings);
}

void Loader::releaseDevice() {
    d->link.releaseDevice();
}

std::string Loader::portDescription(const ExchangeSettings& settings) const {
    return describePort(settings);
}

bool Loader::hasDevice(const ExchangeSettings& settings) const {
    return deviceIsThere(settings);
}

bool Loader::busy() const {
    return d->busy;
}

void Loader::stopWhen(std::function<bool()> source) {
    d->stopSource = std::move(source);
}

void Loader::abortWaitsWhen(std::function<bool()> source) {
    d->link.abortWaitsWhen(std::move(source));
}

void Loader::watchAttempts(AttemptCallback watcher) {
    d->attemptWatcher = std::move(watcher);
}

bool Loader::stopRequested() const {
    return d->stopRequested();
}

const std::vector<uint8_t>& Loader::bytTxBuf() const {
    return d->link.bytTxBuf;
}

const std::vector<uint8_t>& Loader::bytRxBuf() const {
    return d->link.bytRxBuf;
}

const std::vector<uint8_t>& Loader::bytLineBuf() const {
    return d->bytLineBuf;
}

std::string Loader::portFailureText() const {
    return d->failure;
}

const ExchangeDiagnostics& Loader::lastDiagnostics() const {
    return d->diagnostics;
}

const std::vector<UnconfirmedAnswer>& Loader::answersNotConfirmed() const {
    return d->unconfirmed;
}

}  // namespace quorvel
