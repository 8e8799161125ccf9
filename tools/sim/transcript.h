#pragma once
// The simulator's transcript (--log): one line per event, flushed at once, for tests to
// count messages, check bytes and line speeds. The format is described in transcript.cpp.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "fault_rule.h"
#include "loader_model.h"
#include "message.h"

namespace quorvel::sim {

class Transcript {
  public:
    Transcript() = default;
    ~Transcript();
    Transcript(const Transcript&) = delete;
    Transcript& operator=(const Transcript&) = delete;

    // Opens (truncates) `path`; without a call every line is dropped.
    bool open(const std::string& path, int64_t startNs);

    void start(int64_t nowNs, const std::string& path);
    void received(int64_t nowNs, const Message& m, int baud);
    void sent(int64_t nowNs, const Message& m, const Reply& healthy,
              const std::vector<uint8_t>& bytes, const FaultRule* fault);
    void dropped(int64_t nowNs, const std::vector<uint8_t>& bytes);
    void closing(int64_t nowNs, const Message& m, const FaultRule& rule);
    void cut(int64_t nowNs, const Message& m, size_t heard, const FaultRule& rule);
    void end(int64_t nowNs, std::string_view reason);

  private:
    void line(std::string_view type, int64_t nowNs, const std::string& fields);

    std::FILE* file_ = nullptr;
    int64_t startNs_ = 0;
};

// Upper-case hex, no separators.
std::string hexText(const uint8_t* data, size_t size);
// Bytes 0x21..0x7E as they are (a backslash doubled), every other byte as \xHH.
std::string escapedText(std::string_view text);

}  // namespace quorvel::sim
