#include "load_failure_text.h"

#include "cli_options.h"
#include "json_run.h"

namespace quorvel::cli {

CommandResult loadProblem(const std::string& path, const LoadResult& result) {
    const std::vector<std::string> lines = loadFailureLines(path, result);
    CommandResult r = fileProblem(lines.front());
    r.notes = {result.message()};
    for (const std::string& line : lines) r.note(line);
    return r;
}

}  // namespace quorvel::cli
