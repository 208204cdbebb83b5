// The start page and the place keeping put around a reading window.
#include "reader/ui/readerstart.h"

#include "reader/core/placestore.h"
#include "reader/core/recentbooks.h"
#include "reader/ui/booksession.h"
#include "reader/ui/placekeeper.h"
#include "reader/ui/startpage.h"
#include "reader/ui/uitext.h"

#include "core/book.h"
#include "qt/language.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTimer>
#include <QWebEngineView>

namespace folio::readerui {

bool needsStartPage(const QString& ownFile) {
    return !folio::reader::readBookTitle(utf8(ownFile)).has_value();
}

void showStartPage(ReaderOptions options) {
    auto* page = new StartPage(options.dialogs);
    page->setAttribute(Qt::WA_DeleteOnClose);
    // With no book there is no book folder: the captions come from the language file the
    // readers carry beside themselves.
    folio::qt::SelectLanguageFromLocale(QCoreApplication::applicationDirPath());
    QObject::connect(page, &StartPage::bookChosen, page, [page, options](const QString& path) {
        ReaderOptions chosen = options;
        chosen.bookPath = path;
        auto* window = new FrmEBook(chosen);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->load();
        followReading(*window);
        window->show();
        page->close();
    });
    page->show();
}

PlaceKeeper* followReading(FrmEBook& window, const QString& stateFolder) {
    PlaceKeeper::Book book;
    BookSession* session = window.session();
    if (window.variant() == Variant::Page && session && session->book()) {
        book.prefix = session->resourcePrefix();
        book.key = folio::reader::bookKey(*session->book());
        book.lineage = folio::reader::bookLineage(*session->book());
        book.pageStamp = [image = session->book()](std::string_view page) {
            return folio::reader::pageStamp(*image, page);
        };
        const QStringList fields = session->descriptorFields();
        // Written once the window is up, out of the way of its first page; a book that cannot
        // be recorded is still read.
        QTimer::singleShot(
            0, &window,
            [stateFolder, path = session->bookPath(),
             title = fields.isEmpty() ? QString() : fields[0]] {
                (void)folio::reader::RecentBooks(utf8(stateFolder)).add(utf8(path), utf8(title));
            });
    }
    auto* keeper = new PlaceKeeper(
        window.webTree(), window.webBook(), book, [&window] { return window.zoomLevel(); },
        [&window](int percent) { window.applyZoom(percent); }, stateFolder, &window);
    keeper->restore();

    // A dropped Book image opens in folioPage; folioNet reads a folder, not a book file.
    if (window.variant() == Variant::Page) {
        auto* drops = new BookDrops({&window, window.webTree(), window.webBook()}, &window);
        QObject::connect(drops, &BookDrops::bookDropped, &window, [](const QString& path) {
            QProcess::startDetached(QCoreApplication::applicationFilePath(), {path});
        });
    }
    return keeper;
}

} // namespace folio::readerui
