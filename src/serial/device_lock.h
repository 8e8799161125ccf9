#pragma once
// The lock between processes that makes one writer per device hold for every program and
// every user on the machine: a window in a desktop session and a station run by systemd or
// sudo meet on the same lock. DeviceHold uses it; the platform's own code lives in
// device_lock_posix.cpp and device_lock_windows.cpp.

#include <cstdint>
#include <functional>
#include <string>

namespace quorvel {

class DeviceLock {
  public:
    DeviceLock() = default;
    ~DeviceLock() { unlock(); }
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

    // Locks the resolved device ("/dev/ttyUSB0", "COM3") against every other process. False
    // when it cannot: refusal() then says why in the tool's words, naming the holder (program,
    // pid, user) when another writer has it, or the lock file and what is wrong with it.
    bool lock(const std::string& device);
    void unlock();
    bool locked() const { return handle_ != kNone; }
    const std::string& refusal() const { return refusal_; }

  private:
    static constexpr intptr_t kNone = -1;
    intptr_t handle_ = kNone;  // the lock file's descriptor, or the mutex's handle
    std::string path_;         // the lock file (POSIX)
    std::string refusal_;
};

// Whether `device` is a serial line worth a lock: a terminal device, not /dev/null or a file.
bool isSerialDeviceNode(const std::string& device);

// What tells the device node now at `path` (links followed) from one made there before or after
// it: "188-0-1234", empty when no node is there. It names the lock file and the hold (a writer
// that still holds a node that went away does not hold the next device at that path), and the
// station compares it to tell that the board's adapter was replugged between two boards.
// - A USB adapter plugged again gets a new node: devtmpfs numbers its inodes from a counter and
//   does not hand one out again, so the device number and inode tell it, however fast the
//   replug. Its change time is left out: udev sets the node's owner and mode just after it
//   appears, after a writer or the station may already have looked at it, and the adapter left
//   in place is still the same device.
// - A pseudo-terminal (a simulator, a network bridge) takes over the number of the one closed
//   before it, and devpts derives the inode from that number: only its change time, the
//   moment it was made, tells it apart. Two made within one tick of the kernel's coarse clock
//   look alike.
// On Windows the port's name ("COM3"): the system tells no node from the next.
std::string deviceIdentity(const std::string& path);

// The tool's lock folder, where the lock files of the devices are (POSIX): root's and the serial
// group's (dialout), made by the package at every boot and by the tool run as root.
inline constexpr const char* kDeviceLockFolder = "/run/lock/quorvel";

// The lock file of a resolved device (POSIX; empty on Windows): one file per device node in the
// tool's lock folder (/run/lock/quorvel).
std::string deviceLockPath(const std::string& device);

// Makes sure `folder` is a lock folder only root and the serial group (dialout) can write:
// root's, not writable by everyone, sticky. Run as root it is made when missing, put right,
// and set aside (said through the notices) when another user made it. Empty, or why no device
// can be held. (POSIX; empty on Windows.)
std::string prepareLockFolder(const std::string& folder);

// Where what was set aside at a lock path is said, once per run (the command line's warnings).
void setLockNotices(std::function<void(const std::string&)> sink);

}  // namespace quorvel
