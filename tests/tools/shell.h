// Runs a shell command for a test and collects what it printed and how it ended.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace folio::testing {

// `s` as one word for sh, whatever it holds: in single quotes, each ' written as '\''.
inline std::string shellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

// Where the command's stderr goes.
enum class Stderr {
    Merged,  // into the output, in the order written: diagnostics read beside the text
    Dropped, // to /dev/null: the output is parsed and the command's chatter would spoil it
    Passed,  // to the test's own stderr (ctest keeps it): the output is parsed, chatter kept
};

struct CommandOutput {
    int status = -1;    // the exit code; -1 if the command could not start or a signal ended it
    std::string output; // stdout, and stderr too when merged
};

// Runs `command` with sh. The command is grouped before stderr is redirected, so a list
// ("cd x && tool") has every part's stderr go the same way, not only the last one's.
inline CommandOutput runCommand(const std::string& command, Stderr stderrTo = Stderr::Merged) {
    std::string line = "{ " + command + "\n}";
    if (stderrTo == Stderr::Merged)
        line += " 2>&1";
    else if (stderrTo == Stderr::Dropped)
        line += " 2>/dev/null";
    CommandOutput r;
    std::FILE* pipe = ::popen(line.c_str(), "r");
    if (!pipe)
        return r;
    std::array<char, 65536> buffer;
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
        r.output.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    r.status = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

} // namespace folio::testing
