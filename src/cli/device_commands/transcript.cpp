#include "transcript.h"

#include <cerrno>
#include <cstring>

#include "safe_file.h"
#include "text_out.h"
#include "time_text.h"

namespace quorvel::cli {

Transcript::~Transcript() {
    if (file_ != nullptr) std::fclose(file_);
}

std::string Transcript::open(const std::string& path, const std::string& command,
                             const std::string& port) {
    if (path.empty()) return {};
    const OpenedFile opened = openFileForWriting(path, FileWrite::Truncate);
    if (opened.fd < 0) return "cannot write the transcript " + opened.problem;
    file_ = streamOf(opened.fd, "w");
    if (file_ == nullptr)
        return "cannot write the transcript " + path + ": " + std::strerror(errno);
    path_ = path;
    std::fprintf(file_, "# quorvel-flash %s on %s, started %s\n", command.c_str(), port.c_str(),
                 localTimeNow().c_str());
    std::fprintf(file_,
                 "# seconds since the start, then: open, close, settings, send COUNT: "
                 "BYTES, wait for MINIMUM: COUNT, recv COUNT: BYTES, step NAME[: RESULT]\n");
    return {};
}

void Transcript::line(std::string_view text) {
    if (verbose_ != nullptr) {
        // The bytes of a frame would fill the screen: the first few tell which message it was.
        constexpr size_t kShownHex = 16 * 3;
        const size_t bytesAt = text.find(": ");
        const bool long_ = (text.find("send ") != std::string_view::npos ||
                            text.find("recv ") != std::string_view::npos) &&
                           bytesAt != std::string_view::npos &&
                           text.size() > bytesAt + 2 + kShownHex;
        const std::string shown = long_
                                      ? std::string(text.substr(0, bytesAt + 2 + kShownHex)) + "..."
                                      : std::string(text);
        const std::string tag = tag_.empty() ? "" : tag_ + ": ";
        writeLine(verbose_, "quorvel-flash: " + tag + shown);
    }
    if (file_ == nullptr) return;
    std::fwrite(text.data(), 1, text.size(), file_);
    std::fputc('\n', file_);
    // A full disk is said at the end, not dropped in silence.
    if (std::fflush(file_) != 0 && failure_.empty()) {
        failure_ = "the transcript " + path_ + " could not be written: " + std::strerror(errno);
    }
}

}  // namespace quorvel::cli
