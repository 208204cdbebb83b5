// What every folio command shares: the usage text, usage errors and the console observer.
#pragma once

#include "core/observer.h"

#include <string>
#include <vector>

namespace folio::cli {

constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

extern const char* const Usage;

// Prints the message and the usage text to stderr; returns ExitUsage.
int usageError(const std::string& message);

// Message boxes are printed (information on stdout, the rest on stderr); captions and
// progress are not. Questions are answered Yes only when the command line said so (--yes).
class ConsoleObserver : public Observer {
  public:
    explicit ConsoleObserver(bool answerYes = false) : m_answerYes(answerYes) {}
    Answer messageBox(const std::string& text, const std::string& title, MessageIcon icon,
                      MessageButtons buttons) override;

  private:
    bool m_answerYes;
};

// The folder of this program: the maker folder by default.
std::string executableFolder();

// The commands beyond compile/info/extract, each in its own file; each returns the exit status.
int contentsCommand(const std::vector<std::string>& args); // contents.cpp
int generateCommand(const std::vector<std::string>& args); // contents.cpp
int txt2htmlCommand(const std::vector<std::string>& args); // convert.cpp
int html2txtCommand(const std::vector<std::string>& args); // convert.cpp
int renameCommand(const std::vector<std::string>& args);   // convert.cpp

} // namespace folio::cli
