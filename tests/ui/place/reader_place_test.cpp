// The reading window keeps its place: a book reopened (here a copy elsewhere, then the book
// compiled again) shows the page, scroll position and zoom it was left at, its contents pane marks
// that page, the book joins the recent books, and folioPage without a book offers the start page.
#include "reader/ui/readerstart.h"

#include "core/book.h"
#include "core/fileio.h"
#include "core/observer.h"
#include "core/pe.h"
#include "core/text.h"
#include "qt/resschemehandler.h"
#include "reader/core/recentbooks.h"
#include "reader/ui/placekeeper.h"
#include "tests/tools/testbook.h"
#include "tests/tools/waits.h"
#include "tests/tools/webeval.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <filesystem>
#include <map>
#include <memory>

using folio::readerui::FrmEBook;
using folio::readerui::PlaceKeeper;
using folio::readerui::ReaderOptions;
using folio::readerui::Variant;

namespace {

using folio::testing::evaluate;

bool makeBook(const std::string& path, const std::map<std::string, std::string>& pages) {
    return folio::testing::makeTestBook(FOLIO_BOOK_FIXTURE, path, pages,
                                        "水浒传:施耐庵:index.html:tree.html:::::2026-12-08");
}

} // namespace

class ReaderPlaceTest : public QObject {
    Q_OBJECT
  private slots:
    void placeKeptAcrossOpenings();
    void startPageOnlyWithoutABook();

  private:
    std::unique_ptr<FrmEBook> open(const QString& book);
    QTemporaryDir m_dir;
    folio::SilentObserver m_messages;
};

std::unique_ptr<FrmEBook> ReaderPlaceTest::open(const QString& book) {
    ReaderOptions options;
    options.variant = Variant::Page;
    options.bookPath = book;
    options.dialogs = &m_messages;
    auto window = std::make_unique<FrmEBook>(options);
    window->load();
    folio::readerui::followReading(*window, m_dir.filePath(QStringLiteral("state")));
    window->resize(900, 600);
    window->show();
    return window;
}

void ReaderPlaceTest::placeKeptAcrossOpenings() {
    std::string filler;
    for (int i = 0; i < 300; ++i)
        filler += "<p>第" + std::to_string(i) + "行</p>";
    const std::string head = "<html><head><meta charset='gb2312'><title>";
    const std::string book = m_dir.filePath(QStringLiteral("book.exe")).toStdString();
    std::map<std::string, std::string> pages = {
        {"index.html", head + "首页</title></head><body>home</body></html>"},
        {"tree.html", head + "目录</title></head><body>"
                             "<a id='c1' href='ch1.html'>一</a>"
                             "<a id='c2' href='ch2.html'>二</a>"
                             "<a id='c3' href='ch3.html'>三</a></body></html>"},
        {"ch1.html", head + "第一回</title></head><body>" + filler + "</body></html>"},
        {"ch2.html", head + "第二回</title></head><body>" + filler + "</body></html>"}};
    QVERIFY(makeBook(book, pages));
    {
        auto window = open(QString::fromStdString(book));
        FOLIO_WAIT_COMPARE(window->webBook()->title(), QStringLiteral("首页"));
        FOLIO_WAIT_COMPARE(window->webTree()->title(), QStringLiteral("目录"));
        window->webBook()->setUrl(QUrl(window->resourcePrefix() + QStringLiteral("ch1.html")));
        FOLIO_WAIT_COMPARE(window->webBook()->title(), QStringLiteral("第一回"));
        window->webBook()->setUrl(QUrl(window->resourcePrefix() + QStringLiteral("CH2.HTML")));
        FOLIO_WAIT_COMPARE(window->webBook()->title(), QStringLiteral("第二回"));
        // The contents pane marks the chapter being read.
        FOLIO_WAIT_COMPARE(
            evaluate(window->webTree(),
                     QStringLiteral("document.getElementsByClassName('folio-current')[0].id"))
                .toString(),
            QStringLiteral("c2"));
        window->applyZoom(140);
        evaluate(window->webBook(), QStringLiteral("window.scrollTo(0, 900)"));
        FOLIO_WAIT_COMPARE(int(window->webBook()->page()->scrollPosition().y()), 900);
        window->close();
    }

    // The same book, copied elsewhere under another name, opens where it was left.
    std::filesystem::create_directories(m_dir.filePath(QStringLiteral("copy")).toStdString());
    const QString copy = m_dir.filePath(QStringLiteral("copy/其他.exe"));
    std::filesystem::copy_file(book, copy.toStdString());
    auto window = open(copy);
    auto* keeper = window->findChild<PlaceKeeper*>();
    QVERIFY(keeper);
    QSignalSpy restored(keeper, &PlaceKeeper::restored);
    FOLIO_WAIT_COMPARE(restored.count(), 1);
    QCOMPARE(window->webBook()->title(), QStringLiteral("第二回"));
    QCOMPARE(window->zoomLevel(), 140);
    QCOMPARE(evaluate(window->webBook(), QStringLiteral("window.scrollY")).toInt(), 900);
    QCOMPARE(evaluate(window->webBook(), QStringLiteral("document.body.style.zoom")).toString(),
             QStringLiteral("140%"));

    // Both paths are among the recent books, the last opened first, under the book's title.
    const auto recent =
        folio::reader::RecentBooks(m_dir.filePath(QStringLiteral("state")).toStdString()).list();
    QCOMPARE(recent.size(), std::size_t(2));
    QCOMPARE(QString::fromStdString(recent[0].path), copy);
    QCOMPARE(QString::fromStdString(recent[0].title), QStringLiteral("水浒传"));
    window.reset();

    // The book compiled again with a chapter more opens where it was left as well.
    pages["ch3.html"] = head + "第三回</title></head><body>three</body></html>";
    QVERIFY(makeBook(book, pages));
    auto rebuilt = open(QString::fromStdString(book));
    QSignalSpy again(rebuilt->findChild<PlaceKeeper*>(), &PlaceKeeper::restored);
    FOLIO_WAIT_COMPARE(again.count(), 1);
    QCOMPARE(rebuilt->webBook()->title(), QStringLiteral("第二回"));
    QCOMPARE(rebuilt->zoomLevel(), 140);
    QCOMPARE(evaluate(rebuilt->webBook(), QStringLiteral("window.scrollY")).toInt(), 900);
    // Its contents pane shows the two chapters read in the earlier build as read.
    FOLIO_WAIT_COMPARE(
        evaluate(rebuilt->webTree(), QStringLiteral("(function(){var r=[],a=document."
                                                    "getElementsByClassName('folio-read');for(var "
                                                    "i=0;i<a.length;i++)r.push(a[i].id);"
                                                    "return r.join(',');})()"))
            .toString(),
        QStringLiteral("c1,c2"));
}

void ReaderPlaceTest::startPageOnlyWithoutABook() {
    // The program's own file is no Book image: started alone, folioPage offers the start page.
    QVERIFY(folio::readerui::needsStartPage(QApplication::applicationFilePath()));
    QVERIFY(!folio::readerui::needsStartPage(m_dir.filePath(QStringLiteral("book.exe"))));
}

int main(int argc, char** argv) {
    folio::qt::ResSchemeHandler::registerScheme();
    QApplication app(argc, argv);
    ReaderPlaceTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "reader_place_test.moc"
