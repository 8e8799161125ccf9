#pragma once
// Reading a firmware file whole into memory, with the checks that keep a wrong path (a FIFO,
// /dev/zero, a huge file) from hanging the tool or filling its memory.

#include <cstdint>
#include <string>

namespace quorvel {

// No firmware file comes near this: the image holds 128 KiB, and an S-record file that wrote
// every byte of it several times over, with comment records between, stays far below.
constexpr std::uintmax_t kLargestImageFile = 64u << 20;

// Why a file could not be read.
enum class FileReadFailure { None, Missing, Directory, NotRegular, TooLarge, Unreadable };

// Reads the file at `path` into `out`. False (and `out` empty) for what is not a regular file
// (a folder, a FIFO, a device), a file larger than `limit`, one that grows past `limit` while it
// is read, and a file that cannot be opened or read; `why`, when given, says which.
bool readImageFileText(const std::string& path, std::string& out,
                       std::uintmax_t limit = kLargestImageFile, FileReadFailure* why = nullptr);

}  // namespace quorvel
