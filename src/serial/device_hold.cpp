#include "device_hold.h"

#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "device_lock.h"
#include "port_description.h"

namespace quorvel {
namespace {

// The devices this process holds, with the thread that holds each and how often it took it.
struct Held {
    std::unique_ptr<DeviceLock> lock;
    std::thread::id owner;
    int count = 0;
};
std::mutex heldMutex;
std::map<std::string, Held> heldDevices;

}  // namespace

bool DeviceHold::take(const PortTarget& target) {
    release();
    refusal_.clear();
    const std::string device = reachedDevice(target);
    // Nothing to hold for a port that maps to no device or is no serial line (a file, a folder,
    // /dev/null): opening it says what is wrong, and no lock file is made for it.
    if (device.empty() || !isSerialDeviceNode(device)) return true;
    // The node, not only its path: a node replugged or a pseudo-terminal number reused is
    // another device, whoever still holds the one before.
    const std::string key = device + "@" + deviceIdentity(device);
    const std::lock_guard<std::mutex> lock(heldMutex);
    if (auto it = heldDevices.find(key); it != heldDevices.end()) {
        if (it->second.owner != std::this_thread::get_id()) {
            refusal_ = "busy: " + device +
                       " is being written on another port of this run; nothing was sent";
            return false;
        }
        ++it->second.count;
        key_ = key;
        return true;
    }
    auto deviceLock = std::make_unique<DeviceLock>();
    if (!deviceLock->lock(device)) {
        refusal_ = deviceLock->refusal();
        return false;
    }
    heldDevices[key] = Held{std::move(deviceLock), std::this_thread::get_id(), 1};
    key_ = key;
    return true;
}

void DeviceHold::release() {
    if (key_.empty()) return;
    const std::lock_guard<std::mutex> lock(heldMutex);
    auto it = heldDevices.find(key_);
    if (it != heldDevices.end() && --it->second.count == 0) heldDevices.erase(it);
    key_.clear();
}

}  // namespace quorvel
