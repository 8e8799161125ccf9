#pragma once
// Reading a file that decides what the tool does to devices (a station profile): whoever can
// change it decides what is written, so it is read only when no other user can.

#include <QByteArray>
#include <optional>
#include <string>

namespace quorvel::cli {

// The whole of the file at `path`, or empty with `problem` set (in words that follow the
// path): it cannot be opened, is not a regular file (a folder, a pipe, a device), is larger
// than `largest` bytes, or could be changed by another user than its owner and root (owned by
// another user, writable by everybody, or by a group other than its owner's own). The file is
// opened first, without waiting (a pipe never holds the run), and the opened file is what is
// checked and read (openFileForReading): a file put in its place meanwhile is never read
// unchecked.
std::optional<QByteArray> readCarefully(const std::string& path, qint64 largest,
                                        std::string& problem);

}  // namespace quorvel::cli
