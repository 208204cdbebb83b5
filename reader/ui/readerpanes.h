// The reading window's two browser panes and the splitter bar between them: their layout in
// twips, the splitter, which pane a link opens in, sound links, the reader's own documents
// (the about page, waiting and failure notes) and the page zoom kept across pages.
#pragma once

#include "reader/ui/readerrules.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUrl>

#include <functional>

class QFrame;
class QWebEngineProfile;
class QWebEngineView;
class QWidget;

namespace folio::readerui {

class ReaderPanes : public QObject {
    Q_OBJECT
  public:
    // WebTree, Pic and WebBook become children of `window`, their pages live in `profile`.
    ReaderPanes(QWidget* window, QWebEngineProfile* profile, Variant variant);
    ~ReaderPanes() override;

    QWebEngineView* webTree() const { return m_webTree; }
    QWebEngineView* webBook() const { return m_webBook; }
    QFrame* bar() const { return m_pic; }

    // Places the panes below `top` pixels of toolbars (the first toolbar `toolbar1Height`
    // high) with the contents pane `treeWidth` twips wide.
    // `bottom` pixels at the foot of the window are left free (the find bar).
    void layout(int top, int bottom, int toolbar1Height, int treeWidth);
    // The splitter bar released `xTwips` from its left edge.
    void releaseSplitter(int xTwips);
    // Current geometry of a pane in twips, as the layout rules see it.
    TwipRect paneTwips(QWidget* pane) const;

    // A text written into a blank document of the pane (it has no address).
    void showDocument(QWebEngineView* view, const QString& html);
    // A document of its own: a page load asked for afterwards always replaces it.
    void showMessage(QWebEngineView* view, const QString& html);

    // The page pane's zoom: applied now and to every page the pane loads afterwards.
    void setZoom(int percent);
    int zoom() const { return m_zoom; }
    // Whether the page pane is busy loading.
    bool pageLoading() const { return m_bookLoading; }

    // folioNet: decides the page pane's navigations (true lets the pane go there).
    void setPageNavigation(std::function<bool(const QUrl&)> decide);
    // The contents pane's own page, which stays in it (a Book image's tree.html does by its
    // name; an EPUB book's navigation document by this).
    void setContentsPage(const QUrl& url) { m_contentsPage = url; }

  signals:
    // folioPage: a link to a sound in the page pane; the pane stays where it is.
    void soundLinkClicked(const QUrl& url);
    // The page pane finished loading a page of the book (not one of the reader's notes).
    void pageLoaded(bool ok);
    // A page's end or top asked for the next chapter ("next") or the previous one at its end
    // ("previous-end").
    void chapterKey(const QString& which);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void applyZoomNow();
    void onPaneLoaded(QWebEngineView* view, bool ok);
    void reportPane(QWebEngineView* view);
    bool contentsNavigation(const QUrl& url, bool mainFrame);
    bool pageNavigation(const QUrl& url, bool mainFrame);

    QWidget* m_window;
    Variant m_variant;
    QWebEngineView* m_webTree = nullptr;
    QUrl m_contentsPage;
    QWebEngineView* m_webBook = nullptr;
    QFrame* m_pic = nullptr;
    std::function<bool(const QUrl&)> m_pageDecide;
    QHash<QWebEngineView*, QString> m_pendingHtml;
    QSet<QWebEngineView*> m_reportAgain;
    int m_top = 0;
    int m_bottom = 0;
    int m_toolbar1Height = 0;
    int m_treeWidth = TreeWidth;
    int m_zoom = 100;
    bool m_bookLoading = false;
};

} // namespace folio::readerui
