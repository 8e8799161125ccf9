#include "serial_port_transport.h"

#include <QEventLoop>
#include <QTimer>

#include "link_timing.h"
#include "open_failure.h"
#include "port_mapping.h"

namespace quorvel {
namespace {

QSerialPort::Parity toQt(char parity) {
    if (parity == 'e') return QSerialPort::EvenParity;
    return parity == 'o' ? QSerialPort::OddParity : QSerialPort::NoParity;
}

// Errors after which the port can carry nothing more (adapter pulled, peer gone).
bool breaksThePort(QSerialPort::SerialPortError error) {
    return error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
           error == QSerialPort::WriteError;
}

}  // namespace

SerialPortTransport::SerialPortTransport() : port_(std::make_unique<QSerialPort>()) {}

SerialPortTransport::~SerialPortTransport() {
    close();
}

bool SerialPortTransport::open(const PortTarget& target) {
    failure_.clear();
    failed_ = false;
    const std::optional<std::string> device = deviceForTarget(target);
    if (!device) {
        if (target.portNumber <= 0) {
            failure_ = "cannot open the port: no port is selected (port number 0)";
        } else {
            const std::string n = std::to_string(target.portNumber);
            failure_ = "cannot open COM" + n + ": no serial device is mapped to it (connect an " +
                       "adapter, or set QUORVEL_COM" + n + " to a device path)";
        }
        return false;
    }
    // "COM1 (/dev/ttyUSB0)"; a port that is its own COM number (Windows) is named once.
    const std::string comName = targetName(target);
    name_ =
        !target.devicePath.empty() || *device == comName ? *device : comName + " (" + *device + ")";
    // One writer per device, on every exchange: nothing goes to a device another writer holds.
    if (!openHold_.take(target)) {
        failure_ = openHold_.refusal();
        return false;
    }
    port_->setPortName(QString::fromStdString(*device));
    applySettings();
    if (!port_->open(QIODevice::ReadWrite)) {
        openHold_.release();
        failure_ =
            describeOpenFailure(port_->error(), name_, *device, port_->errorString().toStdString());
        port_->clearError();
        return false;
    }
    if (!applySettings()) {
        failure_ = "cannot set the line settings of " + name_;
        port_->close();
        openHold_.release();
        return false;
    }
    // A reply counts from the moment the port was opened: whatever the line delivered while
    // nobody had it open (a late answer to an earlier exchange) is not part of it.
    port_->clear(QSerialPort::Input);
    return true;
}

void SerialPortTransport::close() {
    if (port_->isOpen()) port_->close();
    port_->clearError();
    openHold_.release();
}

std::string SerialPortTransport::holdDevice(const PortTarget& target) {
    return sequenceHold_.take(target) ? std::string() : sequenceHold_.refusal();
}

bool SerialPortTransport::isOpen() const {
    return port_->isOpen();
}

bool SerialPortTransport::setLineSettings(const LineSettings& settings) {
    settings_ = settings;
    return applySettings();
}

bool SerialPortTransport::applySettings() {
    bool ok = port_->setBaudRate(settings_.baudRate);
    ok = port_->setParity(toQt(settings_.parity)) && ok;
    ok = port_->setDataBits(static_cast<QSerialPort::DataBits>(settings_.dataBits)) && ok;
    ok =
        port_->setStopBits(settings_.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
        ok;
    ok = port_->setFlowControl(QSerialPort::NoFlowControl) && ok;
    return ok;
}

bool SerialPortTransport::write(std::span<const uint8_t> bytes) {
    if (!port_->isOpen() || failed_) return false;
    const qint64 handed = port_->write(reinterpret_cast<const char*>(bytes.data()),
                                       static_cast<qint64>(bytes.size()));
    if (handed != static_cast<qint64>(bytes.size())) {
        noteFailure(port_->error());
        return false;
    }
    // Start the transfer now rather than at the next pass of the event loop.
    port_->flush();
    if (breaksThePort(port_->error())) {
        noteFailure(port_->error());
        return false;
    }
    return true;
}

bool SerialPortTransport::waitForBytes(int64_t minimum, std::chrono::milliseconds deadline) {
    if (!port_->isOpen() || failed_) return false;
    bool aborted = false;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(port_.get(), &QSerialPort::readyRead, &loop, [&] {
        if (port_->bytesAvailable() >= minimum) loop.quit();
    });
    QObject::connect(port_.get(), &QSerialPort::errorOccurred, &loop,
                     [&](QSerialPort::SerialPortError error) {
                         if (!breaksThePort(error)) return;
                         noteFailure(error);
                         loop.quit();
                     });
    // A stop that cannot wait for the answer is looked for while the wait runs.
    QTimer abortPoll;
    if (abortSource_) {
        QObject::connect(&abortPoll, &QTimer::timeout, &loop, [&] {
            if (!abortSource_()) return;
            aborted = true;
            loop.quit();
        });
        abortPoll.start(kAbortPollInterval);
        if (abortSource_()) aborted = true;
    }
    timer.start(deadline);
    if (!aborted && port_->bytesAvailable() < minimum) loop.exec();
    // At the deadline, take in what the driver already holds, without waiting for more.
    if (!failed_ && !aborted && port_->bytesAvailable() < minimum && port_->isOpen()) {
        port_->waitForReadyRead(0);
        if (!breaksThePort(port_->error())) port_->clearError();
    }
    if (!port_->isOpen() && !aborted && !failed_) {
        failed_ = true;
        failure_ = "the connection to " + name_ + " was lost";
    }
    return !failed_ && !aborted;
}

int64_t SerialPortTransport::bytesAvailable() {
    return port_->bytesAvailable();
}

std::vector<uint8_t> SerialPortTransport::readAll() {
    const QByteArray data = port_->readAll();
    return std::vector<uint8_t>(data.begin(), data.end());
}

int64_t SerialPortTransport::discardInput() {
    if (!port_->isOpen() || failed_) return 0;
    // Take in what the driver already holds, so that it is counted and goes too.
    port_->waitForReadyRead(0);
    if (!breaksThePort(port_->error())) port_->clearError();
    return static_cast<int64_t>(port_->readAll().size());
}

std::string SerialPortTransport::failureText() const {
    return failure_;
}

void SerialPortTransport::noteFailure(QSerialPort::SerialPortError error) {
    if (failed_) return;
    failed_ = true;
    // The system's own text is often a stale errno here; say what happened instead.
    failure_ = error == QSerialPort::WriteError ? "sending on " + name_ + " failed"
                                                : "the connection to " + name_ + " was lost";
}

}  // namespace quorvel
