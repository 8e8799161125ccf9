#include "step.h"

namespace quorvel {

const char* StepName(Step step) {
    switch (step) {
        case Step::Connect:
            return "connect";
        case Step::Pin:
            return "pin";
        case Step::Erase:
            return "erase";
        case Step::Program:
            return "program";
        case Step::Disconnect:
            return "disconnect";
        case Step::TextErase:
            return "text-erase";
        case Step::TextEnd:
            return "text-end";
        case Step::RowWrite:
            break;
    }
    return "row-write";
}

int16_t RunExchange(Exchanges& link, Step step, const ExchangeSettings& settings,
                    const MemoryImage& image, const ProgressCallback& progress) {
    switch (step) {
        case Step::Connect:
            return link.LoaderConnect(settings);
        case Step::Pin:
            return link.PortCommand(settings);
        case Step::Erase:
            return link.FlashErase(settings);
        case Step::Program:
            return link.FlashProgram(settings, image, progress);
        case Step::Disconnect:
            return link.LoaderDisconnect(settings);
        case Step::TextErase:
            return link.TextCommand(settings, "ERASE");
        case Step::TextEnd:
            return link.TextCommand(settings, "END");
        case Step::RowWrite:
            break;
    }
    return link.RowWrite(settings, image, progress);
}

}  // namespace quorvel
