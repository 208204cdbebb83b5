// Keeps the reader's place in a book: restores the last page, its scroll position and the zoom
// when the book opens, records them as the reader moves, and marks in the contents pane the page
// being read and the pages read before, in this opening or an earlier one.
#pragma once

#include "reader/core/placestore.h"

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QTimer;
class QWebEngineView;

namespace folio::readerui {

class PlaceKeeper : public QObject {
    Q_OBJECT
  public:
    struct Book {
        QString prefix;  // the address every page of the book starts with
        std::string key; // folio::reader::bookKey of the book; empty: no place is kept
        // folio::reader::bookLineage, and the stamp of a page of the book: with them a book
        // compiled again opens at the page it was left at. Empty: only this very build's place.
        std::string lineage{};
        folio::reader::PageStamper pageStamp{};
    };
    // `zoom` reads the page pane's zoom, `setZoom` sets it for the pages loaded afterwards.
    // `stateFolder` empty means the user's own.
    PlaceKeeper(QWebEngineView* webTree, QWebEngineView* webBook, Book book,
                std::function<int()> zoom, std::function<void(int)> setZoom,
                QString stateFolder = {}, QObject* parent = nullptr);
    ~PlaceKeeper() override;

    // Sets the kept zoom and sends the page pane to the kept page, scrolled as it was once it
    // has loaded; false (nothing done) when the book has no place kept.
    bool restore();

    // Records the place now (a page outside the book is not recorded).
    void saveNow();

    // The page's name after the book's prefix; empty for an address outside the book.
    QString pageName(const QUrl& url) const;

    // Runs the contents pane's marks of the pages read and its highlight of the page being read.
    void highlightContents();

  signals:
    // The place was written to the state file.
    void saved();
    // The kept scroll position was applied after the restored page loaded.
    void restored();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void pageUrlChanged(const QUrl& url);
    void pageLoadFinished(bool ok);
    void scrolled(const QPointF& position);
    void scheduleSave();
    void markRead(const QUrl& url);

    QPointer<QWebEngineView> m_webTree;
    QPointer<QWebEngineView> m_webBook;
    Book m_book;
    std::function<int()> m_zoom;
    std::function<void(int)> m_setZoom;
    QString m_stateFolder;
    QTimer* m_saveTimer = nullptr;
    QUrl m_url;
    QPointF m_scroll;
    int m_zoomSeen = 100;
    std::optional<QPointF> m_pendingScroll; // to apply once the restored page has loaded
    QString m_pendingPage;
    std::vector<std::string> m_pagesRead; // as the book's read marks keep them
};

} // namespace folio::readerui
