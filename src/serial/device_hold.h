#pragma once
// One writer per device. A write holds its device from its first exchange to its last (a
// station from the moment a device appears until it is removed), so that a second quorvel-flash
// or the window, aimed at the same device under another name (a /dev/serial/by-id link, the
// node it points to, a COM number), is refused at once instead of interleaving its frames.
//
// The device is named by its resolved path. Between processes the hold is an flock on a lock
// file per device in $XDG_RUNTIME_DIR (or /tmp) that holds the writer's pid; within one process
// the thread that holds a device may take it again (the station, then the write it runs), and
// any other thread is refused. Windows opens a COM port for one program only: nothing more is
// needed there.

#include <string>

#include "transport.h"

namespace quorvel {

// The device a target stands for with every link followed ("/dev/ttyUSB0", "COM3"); empty
// when it maps to none.
std::string resolvedDeviceName(const PortTarget& target);

// What tells this device node from the next one plugged in at the same place: the inode, device
// number and change time of the node that `path` leads to. A board or adapter replugged, however
// fast, gives a new node and so another identity; a link that udev merely recreated for the same
// node does not (the board left connected is not taken for a new one). Empty when the device is
// not there.
std::string deviceIdentity(const std::string& path);

class DeviceHold {
  public:
    DeviceHold() = default;
    ~DeviceHold() { release(); }
    DeviceHold(const DeviceHold&) = delete;
    DeviceHold& operator=(const DeviceHold&) = delete;

    // Holds the target's device. False when another writer has it: refusal() then says who
    // ("busy: /dev/ttyUSB0 is being written by another quorvel-flash, pid 1234"). A target
    // that maps to no device holds nothing and is not refused: opening it says what is wrong.
    bool take(const PortTarget& target);
    void release();
    bool held() const { return !key_.empty(); }
    const std::string& refusal() const { return refusal_; }

  private:
    std::string key_;  // the resolved device while held
    std::string refusal_;
};

}  // namespace quorvel
