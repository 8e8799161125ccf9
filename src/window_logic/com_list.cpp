#include "com_list.h"

#include "panel.h"

namespace quorvel {

std::vector<std::string> ComListEntries() {
    std::vector<std::string> entries;
    for (int n = 1; n <= kComPortCount; ++n) {
        const std::string digits = std::to_string(n);
        entries.push_back((digits.size() == 1 ? "COM  " : "COM ") + digits);
    }
    return entries;
}

void FillComList(Panel& panel) {
    panel.fillComList(ComListEntries());
    panel.selectComEntry(0);
}

}  // namespace quorvel
