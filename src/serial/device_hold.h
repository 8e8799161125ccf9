#pragma once
// One writer per device. Every exchange holds its device while its port is open (the serial
// link takes the hold where it opens the port), and a sequence holds it across its exchanges
// (a rewrite from its connect to its disconnect, a station from the moment a device appears
// until it is removed), so that a second writer of any kind (another quorvel-flash, the
// window, a bench step), aimed at the same device under another name (a /dev/serial/by-id
// link, the node it points to, a COM number), is refused before it sends a byte.
//
// The device is named by its resolved path. Between processes the hold is a DeviceLock, the
// same for every user and login; within one process the thread that holds a device may take
// it again (the station, then the write it runs, then each exchange), and any other thread is
// refused.

#include <string>

#include "transport.h"

namespace quorvel {

class DeviceHold {
  public:
    DeviceHold() = default;
    ~DeviceHold() { release(); }
    DeviceHold(const DeviceHold&) = delete;
    DeviceHold& operator=(const DeviceHold&) = delete;

    // Holds the target's device. False when another writer has it or the hold cannot be
    // taken: refusal() then says who holds it or why ("busy: /dev/ttyUSB0 is being written by
    // quorvel-writer (pid 1234, user alice); nothing was sent"). A target that maps to no
    // serial device holds nothing and is not refused: opening it says what is wrong.
    bool take(const PortTarget& target);
    void release();
    bool held() const { return !key_.empty(); }
    const std::string& refusal() const { return refusal_; }

  private:
    std::string key_;  // the resolved device and its node (deviceIdentity) while held
    std::string refusal_;
};

}  // namespace quorvel
