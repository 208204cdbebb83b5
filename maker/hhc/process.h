// Running a helper program without a shell and collecting what it prints.
#pragma once

#include "core/error.h"

#include <functional>
#include <string>
#include <vector>

namespace folio::chm {

struct ProcessResult {
    int status = -1;    // exit status, or -1 when a signal ended the program
    std::string output; // stdout and stderr together, as printed
};

// Runs `program` (looked up on PATH unless it holds a "/") with `args` as separate arguments,
// in `folder`. While it runs, `idle` is called about every 50 ms (a window repaints there).
// The error names the program when it cannot be started at all.
Result<ProcessResult> runProcess(const std::string& program, const std::vector<std::string>& args,
                                 const std::string& folder, const std::function<void()>& idle = {});

} // namespace folio::chm
