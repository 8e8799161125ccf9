#include "exchange_run.h"

#include "step.h"

namespace quorvel::fuzz {
namespace {

// Words that are neither command, some of them close to one.
constexpr std::array<const char*, 8> kWrongWords = {"erase", "End",  "ERASE ", "",
                                                    "ERAS",  "ENDE", "BE",     "QZ~FLASHU"};

// The step that sends the exchange (all but a text command with a wrong word).
Step stepOf(Exchange exchange) {
    static constexpr Step kSteps[] = {Step::Connect, Step::Pin,        Step::Erase,
                                      Step::Program, Step::Disconnect, Step::TextErase,
                                      Step::TextEnd, Step::TextEnd,    Step::RowWrite};
    return kSteps[static_cast<int>(exchange)];
}

}  // namespace

const ExchangeRule& ruleFor(Exchange exchange) {
    static const ExchangeRule connect{8, {0, 3, 8}};
    static const ExchangeRule port{8, {0, 1, 8, 9, 10, 11, 12}};
    static const ExchangeRule erase{1, {1, 4}};
    static const ExchangeRule frames{1, {0, 1}};
    static const ExchangeRule text{-1, {-1, 0, 1, 2, 4}};
    static const ExchangeRule rows{-1, {-1, 0, 1}};
    switch (exchange) {
        case Exchange::Connect:
            return connect;
        case Exchange::Port:
            return port;
        case Exchange::Erase:
            return erase;
        case Exchange::Program:
        case Exchange::Disconnect:
            return frames;
        case Exchange::TextErase:
        case Exchange::TextEnd:
        case Exchange::TextOther:
            return text;
        case Exchange::Rows:
            break;
    }
    return rows;
}

uint8_t candidateValue(int row, int column) {
    return static_cast<uint8_t>(row * 7 + column * 13);
}

Run readRun(ByteSource& input, MemoryImage& image) {
    Run run;
    run.exchange = static_cast<Exchange>(input.take() % kExchangeCount);
    const uint8_t s = input.take();
    const uint8_t flagged = input.take();
    const uint8_t text = input.take();

    ExchangeSettings& settings = run.settings;
    settings.loader = (s & 1) ? LoaderGeneration::V105 : LoaderGeneration::V106;
    settings.speed = static_cast<SpeedOption>(((s >> 1) & 3) % 3);
    settings.portMode = static_cast<PortMode>((s >> 3) & 3);
    run.refuseOpen = (s & 32) != 0;
    settings.portNumber = (s & 64) ? 0 : 1 + (text >> 6);
    if (s & 128) settings.devicePath = "/dev/ttyFUZZ0";
    for (int i = text & 7; i > 0; --i) settings.pinText += static_cast<char>(input.take());

    switch (run.exchange) {
        case Exchange::TextErase:
            run.word = "ERASE";
            break;
        case Exchange::TextEnd:
            run.word = "END";
            break;
        default:
            run.word = kWrongWords[(text >> 3) & 7];
    }

    for (size_t i = 0; i < kCandidateRows.size(); ++i) {
        const int row = kCandidateRows[i];
        image.blnRowData[static_cast<size_t>(row - kFirstRow)] =
            (flagged >> i) & 1 ? kFlagTrue : kFlagFalse;
    }
    return run;
}

int16_t runExchange(Loader& loader, Exchange exchange, const Run& run, const MemoryImage& image,
                    ProgressCount* progress) {
    const ExchangeSettings& settings = run.settings;
    ProgressCallback walk;
    if (progress) {
        walk = [progress](int, bool blockStep) {
            ++progress->calls;
            if (blockStep) ++progress->steps;
        };
    }
    // A wrong word has no step of its own: the text command is sent as it is.
    if (exchange == Exchange::TextOther) return loader.TextCommand(settings, run.word);
    return RunExchange(loader, stepOf(exchange), settings, image, walk);
}

}  // namespace quorvel::fuzz
