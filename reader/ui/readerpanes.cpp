// The reading window's panes and splitter (see readerpanes.h).
#include "reader/ui/readerpanes.h"

#include "reader/core/reading.h"

#include "reader/ui/uitext.h"

#include <QEvent>
#include <QFile>
#include <QFrame>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace folio::readerui {

namespace {

// A browser page whose navigations the panes decide on.
class ReaderPage : public QWebEnginePage {
  public:
    using Decide = std::function<bool(const QUrl&, bool mainFrame)>;
    ReaderPage(QWebEngineProfile* profile, Decide decide, QObject* parent)
        : QWebEnginePage(profile, parent), m_decide(std::move(decide)) {}

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
        return m_decide ? m_decide(url, isMainFrame) : true;
    }
    // Script errors stay silent, as the panes always were.
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                  const QString&) override {}

  private:
    Decide m_decide;
};

// A script string literal holding `text`.
QString scriptString(const QString& text) {
    const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

const QUrl BlankUrl(QStringLiteral("about:blank"));

} // namespace

ReaderPanes::ReaderPanes(QWidget* window, QWebEngineProfile* profile, Variant variant)
    : QObject(window), m_window(window), m_variant(variant) {
    m_zoom = initialZoom(variant);
    m_webTree = new QWebEngineView(window);
    m_webTree->setObjectName(QStringLiteral("WebTree"));
    m_webTree->setPage(new ReaderPage(
        profile, [this](const QUrl& u, bool main) { return contentsNavigation(u, main); },
        m_webTree));
    m_webBook = new QWebEngineView(window);
    m_webBook->setObjectName(QStringLiteral("WebBook"));
    m_webBook->setPage(new ReaderPage(
        profile, [this](const QUrl& u, bool main) { return pageNavigation(u, main); }, m_webBook));
    connect(m_webBook, &QWebEngineView::loadStarted, this, [this] { m_bookLoading = true; });
    connect(m_webBook, &QWebEngineView::loadFinished, this, [this] { m_bookLoading = false; });
    for (QWebEngineView* view : {m_webTree, m_webBook}) {
        connect(view, &QWebEngineView::loadFinished, this,
                [this, view](bool ok) { onPaneLoaded(view, ok); });
        if (variant == Variant::Page) {
            // Right-clicking in a pane of the offline reader shows no menu.
            view->setContextMenuPolicy(Qt::NoContextMenu);
        }
    }

    m_pic = new QFrame(window);
    m_pic->setObjectName(QStringLiteral("Pic"));
    m_pic->setAutoFillBackground(true);
    m_pic->setCursor(Qt::SplitHCursor);
    m_pic->installEventFilter(this);
}

ReaderPanes::~ReaderPanes() {
    // Pages must go before the profile they live in.
    delete m_webTree;
    delete m_webBook;
}

void ReaderPanes::setPageNavigation(std::function<bool(const QUrl&)> decide) {
    m_pageDecide = std::move(decide);
}

// ---- layout ------------------------------------------------------------------------------

void ReaderPanes::layout(int top, int bottom, int toolbar1Height, int treeWidth) {
    m_top = top;
    m_bottom = bottom;
    m_toolbar1Height = toolbar1Height;
    const PaneLayout l =
        layoutPanes(pixelsToTwips(m_window->width()), pixelsToTwips(m_window->height() - bottom),
                    pixelsToTwips(top), pixelsToTwips(toolbar1Height), treeWidth);
    auto place = [](QWidget* widget, const TwipRect& r) {
        widget->setGeometry(twipsToPixels(r.left), twipsToPixels(r.top), twipsToPixels(r.width),
                            twipsToPixels(r.height));
    };
    place(m_webTree, l.tree);
    place(m_pic, l.bar);
    place(m_webBook, l.book);
    m_treeWidth = treeWidth;
}

TwipRect ReaderPanes::paneTwips(QWidget* pane) const {
    const QRect g = pane->geometry();
    return {pixelsToTwips(g.x()), pixelsToTwips(g.y()), pixelsToTwips(g.width()),
            pixelsToTwips(g.height())};
}

void ReaderPanes::releaseSplitter(int xTwips) {
    // The bar's left edge is kept in twips: pixels would round a little off at every drag.
    layout(m_top, m_bottom, m_toolbar1Height, splitterLeft(m_treeWidth, xTwips));
}

bool ReaderPanes::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pic) {
        if (event->type() == QEvent::MouseButtonPress) {
            QPalette pal = m_pic->palette();
            pal.setColor(QPalette::Window, Qt::black);
            m_pic->setPalette(pal);
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease) {
            m_pic->setPalette(m_window->palette());
            const auto* me = static_cast<QMouseEvent*>(event);
            releaseSplitter(pixelsToTwips(qRound(me->position().x())));
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

// ---- zoom --------------------------------------------------------------------------------

void ReaderPanes::setZoom(int percent) {
    m_zoom = clampZoom(percent);
    applyZoomNow();
}

void ReaderPanes::applyZoomNow() {
    // The online reader leaves a page that is still loading alone; it gets the zoom when it
    // has loaded.
    if (m_variant == Variant::Net && m_bookLoading) {
        return;
    }
    folio::qt::ApplyZoom(m_webBook->page(), m_zoom);
}

// ---- documents ---------------------------------------------------------------------------

void ReaderPanes::showDocument(QWebEngineView* view, const QString& html) {
    // Written into a blank document, as the page is a text and no address.
    m_pendingHtml.insert(view, html);
    view->load(BlankUrl);
}

void ReaderPanes::showMessage(QWebEngineView* view, const QString& html) {
    // A document of its own address: a page load asked for afterwards always replaces it,
    // which a text written into a blank document cannot promise.
    view->setHtml(html);
}

void ReaderPanes::onPaneLoaded(QWebEngineView* view, bool ok) {
    auto it = m_pendingHtml.find(view);
    if (it != m_pendingHtml.end() && view->url() == BlankUrl) {
        // Only into the blank document: a page that has started loading meanwhile keeps its
        // own text.
        const QString script =
            QStringLiteral("if(location.href==='about:blank'){document.open();document.write(") +
            scriptString(it.value()) + QStringLiteral(");document.close();}");
        m_pendingHtml.erase(it);
        view->page()->runJavaScript(script, [this, view](const QVariant&) {
            if (view == m_webBook && m_zoom != 100) {
                applyZoomNow();
            }
            reportPane(view);
        });
        return;
    }
    if (view == m_webBook && m_zoom != 100) {
        // Every page shows at the zoom the reader chose, not only the one shown when he chose
        // (at 100 the page's own style is left alone).
        applyZoomNow();
    }
    reportPane(view);
    // The reader's own messages are no page of the book: no caption, no history.
    if (view->url().scheme() == QLatin1String("data")) {
        return;
    }
    if (view == m_webBook) {
        emit pageLoaded(ok);
    }
}

void ReaderPanes::reportPane(QWebEngineView* view) {
    // FOLIO_READER_REPORT names a file that gets one line per document a pane shows: the
    // pane, its address and its text. End-to-end tests read it; so can a bug report.
    static const QString reportFile = qEnvironmentVariable("FOLIO_READER_REPORT");
    if (reportFile.isEmpty()) {
        return;
    }
    QPointer<QWebEngineView> pane(view);
    // Pages that build themselves by script after loading are reported once more.
    if (!m_reportAgain.contains(view)) {
        m_reportAgain.insert(view);
        QTimer::singleShot(1000, this, [this, pane] {
            if (pane) {
                reportPane(pane);
                m_reportAgain.remove(pane);
            }
        });
    }
    // The document's own address: the pane's may already be the next one's.
    view->page()->runJavaScript(QStringLiteral("[location.href, document.title+' | '+"
                                               "(document.body?document.body.innerText:'')]"),
                                [pane](const QVariant& result) {
                                    const QVariantList parts = result.toList();
                                    if (!pane || parts.size() != 2) {
                                        return;
                                    }
                                    const QString line = pane->objectName() + QLatin1Char('\t') +
                                                         parts[0].toString() + QLatin1Char('\t') +
                                                         parts[1].toString().simplified() +
                                                         QLatin1Char('\n');
                                    QFile file(reportFile);
                                    if (file.open(QIODevice::WriteOnly | QIODevice::Append)) {
                                        file.write(line.toUtf8());
                                    }
                                });
}

// ---- routing -----------------------------------------------------------------------------

bool ReaderPanes::contentsNavigation(const QUrl& url, bool mainFrame) {
    // The reader's own messages stay where they were put.
    if (!mainFrame || url.scheme() == QLatin1String("data")) {
        return true;
    }
    if (!m_contentsPage.isEmpty() &&
        url.path(QUrl::FullyDecoded) == m_contentsPage.path(QUrl::FullyDecoded)) {
        return true;
    }
    if (routeContentsLinkToPage(utf8(url.toString()))) {
        QTimer::singleShot(0, this, [this, url] { m_webBook->load(url); });
        return false;
    }
    return true;
}

bool ReaderPanes::pageNavigation(const QUrl& url, bool mainFrame) {
    if (!mainFrame) {
        return true;
    }
    // The chapter keys of a page's end and top ask for a chapter, not an address.
    if (url.scheme() ==
        QLatin1String(ChapterKeyScheme.data(), qsizetype(ChapterKeyScheme.size()))) {
        QTimer::singleShot(0, this, [this, which = url.path()] { emit chapterKey(which); });
        return false;
    }
    if (m_variant == Variant::Net) {
        return m_pageDecide ? m_pageDecide(url) : true;
    }
    if (isSoundLink(utf8(url.toString()))) {
        QTimer::singleShot(0, this, [this, url] { emit soundLinkClicked(url); });
        return false;
    }
    return true;
}

} // namespace folio::readerui
