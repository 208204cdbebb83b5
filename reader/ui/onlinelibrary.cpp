// folioNet's online library (see onlinelibrary.h).
#include "reader/ui/onlinelibrary.h"

#include "core/fileio.h"
#include "core/observer.h"
#include "fetch/download.h"
#include "fetch/netsettings.h"
#include "reader/ui/booksession.h"
#include "reader/ui/frmdownload.h"
#include "reader/ui/readerpanes.h"
#include "reader/ui/uitext.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <filesystem>
#include <mutex>
#include <thread>

namespace folio::readerui {

// Where the workers leave their results: the library while it lives, nobody afterwards. The
// workers are never joined, so a window closing during a slow download closes at once.
struct OnlineLibrary::Mailbox {
    std::mutex mutex;
    QObject* receiver = nullptr;
    int running = 0;
};

OnlineLibrary::OnlineLibrary(QWidget* window, BookSession* session, ReaderPanes* panes,
                             folio::Observer& observer, folio::Observer* dialogs, bool downloads)
    : QObject(window), m_window(window), m_session(session), m_panes(panes), m_observer(observer),
      m_dialogs(dialogs), m_downloads(downloads), m_mailbox(std::make_shared<Mailbox>()) {
    m_mailbox->receiver = this;
    panes->setPageNavigation([this](const QUrl& url) { return pageNavigation(url); });
}

OnlineLibrary::~OnlineLibrary() {
    const std::lock_guard lock(m_mailbox->mutex);
    m_mailbox->receiver = nullptr;
}

int OnlineLibrary::running() const {
    const std::lock_guard lock(m_mailbox->mutex);
    return m_mailbox->running;
}

void OnlineLibrary::showKept() {
    // A page not kept yet would show the browser's own error page until the library's copy
    // arrives: the pane waits with a word of its own instead.
    const QString waiting = QStringLiteral(
        "<html><head><meta charset='utf-8'></head><body style='font-family:sans-serif;"
        "margin:2em'>正在从在线书库下载……</body></html>");
    const std::pair<QWebEngineView*, QUrl> panes[] = {
        {m_panes->webTree(), QUrl(m_session->contentsAddress())},
        {m_panes->webBook(), QUrl(m_session->homeAddress())}};
    for (const auto& [view, url] : panes) {
        if (m_downloads && !QFileInfo(url.toLocalFile()).isFile()) {
            m_panes->showMessage(view, waiting);
        } else {
            view->load(url);
        }
    }
}

void OnlineLibrary::fetchInBackground(std::vector<Download> list,
                                      std::function<void(const std::vector<std::string>&)> done) {
    {
        const std::lock_guard lock(m_mailbox->mutex);
        ++m_mailbox->running;
    }
    // The window keeps working while the files come.
    std::thread([mailbox = m_mailbox, list = std::move(list), done = std::move(done)] {
        std::vector<std::string> errors;
        for (const Download& d : list) {
            // The library's folders (tree/ ...) are made here on first use.
            std::error_code ec;
            std::filesystem::create_directories(std::filesystem::path(d.localFile).parent_path(),
                                                ec);
            auto result = fetch::downloadToFile(d.url, d.localFile);
            errors.push_back(result ? std::string() : result.error().message);
        }
        const std::lock_guard lock(mailbox->mutex);
        --mailbox->running;
        if (mailbox->receiver) {
            // Queued: should the receiver go before the event is delivered, Qt drops it.
            QMetaObject::invokeMethod(
                mailbox->receiver, [done, errors] { done(errors); }, Qt::QueuedConnection);
        }
    }).detach();
}

void OnlineLibrary::fetchPage(const Download& page, std::function<void(const std::string&)> done) {
    fetchInBackground({page}, [this, page, done](const std::vector<std::string>& errors) {
        if (!errors.front().empty()) {
            done(errors.front());
            return;
        }
        // What the page needs, resolved against its place in the library and on disk; only
        // what is not kept yet, and never a file outside the program folder.
        std::vector<Download> needed;
        const QUrl pageUrl(qs(page.url));
        const QDir pageDir = QFileInfo(qs(page.localFile)).absoluteDir();
        const QString root = QDir(m_session->programFolder()).absolutePath() + QLatin1Char('/');
        const auto bytes = readFileBytes(page.localFile);
        const std::string html = bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
        for (const std::string& ref : pageResources(html)) {
            const QString local = QDir::cleanPath(pageDir.filePath(qs(ref)));
            if (!local.startsWith(root) || QFileInfo::exists(local)) {
                continue;
            }
            needed.push_back({utf8(pageUrl.resolved(QUrl(qs(ref))).toString()), utf8(local)});
        }
        if (needed.empty()) {
            done({});
            return;
        }
        fetchInBackground(std::move(needed), [done](const std::vector<std::string>&) { done({}); });
    });
}

void OnlineLibrary::refresh() {
    const std::string base = utf8(m_session->onlineBase());
    const std::string folder = utf8(m_session->programFolder());
    const Download tree = contentsDownload(base, folder);
    const Download index = indexDownload(base, folder);
    auto results =
        std::make_shared<std::pair<int, std::vector<std::string>>>(0, std::vector<std::string>(2));
    auto show = [this, results, tree, index, base] {
        bool reached = false;
        const std::pair<QWebEngineView*, const Download*> panes[] = {{m_panes->webTree(), &tree},
                                                                     {m_panes->webBook(), &index}};
        for (int i = 0; i < 2; ++i) {
            QWebEngineView* view = panes[i].first;
            const QString file = qs(panes[i].second->localFile);
            const std::string& error = results->second[static_cast<std::size_t>(i)];
            reached = reached || error.empty();
            const QUrl url = QUrl::fromLocalFile(file);
            // The page pane is reloaded only while it still shows the home page or a word of
            // the reader's own.
            const bool showsIt =
                view == m_panes->webTree() || view->url() == url || !view->url().isLocalFile();
            if (error.empty()) {
                if (showsIt) {
                    view->load(url);
                }
            } else if (!QFileInfo(file).isFile() && showsIt) {
                m_panes->showMessage(view, qs(unreachablePage(base, error)));
            }
        }
        emit refreshed(reached);
    };
    for (int i = 0; i < 2; ++i) {
        fetchPage(i == 0 ? tree : index, [results, i, show](const std::string& error) {
            results->second[static_cast<std::size_t>(i)] = error;
            if (++results->first == 2) {
                show();
            }
        });
    }
}

bool OnlineLibrary::pageNavigation(const QUrl& url) {
    if (!m_downloads || !url.isLocalFile()) {
        return true;
    }
    const QString folder = QDir(m_session->programFolder()).absolutePath();
    const QString local = QDir::cleanPath(url.toLocalFile());
    const std::string relative = libraryPath(utf8(folder), utf8(local));
    if (relative.empty() || relative == "tree.html") {
        return true;
    }
    // The contents page's links name the book's pages beside the home page.
    const QString page = QDir(folder).filePath(qs(relative));
    const QUrl pageUrl = QUrl::fromLocalFile(page);
    QWebEngineView* book = m_panes->webBook();
    if (page != local) {
        QTimer::singleShot(0, this, [book, pageUrl] { book->load(pageUrl); });
        return false;
    }
    if (QFileInfo(page).isFile()) {
        return true;
    }
    // A page not kept yet comes from the library first.
    const std::string address = utf8(m_session->onlineBase()) + "book/" + relative;
    fetchPage({address, utf8(page)}, [this, book, pageUrl, address](const std::string& error) {
        if (error.empty()) {
            book->load(pageUrl);
        } else {
            m_panes->showMessage(book, qs(unreachablePage(address, error)));
        }
    });
    return false;
}

void OnlineLibrary::fetchAndShow(const Download& page, bool contentsPane, const QString& failure) {
    if (!m_downloads) {
        return;
    }
    fetchPage(page, [this, page, contentsPane, failure](const std::string& error) {
        QWebEngineView* view = contentsPane ? m_panes->webTree() : m_panes->webBook();
        if (error.empty()) {
            view->load(QUrl::fromLocalFile(qs(page.localFile)));
        } else {
            m_observer.messageBox(utf8(failure) + error, "folioNet",
                                  folio::MessageIcon::Exclamation);
        }
    });
}

void OnlineLibrary::update() {
    fetchAndShow(contentsDownload(utf8(m_session->onlineBase()), utf8(m_session->programFolder())),
                 true, QStringLiteral("无法连接在线书库，目录没有更新：\n"));
}

void OnlineLibrary::bookshelf() {
    fetchAndShow(indexDownload(utf8(m_session->onlineBase()), utf8(m_session->programFolder())),
                 false, QStringLiteral("无法连接在线书库，首页没有更新：\n"));
}

void OnlineLibrary::downloadChapters() {
    const QString programFolder = m_session->programFolder();
    if (!m_download) {
        const fetch::NetSettings net = fetch::readNetSettings(utf8(programFolder));
        FrmDownloadSettings settings;
        settings.novelSiteName = qs(net.novelSiteName);
        settings.authorPrefix = net.authorPrefix();
        settings.dialogs = m_dialogs;
        // Chapters go to a folder of the book's own unless the user picks another.
        settings.folder = QDir(programFolder).filePath(QStringLiteral("download"));
        m_download = new FrmDownload(m_window, {}, {}, settings);
    }
    m_download->show();
    m_download->raise();
    m_download->setLinks({}, {});
    // Every "A" element of the page, in document order: its text and its address, as one
    // JSON text (a list of lists does not always survive the trip out of the page).
    const QString script = QStringLiteral(
        "(function(){var r=[],a=document.getElementsByTagName('a');"
        "for(var i=0;i<a.length;++i){r.push([String(a[i].innerText||a[i].textContent||''),"
        "String(a[i].href||'')]);}return JSON.stringify(r);})()");
    QPointer<FrmDownload> window = m_download;
    const std::string base = utf8(m_session->onlineBase());
    const std::string folder = utf8(QDir(programFolder).absolutePath());
    m_panes->webBook()->page()->runJavaScript(script, [window, base,
                                                       folder](const QVariant& result) {
        if (!window) {
            return;
        }
        QStringList texts, targets;
        const QJsonDocument doc = QJsonDocument::fromJson(result.toString().toUtf8());
        for (const QJsonValue& link : doc.array()) {
            const QJsonArray pair = link.toArray();
            if (pair.size() != 2) {
                continue;
            }
            texts << qs(cleanLinkName(utf8(pair[0].toString())));
            // A page of the book kept here is fetched from where it came from.
            QString target = pair[1].toString();
            const QUrl url(target);
            if (url.isLocalFile()) {
                const std::string address = libraryAddress(base, folder, utf8(url.toLocalFile()));
                if (!address.empty()) {
                    target = qs(address);
                }
            }
            targets << target;
        }
        window->setLinks(texts, targets);
    });
}

} // namespace folio::readerui
