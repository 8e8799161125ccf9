#include "pin_answer.h"

namespace quorvel {
namespace {

struct NamedAnswer {
    int16_t status;
    PinAnswer answer;
};

// The device answers OK, NG, or a pin's state: "00" to "03" come back as statuses 9 to 12.
constexpr NamedAnswer kAnswers[] = {
    {0, {"OK", true}},           {1, {"NG", false}},        {9, {"output low", true}},
    {10, {"output high", true}}, {11, {"input low", true}}, {12, {"input high", true}},
};

}  // namespace

PinAnswer pinAnswer(int16_t status) {
    for (const NamedAnswer& a : kAnswers) {
        if (a.status == status) return a.answer;
    }
    return {"???", false};
}

}  // namespace quorvel
