#pragma once
// One device's attempt at a command, alone, beside other devices or on a station's port: its
// transcript and, for a write, its lines in the record.

#include <cstdio>
#include <optional>
#include <string>

#include "device_result.h"
#include "record_sink.h"
#include "transcript.h"

namespace quorvel::cli {

class DeviceAttempt {
  public:
    // The transcript's -v lines go to `verbose` (null: not shown) after `tag` (see Transcript).
    DeviceAttempt(std::FILE* verbose, std::string tag) : transcript(verbose, std::move(tag)) {}

    // Begins the record of a write of the file `facts` describe to the port of `settings`
    // (named `port` as the operator gave it), for the board `unit` and the station `profile`
    // (empty: none), its started line added to `file` (none: not kept). Called right before the
    // first byte. False when the line could not be added (file->failure()): nothing may be sent.
    bool startRecord(RecordSink* file, const ExchangeSettings& settings, const std::string& port,
                     const std::string& unit, const ImageFacts& facts, const std::string& profile,
                     const std::string& unitCheck = {});
    // Adds the final line of a begun record, for a write of `image` that ended as `result`; a
    // line that could not be added is kept in result.recordFailure.
    void keepRecord(DeviceResult& result, const MemoryImage& image);

    Transcript transcript;

  private:
    RecordSink* file_ = nullptr;
    std::optional<Record> record_;
};

}  // namespace quorvel::cli
