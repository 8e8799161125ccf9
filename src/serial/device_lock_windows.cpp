#include <windows.h>

#include "device_lock.h"

// A COM port opens for one program at a time, but every exchange closes it again, so between
// two exchanges of one write another program could take it. A named mutex per port, in the
// machine-wide namespace where the session allows it, holds the device across those closes for
// every program and every login. A mutex left by a writer that died is abandoned, and taken.

namespace quorvel {
namespace {

std::wstring mutexName(const char* scope, const std::string& device) {
    std::wstring name(scope, scope + std::char_traits<char>::length(scope));
    name += L"quorvel-flash-";
    for (char c : device) name += static_cast<wchar_t>(c == '\\' ? '_' : c);
    return name;
}

}  // namespace

bool isSerialDeviceNode(const std::string& device) {
    return !device.empty();
}

std::string deviceIdentity(const std::string& path) {
    return path;
}

std::string deviceLockPath(const std::string&) {
    return {};
}

std::string prepareLockFolder(const std::string&) {
    return {};
}

void setLockNotices(std::function<void(const std::string&)>) {}

bool DeviceLock::lock(const std::string& device) {
    unlock();
    refusal_.clear();
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, mutexName("Global\\", device).c_str());
    if (mutex == nullptr)
        mutex = ::CreateMutexW(nullptr, FALSE, mutexName("Local\\", device).c_str());
    if (mutex == nullptr) {
        refusal_ = "cannot hold " + device + ": its lock could not be made (error " +
                   std::to_string(::GetLastError()) + "); nothing was sent";
        return false;
    }
    const DWORD waited = ::WaitForSingleObject(mutex, 0);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        ::CloseHandle(mutex);
        refusal_ = "busy: " + device +
                   " is being written by another quorvel-flash or quorvel-writer; nothing was sent";
        return false;
    }
    handle_ = reinterpret_cast<intptr_t>(mutex);
    return true;
}

void DeviceLock::unlock() {
    if (handle_ == kNone) return;
    HANDLE mutex = reinterpret_cast<HANDLE>(handle_);
    ::ReleaseMutex(mutex);
    ::CloseHandle(mutex);
    handle_ = kNone;
}

}  // namespace quorvel
