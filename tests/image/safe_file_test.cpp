// Files the tool writes, aimed at by another local user: as nobody (setpriv), a link, a folder,
// a pipe or a file of its own is put where root is about to write, in each kind of folder such
// a user can reach. Root's open is refused and the root-only file behind stays as it was; in
// root's own folders nothing is in the way.

#include "safe_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using quorvel::FileWrite;
using quorvel::openFileForReading;
using quorvel::openFileForWriting;

namespace {

std::string contentOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int shell(const std::string& command, bool asNobody) {
    const std::string prefix =
        asNobody ? "setpriv --reuid=nobody --regid=nogroup --clear-groups " : "";
    return std::system((prefix + "sh -c '" + command + "'").c_str());
}

}  // namespace

TEST(SafeFile, PlantedByAnotherUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    struct Case {
        const char* name;
        const char* folder;  // where the file is to be written, under the test's folder
        const char* plant;   // what nobody does there first (sh, in the test's folder)
        bool refused;
    };
    // sticky: drwxrwxrwt root; group: drwxrwsr-x root:nogroup; victims: root's own folder
    // holding the root-only file "victim"; own: root's own folder.
    const Case cases[] = {
        {"a link in a sticky folder", "sticky", "ln -s ../victims/victim sticky/f", true},
        {"a link in another user's folder", "sticky/theirs",
         "mkdir sticky/theirs && ln -s ../../victims/victim sticky/theirs/f", true},
        {"a link in a group-writable folder", "group", "ln -s ../victims/victim group/f", true},
        {"a folder in a sticky folder", "sticky", "mkdir sticky/f", true},
        {"a folder in a group-writable folder", "group", "mkdir group/f", true},
        {"a pipe in a sticky folder", "sticky", "mkfifo sticky/f", true},
        {"a pipe in another user's folder", "sticky/theirs",
         "mkdir sticky/theirs && mkfifo sticky/theirs/f", true},
        {"a link to a folder in a sticky folder", "sticky", "ln -s ../victims sticky/f", true},
        {"a link to a folder on the way", "sticky/via", "ln -s ../victims sticky/via", true},
        {"another user's file in a sticky folder", "sticky", "echo theirs > sticky/f", true},
        {"nothing in a sticky folder", "sticky", "true", false},
        {"nothing in a group-writable folder", "group", "true", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (FileWrite how : {FileWrite::Truncate, FileWrite::Append, FileWrite::Keep}) {
            char made[] = "/tmp/safe-file-XXXXXX";
            ASSERT_NE(::mkdtemp(made), nullptr);
            const fs::path base(made);
            ASSERT_EQ(::chmod(made, 0755), 0);
            fs::create_directory(base / "sticky");
            fs::create_directory(base / "group");
            fs::create_directory(base / "victims");
            ASSERT_EQ(::chmod((base / "sticky").c_str(), 01777), 0);
            ASSERT_EQ(::chown((base / "group").c_str(), 0, 65534), 0);
            ASSERT_EQ(::chmod((base / "group").c_str(), 02775), 0);
            { std::ofstream(base / "victims/victim") << "root only\n"; }
            ASSERT_EQ(::chmod((base / "victims/victim").c_str(), 0600), 0);
            // The victim also stands under the file's name in root's folder, for the links
            // that lead a walk there.
            fs::copy_file(base / "victims/victim", base / "victims/f");
            ASSERT_EQ(shell("cd " + base.string() + " && " + c.plant, true), 0);

            const fs::path path = base / c.folder / "f";
            const quorvel::OpenedFile opened = openFileForWriting(path.string(), how);
            if (opened.fd >= 0) ::close(opened.fd);
            EXPECT_EQ(opened.fd < 0, c.refused) << opened.problem;
            EXPECT_EQ(opened.problem.empty(), !c.refused);
            if (c.refused) {
                EXPECT_NE(opened.problem.find(path.string()), std::string::npos);
            }
            // The tool's own files (the spool) are read the same way.
            const quorvel::OpenedFile read = openFileForReading(path.string(), true);
            if (read.fd >= 0) ::close(read.fd);
            EXPECT_EQ(read.fd < 0, c.refused);
            EXPECT_EQ(contentOf(base / "victims/victim"), "root only\n");
            EXPECT_EQ(contentOf(base / "victims/f"), "root only\n");
            fs::remove_all(base);
        }
    }
}

// In root's own folders a link of root's is followed, a relative path starts at the current
// folder, and missing folders are made on request.
TEST(SafeFile, OwnFoldersAreNotHindered) {
    char made[] = "/tmp/safe-file-XXXXXX";
    ASSERT_NE(::mkdtemp(made), nullptr);
    const fs::path base(made);
    fs::create_directory(base / "real");
    fs::create_directory_symlink(base / "real", base / "link");
    fs::create_symlink("real/log", base / "log-link");
    const fs::path before = fs::current_path();
    fs::current_path(base);
    struct Case {
        const char* path;
        bool makeFolders;
        const char* lands;  // where the file is then, under the test's folder
    };
    const Case cases[] = {
        {"link/a", false, "real/a"},
        {"log-link", false, "real/log"},
        {"real/new/deeper/b", true, "real/new/deeper/b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const quorvel::OpenedFile opened =
            openFileForWriting(c.path, FileWrite::Append, c.makeFolders);
        ASSERT_GE(opened.fd, 0) << opened.problem;
        EXPECT_EQ(::write(opened.fd, "x", 1), 1);
        ::close(opened.fd);
        EXPECT_EQ(contentOf(base / c.lands), "x");
    }
    const quorvel::OpenedFile missing = openFileForWriting("nowhere/c", FileWrite::Append);
    EXPECT_LT(missing.fd, 0);
    fs::current_path(before);
    fs::remove_all(base);
}
