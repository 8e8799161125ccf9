#pragma once
// Entries of the COM-port list: "COM  1" ... "COM  9", "COM 10" ... "COM 16", each six
// characters, in port order.

#include <string>
#include <vector>

namespace quorvel {

constexpr int kComPortCount = 16;

std::vector<std::string> ComListEntries();

// Fills an empty list with the entries and selects the first (port 1).
void FillComList(class Panel& panel);

}  // namespace quorvel
