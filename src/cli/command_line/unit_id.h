#pragma once
// A unit id names one board in its result line, the JSON report, the transcript's file name
// and the record. It comes from the command line (--unit) or from a barcode scanner (--scan),
// and the supervisor reads it back from the record, so it must read as what it is.

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel::cli {

inline constexpr size_t kLongestUnitId = 64;  // characters

// Why `id` cannot name a board, as the end of a sentence about it ("takes at most 64
// characters"), or empty when it can. A unit id is UTF-8 text of at most 64 characters, each
// one printable: letters, marks, digits, punctuation, symbols and spaces of any script are;
// control characters (a line end, an escape), format characters (bidirectional overrides,
// zero-width ones), the line and paragraph separators, private-use code points and those
// Unicode leaves unassigned are not.
std::string unitIdProblem(std::string_view id);

}  // namespace quorvel::cli
