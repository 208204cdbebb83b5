// What every folio command shares: the usage text, usage errors and the console observer.
#pragma once

#include "core/book.h"
#include "core/error.h"
#include "core/observer.h"
#include "maker/check/checkproject.h"

#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace folio::cli {

constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

extern const char* const Usage;

// Prints the message and the usage text to stderr; returns ExitUsage.
int usageError(const std::string& message);

// The routines' message boxes are window texts, so the console prints none of them: every
// command prints its own sentences from what the routine returns. The boxes are kept, and a
// command whose routine failed without a description of its own can print them. Questions are
// answered Yes only when the command line said so (--yes, --force).
class ConsoleObserver : public Observer {
  public:
    explicit ConsoleObserver(bool answerYes = false) : m_answerYes(answerYes) {}
    Answer messageBox(const std::string& text, const std::string& title, MessageIcon icon,
                      MessageButtons buttons, Answer defaultAnswer) override;

    // Every box's text, on one line each, in order.
    const std::vector<std::string>& boxes() const { return m_boxes; }
    // The questions that were answered No because the command line did not say yes.
    const std::vector<std::string>& declined() const { return m_declined; }

  private:
    bool m_answerYes;
    std::vector<std::string> m_boxes;
    std::vector<std::string> m_declined;
};

// "folio: " + text on stderr; returns ExitFailure.
int failure(const std::string& text);

// The folder of this program: the maker folder by default.
std::string executableFolder();

// Control characters (C0, DEL, C1) as \xNN: a name from a book never reaches the terminal as
// an escape sequence.
std::string printable(std::string_view text);

// Opens a Book image; what is no regular file (a FIFO would block the open) is refused first.
Result<std::unique_ptr<book::BookImage>> openBook(const std::string& path);

// The commands beyond compile/info/extract, each in its own file; each returns the exit status.
int contentsCommand(const std::vector<std::string>& args); // contents.cpp
int generateCommand(const std::vector<std::string>& args); // contents.cpp
int txt2htmlCommand(const std::vector<std::string>& args); // convert.cpp
int html2txtCommand(const std::vector<std::string>& args); // convert.cpp
int renameCommand(const std::vector<std::string>& args);   // convert.cpp
int searchCommand(const std::vector<std::string>& args);   // search.cpp
int epubCommand(const std::vector<std::string>& args);     // epub.cpp
int checkCommand(const std::vector<std::string>& args);    // check.cpp

// The check of a project folder (given as typed) with its settings, for check and compile
// --check; its findings as "file:line:column: severity: message [code]" lines, the files shown
// under the folder as typed; and a one-line count of them.
Result<check::CheckReport> checkForCommand(const std::string& folderArg,
                                           const folio::ProjectSettings& settings);
void printFindings(const std::string& folderArg, const check::CheckReport& report,
                   std::ostream& out);
std::string findingsSummary(const check::CheckReport& report);

} // namespace folio::cli
