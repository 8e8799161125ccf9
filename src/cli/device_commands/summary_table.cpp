#include "summary_table.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace quorvel::cli {
namespace {

constexpr size_t kColumns = 4;
using Row = std::array<std::string, kColumns>;

std::string seconds(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", ms / 1000);
    return text;
}

}  // namespace

std::vector<std::string> summaryTable(const std::vector<DeviceResult>& results) {
    std::vector<Row> rows{Row{"PORT", "OUTCOME", "FAILED STEP", "TIME"}};
    size_t rewritten = 0;
    for (const DeviceResult& r : results) {
        const std::string step = r.ok || r.interrupted ? "-"
                                                       : r.failedStep + " (status " +
                                                             std::to_string(r.failedStatus) + ")";
        const bool unconfirmed = r.outcome == RewriteOutcome::Unconfirmed;
        rows.push_back(
            Row{r.port, r.message + (unconfirmed ? " (unconfirmed)" : ""), step, seconds(r.ms)});
        if (r.ok && !unconfirmed) ++rewritten;
    }
    std::array<size_t, kColumns> width{};
    for (const Row& row : rows) {
        for (size_t c = 0; c < kColumns; ++c) width[c] = std::max(width[c], row[c].size());
    }
    std::vector<std::string> table;
    for (const Row& row : rows) {
        std::string line;
        for (size_t c = 0; c < kColumns; ++c) {
            std::string cell = row[c];
            // The time column is aligned to the right, the others to the left.
            if (c + 1 == kColumns) {
                cell.insert(0, width[c] - cell.size(), ' ');
            } else {
                cell.resize(width[c], ' ');
                cell += "  ";
            }
            line += cell;
        }
        table.push_back(std::move(line));
    }
    table.push_back(std::to_string(rewritten) + " of " + std::to_string(results.size()) +
                    " devices rewritten");
    return table;
}

}  // namespace quorvel::cli
