#pragma once
// The transcript of one device's run: every line of the dialogue with the device (opening,
// settings, the bytes each way, how each wait ended, the steps), kept in the --log file and
// shown with -v on standard error as it happens.

#include <cstdio>
#include <string>
#include <string_view>

namespace quorvel::cli {

class Transcript {
  public:
    // -v lines go to `verbose` (null: not shown), after "TAG: " when `tag` is not empty: the
    // port's name, when several ports print at once.
    Transcript(std::FILE* verbose, std::string tag) : verbose_(verbose), tag_(std::move(tag)) {}
    ~Transcript();
    Transcript(const Transcript&) = delete;
    Transcript& operator=(const Transcript&) = delete;

    // Starts the file `path` (none when empty) for `command` on `port`. Empty when it could,
    // otherwise why not: "cannot write the transcript run.log" (a pipe or a device in its
    // place would hang the tool or swallow the transcript).
    std::string open(const std::string& path, const std::string& command, const std::string& port);
    void line(std::string_view text);
    // Why the file could not be written after it was opened (a full disk), or empty.
    const std::string& failure() const { return failure_; }

  private:
    std::FILE* verbose_;
    std::string tag_;
    std::FILE* file_ = nullptr;
    std::string path_;
    std::string failure_;
};

}  // namespace quorvel::cli
