// The chapter fetch pass.
#include "fetch/fetchpass.h"

#include <chrono>
#include <future>
#include <thread>

namespace folio::fetch {

namespace {

using namespace std::chrono_literals;

// Runs `work` on another thread and keeps the caller's window alive meanwhile.
template <class Work> auto runWhileProcessingEvents(Work work, FetchObserver& observer) {
    auto future = std::async(std::launch::async, std::move(work));
    while (future.wait_for(20ms) != std::future_status::ready)
        observer.processEvents();
    return future.get();
}

void replaceAll(std::string& text, std::string_view what, std::string_view with) {
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

// Byte length of a name kept below the usual 255-byte limit with room for ".html".
constexpr std::size_t MaxNameBytes = 200;

} // namespace

std::optional<std::string> novelSiteChapterUrl(const std::string& authorPrefix, int server,
                                               const std::string& link) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const auto slash = link.find('/', start);
        parts.push_back(link.substr(start, slash - start));
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    if (parts.size() < 5)
        return std::nullopt;
    std::string chapter = parts[4];
    replaceAll(chapter, ".aspx", ".txt");
    replaceAll(chapter, ",", "/");
    return authorPrefix + std::to_string(server) + "/" + chapter;
}

std::optional<int> findServerNumber(const std::string& page, const std::string& authorPrefix) {
    if (authorPrefix.empty())
        return std::nullopt;
    const auto at = page.find(authorPrefix);
    if (at == std::string::npos || at + authorPrefix.size() >= page.size())
        return std::nullopt;
    const char digit = page[at + authorPrefix.size()];
    if (digit < '0' || digit > '9')
        return std::nullopt;
    return digit - '0';
}

std::string safeFileName(const std::string& linkText) {
    std::string name;
    name.reserve(linkText.size());
    for (char c : linkText) {
        const auto u = static_cast<unsigned char>(c);
        // "/" would leave the folder ("../../x"); "\" does on Windows; control characters
        // make names no one can type.
        if (c == '/' || c == '\\' || u < 0x20 || u == 0x7F)
            name.push_back('_');
        else
            name.push_back(c);
    }
    if (name.size() > MaxNameBytes) {
        std::size_t cut = MaxNameBytes;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut; // never split a UTF-8 character
        name.resize(cut);
    }
    if (name.empty())
        name = "_";
    return name;
}

std::string chapterFilePath(const std::string& folder, const std::string& linkText) {
    std::string path = folder;
    if (path.empty() || path.back() != '/')
        path.push_back('/');
    return path + safeFileName(linkText) + ".html";
}

FetchSummary FetchPass::run(const std::vector<std::string>& texts,
                            const std::vector<std::string>& targets,
                            const std::vector<bool>& selected, const FetchOptions& options,
                            FetchObserver& observer) {
    FetchSummary summary;
    // "开始" is enabled again by the stop button while the pass may still be running: a
    // second pass started from inside the first one's event processing is refused.
    if (m_active) {
        summary.refused = true;
        return summary;
    }
    m_active = true;
    m_running = true;
    int novelCount = 0;
    std::optional<int> server;
    std::string serverProblem;

    const int count = static_cast<int>(texts.size());
    if (count >= 2)
        observer.setProgressMaximum(count - 1);

    for (int i = 0; i < count; ++i) {
        const auto index = static_cast<std::size_t>(i);
        const bool isSelected = index < selected.size() && selected[index];
        if (isSelected) {
            ++summary.selected;
            const std::string& text = texts[index];
            const std::string link = index < targets.size() ? targets[index] : std::string();
            observer.showChapter(text, link);

            std::optional<std::string> url;
            std::string problem;
            if (options.novelSite) {
                if (novelCount == 0) {
                    auto page = runWhileProcessingEvents(
                        [&] { return fetchText(link, options.download); }, observer);
                    if (!page)
                        serverProblem = "cannot read the server number: " + page.error().message;
                    else if (!(server = findServerNumber(*page, options.authorPrefix)))
                        serverProblem = "the page " + link + " does not name the server (\"" +
                                        options.authorPrefix + "\" followed by a digit)";
                }
                ++novelCount;
                if (!server)
                    problem = serverProblem;
                else if (!(url = novelSiteChapterUrl(options.authorPrefix, *server, link)))
                    problem = "the link " + link + " is not a chapter link of the novel site";
            } else {
                url = link;
            }

            const std::string localFile = chapterFilePath(options.targetFolder, text);
            observer.chapterStarted(i, text, localFile);
            bool ok = false;
            if (url) {
                auto result = runWhileProcessingEvents(
                    [&] { return downloadToFile(*url, localFile, options.download); }, observer);
                ok = result.has_value();
                if (!ok)
                    problem = result.error().message;
            }
            if (ok) {
                ++summary.downloaded;
                summary.files.push_back(localFile);
            } else {
                ++summary.failed;
                observer.downloadFailed(i, problem);
                // The download is not retried: the pass waits for the stop button.
                while (m_running) {
                    observer.processEvents();
                    if (!observer.keepWaiting()) {
                        m_running = false;
                        break;
                    }
                    std::this_thread::sleep_for(10ms);
                }
            }
        }
        observer.setProgressValue(i);
        if (options.processEventsEveryTenth && i % 10 == 0)
            observer.processEvents();
    }
    m_active = false;
    return summary;
}

} // namespace folio::fetch
