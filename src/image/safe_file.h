#pragma once
// The one way the tool creates, writes and carefully reads files. Stations run as root on PCs
// where other people log in: a link, a folder or a pipe that another user puts where the tool
// writes must never turn a root write against a file of the machine, nor hang the tool.
//
// Writing walks the path from its root one name at a time, holding each folder open: a folder
// that belongs to another user is never entered, and a link is followed only when it belongs
// to the caller or root and lies in a folder no other user can change. The file itself is made
// new (never over something else) or opened without following a link, and is then judged on
// what was opened, not on the path: a regular file, and in a folder others may write to, one
// of the caller's or root's with no other name. Folders of the caller's own (its home, its XDG
// folders) are not hindered.
//
// Reading opens first, without blocking and without taking a controlling terminal, and judges
// what was opened: a pipe or a device put in a file's place can neither hang the tool nor be
// read as the file.

#include <cstdio>
#include <string>

namespace quorvel {

enum class FileWrite {
    Truncate,  // starts the file empty (a transcript)
    Append,    // every write goes to the end (a record file, a spool); opened for reading too
    Keep,      // the content stays until the caller replaces it (a report written when ready)
    Lock,      // read-only, only for an flock; a file of any owner (a device hold)
};

struct OpenedFile {
    int fd = -1;  // a C runtime descriptor; -1 when the file was refused or could not be opened
    bool created = false;
    // Something that is not a regular file stands at the path (a folder, a pipe, a link).
    bool notRegular = false;
    int error = 0;        // the system's error number, or EISDIR / ENXIO for a folder / not a file
    std::string problem;  // why not, naming the path: "/tmp/x.log is a link ..., not followed"
};

// Opens `path` for writing as above, creating it (mode 0644 before the umask) when missing;
// with `makeFolders`, the missing folders on its way too (mode 0700: the caller's own data).
OpenedFile openFileForWriting(const std::string& path, FileWrite how, bool makeFolders = false);

// Why the folder that would hold `path` cannot be written as above (walked the same way,
// without opening the file), or empty: for files named later (a station's transcripts).
std::string folderProblem(const std::string& path);

// Opens `path` for reading and checks that it is a regular file. With `ownFile` (a file only
// the tool makes, such as the spool) the path is walked as for writing and no link is followed
// where another user could have put it.
OpenedFile openFileForReading(const std::string& path, bool ownFile = false);

// The descriptor of an opened file as a C stream (`mode` as fdopen's); null, with the
// descriptor closed, when it cannot be made.
std::FILE* streamOf(int fd, const char* mode);

}  // namespace quorvel
