#include "dry_run.h"

#include <cmath>

#include "block_walk.h"
#include "line_settings.h"
#include "port_mapping.h"
#include "rewrite_confirmation.h"
#include "serial_link.h"
#include "serial_port_transport.h"
#include "text_commands.h"
#include "text_out.h"
#include "write_consent.h"

namespace quorvel::cli {
namespace {

constexpr size_t kRangesPerLine = 4;

// One step of the write as it goes over the line, its replies included.
struct WireStep {
    Step step = Step::Connect;  // connect, erase, program or disconnect
    int messages = 0;           // the command or frames it sends, each once
    int64_t bytesOut = 0;
    int64_t bytesBack = 0;  // whole replies
    int32_t baudRate = 0;
    double seconds = 0;  // the bytes both ways at that speed
};

WireStep wireStep(Step step, int messages, int64_t out, int64_t back, const LineSettings& line) {
    const int bitsPerByte = line.bitsPerByte();
    const int64_t bytes = (out + back) * messages;
    return WireStep{step,           messages,
                    out * messages, back * messages,
                    line.baudRate,  static_cast<double>(bytes * bitsPerByte) / line.baudRate};
}

// The address ranges the blocks with data cover: "0x004000-0x00DFFF", "0x010000-0x023FFF".
std::vector<std::string> blockRanges(const MemoryImage& image) {
    std::vector<std::string> ranges;
    int first = -1;
    int end = -1;  // the row after the run
    auto close = [&] {
        if (first < 0) return;
        char range[32];
        std::snprintf(range, sizeof range, "0x%06X-0x%06X",
                      static_cast<unsigned>(first * kRowBytes),
                      static_cast<unsigned>(end * kRowBytes - 1));
        ranges.emplace_back(range);
    };
    for (const int start : programBlockStarts()) {
        if (!blockHasData(image, start)) continue;
        if (start != end) {
            close();
            first = start;
        }
        end = start + kBlockRows;
    }
    close();
    return ranges;
}

// Opens the port and closes it again; false, with the port's failure text, when it will not.
bool portOpens(const ExchangeSettings& settings, std::FILE* err) {
    SerialPortTransport port;
    if (!port.open(settings)) {
        writeLine(err, "quorvel-flash: " + port.failureText());
        return false;
    }
    port.close();
    return true;
}

// The steps of a write of `image` in which every message is answered at the first attempt.
std::vector<WireStep> planWrite(const MemoryImage& image, LoaderGeneration loader) {
    const ConnectCommand connect = connectCommandFor(loader);
    const auto text = static_cast<int64_t>(connect.text.size());
    const auto frame = static_cast<int64_t>(kFrameSize);
    return {
        wireStep(Step::Connect, 1, text, connect.minimumReply, kSettings9600),
        wireStep(Step::Erase, 1, frame, kFrameReplyLength, kSettings38400),
        wireStep(Step::Program, countBlocksToSend(image), frame, kFrameReplyLength, kSettings38400),
        wireStep(Step::Disconnect, 1, frame, kFrameReplyLength, kSettings38400),
    };
}

}  // namespace

CommandResult runDryRun(const CliOptions& options, const std::vector<DevicePort>& devices,
                        const LoadedImage& loaded, std::FILE* err) {
    const MemoryImage& image = loaded.image;
    bool portsOpen = true;
    for (const DevicePort& p : devices) portsOpen = portOpens(p.settings, err) && portsOpen;

    std::vector<std::string> text{"Dry run: nothing is sent."};
    std::vector<std::string> facts =
        RewriteFactLines(options.args.at(0), loaded.facts, image, WriteWalk::Blocks);
    facts.pop_back();  // the blocks are in the plan below
    for (std::string& line : facts) text.push_back(std::move(line));
    for (const DevicePort& p : devices) text.push_back("Port: " + p.description);
    const std::vector<WireStep> plan = planWrite(image, devices.front().settings.loader);
    int64_t bytesOut = 0;
    int64_t bytesBack = 0;
    double seconds = 0;
    char line[160];
    for (const WireStep& step : plan) {
        const char* unit = step.step == Step::Connect   ? "command"
                           : step.step == Step::Program ? "block"
                                                        : "frame";
        std::snprintf(line, sizeof line,
                      "%-11s %d %s%s, %lld bytes out, %lld back at %d bit/s: %.2f s",
                      (std::string(StepName(step.step)) + ":").c_str(), step.messages, unit,
                      step.messages == 1 ? "" : "s", static_cast<long long>(step.bytesOut),
                      static_cast<long long>(step.bytesBack), step.baudRate, step.seconds);
        text.emplace_back(line);
        if (step.step == Step::Program) {
            const std::vector<std::string> ranges = blockRanges(image);
            for (size_t i = 0; i < ranges.size(); ++i) {
                if (i % kRangesPerLine == 0) text.emplace_back("           ");
                text.back() += " " + ranges[i] + (i + 1 == ranges.size() ? "" : ",");
            }
        }
        bytesOut += step.bytesOut;
        bytesBack += step.bytesBack;
        seconds += step.seconds;
    }
    std::string each;
    if (devices.size() > 1) {
        each = " for each of the " + std::to_string(devices.size()) + " devices, written at once";
    }
    std::snprintf(line, sizeof line, "In all: %lld bytes out, %lld back, %.2f s on the line",
                  static_cast<long long>(bytesOut), static_cast<long long>(bytesBack), seconds);
    text.push_back(line + each);

    CommandResult r;
    r.endAs(portsOpen ? OutcomeSeverity::Success : OutcomeSeverity::Failure);
    r.message = "Dry run: nothing is sent.";
    r.result = QJsonObject{{"blocks", loaded.facts.blocks},
                           {"bytes_out", static_cast<qint64>(bytesOut)},
                           {"bytes_back", static_cast<qint64>(bytesBack)},
                           {"line_seconds", std::round(seconds * 100) / 100}};
    r.image = loaded.facts;
    // With --json the report is the JSON object; the plan goes with the progress.
    if (options.json) {
        r.notes = text;
    } else {
        r.text = text;
    }
    return r;
}

}  // namespace quorvel::cli
