// The place kept per book, and the contents pane following the reading.
#include "reader/ui/placekeeper.h"

#include "reader/core/contentshighlight.h"
#include "reader/core/placestore.h"
#include "reader/core/readerrules.h"
#include "reader/core/readmarks.h"
#include "reader/ui/uitext.h"

#include <QEvent>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <cmath>

namespace folio::readerui {

namespace {
// Scrolling writes the place once it has rested this long, not at every step.
constexpr int SaveDelayMs = 800;
constexpr int RestoreWaitMs = 15000;
} // namespace

PlaceKeeper::PlaceKeeper(QWebEngineView* webTree, QWebEngineView* webBook, Book book,
                         std::function<int()> zoom, std::function<void(int)> setZoom,
                         QString stateFolder, QObject* parent)
    : QObject(parent), m_webTree(webTree), m_webBook(webBook), m_book(std::move(book)),
      m_zoom(std::move(zoom)), m_setZoom(std::move(setZoom)),
      m_stateFolder(std::move(stateFolder)) {
    m_saveTimer = new QTimer(this);
    m_saveTimer->setSingleShot(true);
    m_saveTimer->setInterval(SaveDelayMs);
    connect(m_saveTimer, &QTimer::timeout, this, &PlaceKeeper::saveNow);
    if (m_zoom)
        m_zoomSeen = m_zoom();
    if (m_webBook) {
        m_url = m_webBook->url();
        connect(m_webBook, &QWebEngineView::urlChanged, this, &PlaceKeeper::pageUrlChanged);
        connect(m_webBook, &QWebEngineView::loadFinished, this, &PlaceKeeper::pageLoadFinished);
        connect(m_webBook->page(), &QWebEnginePage::scrollPositionChanged, this,
                &PlaceKeeper::scrolled);
        if (QWidget* window = m_webBook->window())
            window->installEventFilter(this);
    }
    if (!m_book.key.empty())
        m_pagesRead =
            folio::reader::ReadMarks(utf8(m_stateFolder)).pagesRead(m_book.key, m_book.lineage);
    markRead(m_url); // the page shown before the keeper came
    if (m_webTree)
        connect(m_webTree, &QWebEngineView::loadFinished, this,
                [this](bool) { highlightContents(); });
}

PlaceKeeper::~PlaceKeeper() {
    // The panes may be gone already: only what was seen last is written.
    if (m_saveTimer->isActive()) {
        m_webBook = nullptr;
        m_zoom = nullptr;
        saveNow();
    }
}

QString PlaceKeeper::pageName(const QUrl& url) const {
    return QString::fromStdString(
        folio::reader::afterBookPrefix(utf8(url.toString(QUrl::FullyEncoded)),
                                       utf8(QUrl(m_book.prefix).toString(QUrl::FullyEncoded))));
}

bool PlaceKeeper::restore() {
    if (m_book.key.empty())
        return false;
    const folio::reader::PlaceStore store(utf8(m_stateFolder));
    const auto place = store.findFor(m_book.key, m_book.lineage, m_book.pageStamp);
    if (!place || !m_webBook)
        return false;
    if (m_setZoom)
        m_setZoom(place->zoom);
    m_zoomSeen = place->zoom;
    m_pendingPage = qs(place->page);
    m_pendingScroll = QPointF(place->scrollX, place->scrollY);
    m_webBook->setUrl(QUrl(m_book.prefix + m_pendingPage));
    // A kept page that never loads must not keep the place from being recorded.
    QTimer::singleShot(RestoreWaitMs, this, [this] { m_pendingScroll.reset(); });
    return true;
}

void PlaceKeeper::saveNow() {
    m_saveTimer->stop();
    if (m_pendingScroll)
        return; // the kept place is still being restored: nothing newer to keep
    if (m_webBook)
        m_url = m_webBook->url();
    if (m_zoom)
        m_zoomSeen = m_zoom();
    const QString page = pageName(m_url);
    if (page.isEmpty() || m_book.key.empty())
        return;
    folio::reader::Place place;
    place.page = utf8(page);
    place.scrollX = static_cast<int>(std::lround(m_scroll.x()));
    place.scrollY = static_cast<int>(std::lround(m_scroll.y()));
    place.zoom = m_zoomSeen;
    place.lineage = m_book.lineage;
    if (m_book.pageStamp)
        place.pageStamp = m_book.pageStamp(place.page).value_or(std::string());
    const folio::reader::PlaceStore store(utf8(m_stateFolder));
    if (store.remember(m_book.key, place))
        emit saved();
    // A place that cannot be written (no state folder, a full disk) only costs the next
    // opening its page; reading goes on.
}

void PlaceKeeper::highlightContents() {
    if (!m_webTree || !m_webBook)
        return;
    const std::string prefix = utf8(QUrl(m_book.prefix).toString(QUrl::FullyEncoded));
    std::vector<std::string> addresses;
    addresses.reserve(m_pagesRead.size());
    for (const std::string& page : m_pagesRead)
        addresses.push_back(prefix + page);
    const std::string script =
        folio::reader::readMarksScript(addresses) +
        folio::reader::contentsHighlightScript(utf8(m_webBook->url().toString(QUrl::FullyEncoded)));
    m_webTree->page()->runJavaScript(qs(script));
}

void PlaceKeeper::markRead(const QUrl& url) {
    // A page counts as read once it is shown, not only once it has loaded all it draws: the
    // reader may well move on before. A page the book lacks (an error shown) is not read.
    const QString page = pageName(url);
    if (page.isEmpty() || m_book.key.empty() || (m_book.pageStamp && !m_book.pageStamp(utf8(page))))
        return;
    const folio::reader::ReadMarks marks(utf8(m_stateFolder));
    if (marks.markRead(m_book.key, m_book.lineage, utf8(page)))
        m_pagesRead = marks.pagesRead(m_book.key, m_book.lineage);
    else
        m_pagesRead.push_back(utf8(page)); // not kept, but still marked while the book is open
}

void PlaceKeeper::pageUrlChanged(const QUrl& url) {
    if (url != m_url)
        m_scroll = QPointF();
    m_url = url;
    if (m_zoom)
        m_zoomSeen = m_zoom();
    markRead(url);
    highlightContents();
    scheduleSave();
}

void PlaceKeeper::pageLoadFinished(bool ok) {
    highlightContents();
    // A load that ends without success may be the one the restore replaced; the kept page's
    // own end is still to come (or the safety timer gives up waiting for it).
    if (!m_pendingScroll || !m_webBook || !ok)
        return;
    if (pageName(m_webBook->url()).compare(m_pendingPage, Qt::CaseInsensitive) != 0) {
        // Another page came first: read on from there.
        m_pendingScroll.reset();
        return;
    }
    const QPointF to = *m_pendingScroll;
    m_webBook->page()->runJavaScript(
        QStringLiteral("window.scrollTo(%1, %2);").arg(to.x()).arg(to.y()),
        [this, guard = QPointer<PlaceKeeper>(this), to](const QVariant&) {
            if (!guard)
                return;
            m_pendingScroll.reset();
            m_scroll = to;
            emit restored();
        });
}

void PlaceKeeper::scrolled(const QPointF& position) {
    m_scroll = position;
    if (m_zoom)
        m_zoomSeen = m_zoom();
    scheduleSave();
}

void PlaceKeeper::scheduleSave() {
    m_saveTimer->start();
}

bool PlaceKeeper::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close && m_webBook && watched == m_webBook->window())
        saveNow();
    return QObject::eventFilter(watched, event);
}

} // namespace folio::readerui
