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

}  // namespace quorvel
