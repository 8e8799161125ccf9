#include "device_attempt.h"

#include "rewrite_record.h"

namespace quorvel::cli {

bool DeviceAttempt::startRecord(RecordSink* file, const ExchangeSettings& settings,
                                const std::string& port, const std::string& unit,
                                const ImageFacts& facts, const std::string& profile,
                                const std::string& unitCheck) {
    file_ = file;
    Record& line = record_.emplace(BeginRecord(settings, port, unit, facts));
    if (!profile.empty()) line.profile = profile;
    line.unitCheck = unitCheck;
    return file == nullptr || file->appendStarted(line);
}

void DeviceAttempt::keepRecord(DeviceResult& r, const MemoryImage& image) {
    if (!record_ || file_ == nullptr) return;
    EndRecord(*record_, r.outcome(), r.steps, image, r.diagnosis, r.deviceState, r.warnings,
              r.ms / 1000);
    if (!file_->append(*record_)) r.recordFailure = file_->failure();
}

}  // namespace quorvel::cli
