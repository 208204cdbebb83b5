// folioNet's online library: the panes' first pages, refreshing the contents and index pages,
// fetching a page (and what it needs) when it is followed, update and bookshelf, and handing a
// page's links to the download window. Downloads run on worker threads that the window never
// waits for.
#pragma once

#include "reader/ui/readerrules.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace folio {
class Observer;
}

namespace folio::readerui {

class BookSession;
class FrmDownload;
class ReaderPanes;

class OnlineLibrary : public QObject {
    Q_OBJECT
  public:
    // `observer` shows the library's messages; `dialogs` is what the download window hands
    // its boxes to (null: the real ones). `downloads` false keeps every download off (tests).
    OnlineLibrary(QWidget* window, BookSession* session, ReaderPanes* panes,
                  folio::Observer& observer, folio::Observer* dialogs, bool downloads);
    ~OnlineLibrary() override;

    // Starts both panes on the pages kept in the program folder (or a word that they are
    // coming).
    void showKept();
    // Fetches the contents and index pages again and shows the fresh copies.
    void refresh();
    // The update and bookshelf buttons: the contents page, the index page.
    void update();
    void bookshelf();
    // Decides a page-pane navigation: a page not kept yet is fetched first.
    bool pageNavigation(const QUrl& url);
    // The download window, filled with the page pane's links.
    void downloadChapters();
    FrmDownload* downloadWindow() const { return m_download; }

    // Downloads still running (the window does not wait for them when it closes).
    int running() const;

  signals:
    // A refresh has ended and the panes were told what to show.
    void refreshed(bool reached);

  private:
    struct Mailbox;
    // Downloads on a worker thread; `done` gets one message per download ("" when it
    // succeeded) on the window's thread, unless the window is gone by then.
    void fetchInBackground(std::vector<Download> list,
                           std::function<void(const std::vector<std::string>&)> done);
    // Downloads a page, then whatever it needs that is not kept yet; `done` gets the page's
    // own result.
    void fetchPage(const Download& page, std::function<void(const std::string&)> done);
    void fetchAndShow(const Download& page, bool contentsPane, const QString& failure);

    QWidget* m_window;
    BookSession* m_session;
    ReaderPanes* m_panes;
    folio::Observer& m_observer;
    folio::Observer* m_dialogs;
    bool m_downloads;
    std::shared_ptr<Mailbox> m_mailbox;
    QPointer<FrmDownload> m_download;
};

} // namespace folio::readerui
