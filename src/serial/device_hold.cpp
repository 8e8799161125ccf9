#include "device_hold.h"

#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#endif

#include "port_mapping.h"

namespace quorvel {
namespace {

// The devices this process holds, with the thread that holds each and how often it took it.
struct Held {
    int fd = -1;
    std::thread::id owner;
    int count = 0;
};
std::mutex heldMutex;
std::map<std::string, Held> heldDevices;

#ifndef _WIN32
std::string lockPath(const std::string& device) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder = runtime != nullptr && *runtime != '\0' ? runtime : "/tmp";
    std::string name = device;
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    return folder + "/quorvel-flash" + name + ".lock";
}

// The pid the holder wrote into its lock file, or 0.
long holderPid(int fd) {
    char text[32] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    return n > 0 ? std::strtol(text, nullptr, 10) : 0;
}

#endif

}  // namespace

std::string resolvedDeviceName(const PortTarget& target) {
    const std::optional<std::string> device = deviceForTarget(target);
    if (!device) return {};
#ifdef _WIN32
    return *device;
#else
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::canonical(*device, error);
    return error ? *device : canonical.string();
#endif
}

std::string deviceIdentity([[maybe_unused]] const std::string& path) {
#ifdef _WIN32
    return path;
#else
    struct stat node {};
    if (::stat(path.c_str(), &node) != 0) return {};
    return std::to_string(node.st_rdev) + "/" + std::to_string(node.st_ino) + "/" +
           std::to_string(node.st_ctim.tv_sec) + "." + std::to_string(node.st_ctim.tv_nsec);
#endif
}

bool DeviceHold::take(const PortTarget& target) {
    release();
    refusal_.clear();
#ifdef _WIN32
    (void)target;
    return true;
#else
    const std::string device = resolvedDeviceName(target);
    if (device.empty()) return true;
    const std::lock_guard<std::mutex> lock(heldMutex);
    if (auto it = heldDevices.find(device); it != heldDevices.end()) {
        if (it->second.owner != std::this_thread::get_id()) {
            refusal_ = "busy: " + device + " is being written on another port of this run";
            return false;
        }
        ++it->second.count;
        key_ = device;
        return true;
    }
    const std::string path = lockPath(device);
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    // Left by another user in a shared /tmp: it can still be locked, only not given our pid.
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    // A runtime folder we cannot write leaves nothing to hold: the write goes on as before.
    if (fd < 0) return true;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const long pid = holderPid(fd);
        ::close(fd);
        refusal_ = "busy: " + device + " is being written by another quorvel-flash" +
                   (pid > 0 ? ", pid " + std::to_string(pid) : std::string());
        return false;
    }
    const std::string pid = std::to_string(::getpid()) + "\n";
    // The pid only names the holder in a refusal; the lock holds without it.
    const bool named = ::ftruncate(fd, 0) == 0 && ::pwrite(fd, pid.data(), pid.size(), 0) > 0;
    (void)named;
    heldDevices[device] = Held{fd, std::this_thread::get_id(), 1};
    key_ = device;
    return true;
#endif
}

void DeviceHold::release() {
    if (key_.empty()) return;
#ifndef _WIN32
    const std::lock_guard<std::mutex> lock(heldMutex);
    auto it = heldDevices.find(key_);
    if (it != heldDevices.end() && --it->second.count == 0) {
        // Emptied first, so that nobody reads a pid that no longer holds it.
        const bool emptied = ::ftruncate(it->second.fd, 0) == 0;
        (void)emptied;
        ::close(it->second.fd);
        heldDevices.erase(it);
    }
#endif
    key_.clear();
}

}  // namespace quorvel
