// The chapter fetch pass: downloads the selected links of a link list into a folder,
// rewriting novel-site chapter links to their text files.
#pragma once

#include "core/observer.h"
#include "fetch/download.h"

#include <atomic>
#include <optional>
#include <string>
#include <vector>

namespace folio::fetch {

// What the pass reports while it runs: the one observer of every long routine, plus the
// chapters. Every member has a do-nothing default; the pass shows no message box.
class FetchObserver : public Observer {
  public:
    Answer messageBox(const std::string&, const std::string&, MessageIcon, MessageButtons buttons,
                      Answer) override {
        return buttons == MessageButtons::YesNo ? Answer::No : Answer::Ok;
    }
    // The chapter being fetched: its title (Label1) and its link (Label2).
    virtual void showChapter(const std::string& /*title*/, const std::string& /*link*/) {}
    // A selected chapter is about to be downloaded to `localFile` (the maker adds its
    // contents-grid row here).
    virtual void chapterStarted(int /*index*/, const std::string& /*title*/,
                                const std::string& /*localFile*/) {}
    // A download failed; `reason` names the address, the file and what went wrong.
    virtual void downloadFailed(int /*index*/, const std::string& /*reason*/) {}
    // Asked between event pumps while the pass waits after a failed download: false ends
    // the wait as the stop button would. The window answers yes and lets its stop button
    // end the wait from its own thread; an observer that can never deliver a stop (a test,
    // a batch run) answers no, so the pass cannot wait forever.
    virtual bool keepWaiting() { return true; }
    // processEvents() lets the window handle pending events (repaint, the stop button). It is
    // called while a download runs, while the pass waits after a failure, and every tenth
    // index when the options ask for it.
};

struct FetchOptions {
    // The novel-site option: chapter links are rewritten to the site's text files, with
    // the server number read from the first selected chapter's page.
    bool novelSite = true;
    // The novel site's author-file prefix: host + "/Author".
    std::string authorPrefix;
    // The folder the chapters are written to (must exist).
    std::string targetFolder;
    // The maker's pass also processes events every tenth index.
    bool processEventsEveryTenth = false;
    DownloadOptions download;
};

struct FetchSummary {
    int selected = 0;
    int downloaded = 0;
    int failed = 0;
    std::vector<std::string> files; // local files written, in order
    bool refused = false;           // another pass of this object was still running
};

// novelSiteChapterUrl(prefix, server, link): splits link at "/", takes piece 4 (counting
// from 0; "http://host/folder/123,456.aspx" gives "123,456.aspx"), replaces ".aspx" by
// ".txt" and "," by "/", and returns prefix + server + "/" + that. nullopt when the link
// has fewer than five parts.
std::optional<std::string> novelSiteChapterUrl(const std::string& authorPrefix, int server,
                                               const std::string& link);

// The single digit that follows the first occurrence of the prefix in a page; nullopt
// when the prefix is missing or not followed by a digit.
std::optional<int> findServerNumber(const std::string& page, const std::string& authorPrefix);

// A link text turned into a plain file name that stays inside the target folder: path
// separators and control characters become "_", an empty text becomes "_", and the
// name is cut (at a character boundary) to leave room for the extension.
std::string safeFileName(const std::string& linkText);

// folder + "/" + safeFileName(text) + ".html"
std::string chapterFilePath(const std::string& folder, const std::string& linkText);

class FetchPass {
  public:
    // Runs the pass over parallel lists; `selected[i]` marks the chapters to fetch (a
    // missing entry counts as not selected). Sets the running flag at the start. A failed
    // download makes the pass wait, processing events, until stop() clears the flag or the
    // observer no longer wants to wait; afterwards failures are not waited on.
    FetchSummary run(const std::vector<std::string>& texts, const std::vector<std::string>& targets,
                     const std::vector<bool>& selected, const FetchOptions& options,
                     FetchObserver& observer);

    // The stop button: clears the running flag. The pass itself goes on.
    void stop() { m_running = false; }
    bool isRunning() const { return m_running; }
    // True from the start of run() until it returns: the window must not go away
    // meanwhile, and a run() called while active is refused.
    bool isActive() const { return m_active; }

  private:
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_active{false};
};

} // namespace folio::fetch
