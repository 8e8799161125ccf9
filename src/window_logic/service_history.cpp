#include "service_history.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "diagnosis.h"
#include "port_mapping.h"
#include "time_text.h"

namespace quorvel {

std::string DefaultHistoryPath() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (folder.isEmpty()) return {};
    // In the system's own encoding of file names, as the command line gets its paths.
    return QFile::encodeName(QDir::toNativeSeparators(folder + QStringLiteral("/history.jsonl")))
        .toStdString();
}

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

WindowWrite::WindowWrite(const CommandContext& context)
    : context_(context),
      imageFile_(context.imageFacts.path.empty() ? std::string() : context.imageFileName()),
      port_(context.link.portDescription(context.settings())) {
    if (context.historyPath.empty()) return;
    record_ =
        BeginRecord(context.settings(), targetName(context.settings()), {}, context.imageFacts);
    // The data folder does not exist before the first write.
    if (!file_.open(context.historyPath, true)) {
        failure_ = file_.failure();
        if (failure_.find(context.historyPath) == std::string::npos) {
            failure_ = context.historyPath + ": " + failure_;
        }
    } else if (!file_.appendStarted(record_)) {
        failure_ = file_.failure();
    }
}

void WindowWrite::end(const OutcomeFacts& outcome, const std::vector<StepRecord>& steps,
                      const std::vector<std::string>& cause, const std::string& deviceState,
                      const std::vector<std::string>& warnings) {
    if (!file_.isOpen()) return;
    std::vector<std::string> diagnosis = cause;
    if (outcome.severity == OutcomeSeverity::Interrupted) {
        diagnosis = {deviceState};
    } else if (!outcome.wentThrough() && !steps.empty()) {
        diagnosis.insert(diagnosis.begin(), failureLine(steps.back()));
    }
    EndRecord(record_, outcome, steps, context_.image, std::move(diagnosis), deviceState, warnings,
              secondsSince(start_));
    if (!file_.append(record_) && failure_.empty()) failure_ = file_.failure();
}

PromptBox WindowWrite::box(const ResultWords& words, bool accepted,
                           std::vector<std::string> lines) const {
    if (!failure_.empty()) {
        lines.push_back(
            "warning: the service history could not be written, so this write is not in it: " +
            failure_);
    }
    PromptBox box = ResultBox(words, accepted, lines);
    box.text += "\r\n";
    if (!imageFile_.empty()) box.text += "\r\nFile: " + imageFile_;
    box.text += "\r\nPort: " + port_ + "\r\nTime taken: " + secondsText(secondsSince(start_));
    return box;
}

}  // namespace quorvel
