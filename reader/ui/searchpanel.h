// The search panel of the reading window: finds a text in every page of the open book (or of the
// folder of pages the online reader keeps) and lists each page by its title with the text
// around the match; choosing one opens that page.
#pragma once

#include "reader/core/booksearch.h"
#include "reader/core/readerrules.h"

#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QToolButton;
class QWebEngineView;

namespace folio::book {
class BookImage;
}

namespace folio::readerui {

class SearchPanel : public QWidget {
    Q_OBJECT
  public:
    // `programFolder` holds the language file the panel's texts come from.
    explicit SearchPanel(QWidget* parent = nullptr, QString programFolder = {});
    // An index still being built is told to stop; the window never waits for it.
    ~SearchPanel() override;

    // The book searched (null: none). Its pages' text is extracted at once on a worker thread,
    // so that the first search finds it ready; a search started meanwhile waits for it. The
    // build for a book set before is stopped.
    void setBook(std::shared_ptr<const book::BookImage> book);
    // A folder of page files searched instead of a book (the online reader's kept pages; empty:
    // none). Pages arrive there while the reader runs, so its index is built again, in the
    // background, each time the panel is activated.
    void setFolder(const QString& folder);
    // The search of the book or folder set (null: none); it lives as long as anyone holds it.
    std::shared_ptr<const reader::BookSearch> bookSearch() const {
        return m_session ? std::shared_ptr<const reader::BookSearch>(m_session, &m_session->search)
                         : nullptr;
    }

    // Sets the panel's texts in the current language (activate() does it too).
    void retranslate();

    // Searches the book for `text` on a worker thread; the list and the status line show the
    // outcome when it is done (a later search replaces an earlier one still running).
    void search(const QString& text);
    // Shows the panel with its text box focused and selected (what the shortcut does).
    void activate();
    // Places the panel over the lower part of the contents pane's rectangle (pixels of the
    // panel's parent), leaving the contents visible above it.
    void placeIn(const QRect& contentsPane);

    QLineEdit* textBox() const { return m_text; }
    QPushButton* searchButton() const { return m_button; }
    QListWidget* results() const { return m_list; }
    QLabel* statusLine() const { return m_status; }
    // The text of the last finished search.
    QString lastText() const { return m_lastText; }

    // Loads `url` in `view` and, once it has loaded, highlights every match of `text` in it;
    // `done` receives the number of matches.
    static void openHighlighted(QWebEngineView* view, const QUrl& url, const QString& text,
                                std::function<void(int matches)> done = {});

  signals:
    // A result was chosen: the page's resource name and the text searched for.
    void pageChosen(const QString& name, const QString& text);
    // A search has finished and its results are listed.
    void searchFinished(int pages);
    // The panel asks to be shown (the shortcut, or activate()).
    void activated();

  private:
    void startSearch();
    void runSearch(const QString& text);
    void startIndex();
    void indexFolder();
    QString languageText(const reader::ReaderText& text) const;
    void showResults(const std::vector<reader::SearchHit>& hits, const QString& searched);
    void choose(QListWidgetItem* item);

    QLineEdit* m_text = nullptr;
    QPushButton* m_button = nullptr;
    QListWidget* m_list = nullptr;
    QLabel* m_status = nullptr;
    QToolButton* m_close = nullptr;
    QString m_programFolder;
    QString m_folder;      // of the pages searched, when they are files
    QString m_lastText;    // of the last search shown
    QString m_pendingText; // of the search running
    // Searches are numbered: one finishing after a later one started, or after the book
    // changed, is not shown.
    std::uint64_t m_searchId = 0;
    std::uint64_t m_pendingId = 0;
    QListWidgetItem* m_lastChosen = nullptr;
    QElapsedTimer m_chosenAt;
    // The book and its search live as long as any worker still uses them.
    struct Session {
        std::shared_ptr<const book::BookImage> book;
        reader::BookSearch search;
        explicit Session(std::shared_ptr<const book::BookImage> b)
            : book(std::move(b)), search(*book) {}
        explicit Session(const std::filesystem::path& folder) : search(folder) {}
    };
    // Stops the current session's work and lets it go.
    void dropSession();
    // Lets the book or folder searched go, with its results and any search still running.
    void forget();
    std::shared_ptr<Session> m_session;
    std::weak_ptr<Session> m_pendingSession; // the one the search running was asked of
    QFutureWatcher<std::vector<reader::SearchHit>> m_watcher;
};

} // namespace folio::readerui
