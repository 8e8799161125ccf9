#include "record_lines.h"

#include <cerrno>
#include <cstring>

namespace quorvel {

RecordLines::Next RecordLines::next(std::string& line) {
    line.clear();
    bool begun = false;    // a byte of this line has been taken
    bool tooLong = false;  // then none of it is kept
    for (;;) {
        if (at_ == held_) {
            errno = 0;
            held_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
            at_ = 0;
            if (held_ == 0) {
                if (std::ferror(file_) != 0) {
                    error_ = errno != 0 ? errno : EIO;
                    return Next::ReadError;
                }
                if (!begun) return Next::End;
                break;  // the last line, without an end
            }
        }
        begun = true;
        const char* from = buffer_.data() + at_;
        const auto* end = static_cast<const char*>(std::memchr(from, '\n', held_ - at_));
        const size_t length =
            static_cast<size_t>((end != nullptr ? end : buffer_.data() + held_) - from);
        if (!tooLong && line.size() + length > kLongestRecordLine) {
            tooLong = true;
            std::string().swap(line);
        }
        if (!tooLong) line.append(from, length);
        at_ += length;
        if (end != nullptr) {
            ++at_;
            break;
        }
    }
    ++number_;
    if (tooLong) return Next::TooLong;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return Next::Line;
}

}  // namespace quorvel
