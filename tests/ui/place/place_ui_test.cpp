// The place kept across openings on real browser panes, the contents pane marking the page being
// read, and the start page listing a recent book and opening it.
#include "reader/ui/placekeeper.h"
#include "reader/ui/startpage.h"

#include "core/book.h"
#include "core/pe.h"
#include "qt/language.h"
#include "reader/core/placestore.h"
#include "reader/core/recentbooks.h"
#include "tests/tools/recordingobserver.h"
#include "tests/tools/waits.h"
#include "tests/tools/webeval.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <filesystem>
#include <memory>

using folio::readerui::PlaceKeeper;
using folio::readerui::StartPage;

namespace {

using folio::testing::evaluate;
using folio::testing::RecordingObserver;

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A reading window's two panes, with a zoom the keeper reads and sets.
struct Panes {
    QWidget window;
    QWebEngineView* tree = new QWebEngineView(&window);
    QWebEngineView* book = new QWebEngineView(&window);
    int zoom = 100;
    Panes() {
        window.resize(800, 400);
        tree->setGeometry(0, 0, 200, 400);
        book->setGeometry(200, 0, 600, 400);
        window.show();
    }
};

} // namespace

class PlaceUiTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void placeRestoredAtTheNextOpening();
    void contentsMarkFollowsThePage();
    void startPageListsARecentBookAndOpensIt();
    void startPageRefusesWhatIsNoBook();
    void startPageCaptionsInEveryLanguage();
    void bookDroppedOnAPaneIsCaught();

  private:
    std::unique_ptr<PlaceKeeper> keeperFor(Panes& panes);
    QTemporaryDir m_dir;
    QString m_prefix;
    QString m_state;
};

void PlaceUiTest::initTestCase() {
    QVERIFY(m_dir.isValid());
    m_prefix = QUrl::fromLocalFile(m_dir.path() + QStringLiteral("/")).toString();
    m_state = m_dir.filePath(QStringLiteral("state"));
    QByteArray filler;
    for (int i = 0; i < 300; ++i)
        filler += "<p>line " + QByteArray::number(i) + "</p>";
    writeFile(m_dir.filePath(QStringLiteral("ch1.html")),
              "<html><head><title>one</title></head><body>" + filler + "</body></html>");
    writeFile(m_dir.filePath(QStringLiteral("ch2.html")),
              "<html><head><title>two</title></head><body>" + filler + "</body></html>");
    // An author's own contents page: chapter 2's link far down, out of sight at first.
    QByteArray links = "<a id='l1' href='ch1.html'>1</a>";
    for (int i = 0; i < 100; ++i)
        links += "<p>-</p>";
    links += "<a id='l2' href='CH2.html'>2</a>";
    writeFile(m_dir.filePath(QStringLiteral("tree.html")),
              "<html><head><title>contents</title></head><body>" + links + "</body></html>");
}

std::unique_ptr<PlaceKeeper> PlaceUiTest::keeperFor(Panes& panes) {
    return std::make_unique<PlaceKeeper>(
        panes.tree, panes.book, PlaceKeeper::Book{m_prefix, "00000000000000aa"},
        [&panes] { return panes.zoom; }, [&panes](int z) { panes.zoom = z; }, m_state);
}

void PlaceUiTest::placeRestoredAtTheNextOpening() {
    {
        Panes panes;
        auto keeper = keeperFor(panes);
        QVERIFY(!keeper->restore()); // nothing kept yet
        panes.book->setUrl(QUrl(m_prefix + QStringLiteral("index-missing.html")));
        panes.book->setUrl(QUrl(m_prefix + QStringLiteral("ch2.html")));
        FOLIO_WAIT_COMPARE(panes.book->title(), QStringLiteral("two"));
        panes.zoom = 160;
        evaluate(panes.book, QStringLiteral("window.scrollTo(0, 700)"));
        FOLIO_WAIT_COMPARE(int(panes.book->page()->scrollPosition().y()), 700);
        // Closing the window writes the place at once.
        QSignalSpy saved(keeper.get(), &PlaceKeeper::saved);
        panes.window.close();
        QVERIFY(saved.count() >= 1);
    }
    const auto place = folio::reader::PlaceStore(m_state.toStdString()).find("00000000000000aa");
    QVERIFY(place.has_value());
    QCOMPARE(QString::fromStdString(place->page), QStringLiteral("ch2.html"));
    QCOMPARE(place->scrollY, 700);
    QCOMPARE(place->zoom, 160);

    // The next opening: zoom first, then the page, then the scroll once it has loaded.
    Panes panes;
    auto keeper = keeperFor(panes);
    QSignalSpy restored(keeper.get(), &PlaceKeeper::restored);
    panes.book->setUrl(QUrl(m_prefix + QStringLiteral("ch1.html"))); // the home page, replaced
    QVERIFY(keeper->restore());
    QCOMPARE(panes.zoom, 160);
    FOLIO_WAIT_COMPARE(restored.count(), 1);
    QCOMPARE(panes.book->title(), QStringLiteral("two"));
    QCOMPARE(evaluate(panes.book, QStringLiteral("window.scrollY")).toInt(), 700);

    // A page outside the book is not kept; the book's place stays.
    panes.book->setUrl(QUrl(QStringLiteral("about:blank")));
    FOLIO_WAIT_VERIFY(panes.book->url().toString() == QStringLiteral("about:blank"));
    keeper->saveNow();
    QCOMPARE(QString::fromStdString(
                 folio::reader::PlaceStore(m_state.toStdString()).find("00000000000000aa")->page),
             QStringLiteral("ch2.html"));
}

void PlaceUiTest::contentsMarkFollowsThePage() {
    Panes panes;
    auto keeper = keeperFor(panes);
    auto marked = [&] {
        return evaluate(panes.tree, QStringLiteral("(function(){var r=[];var a=document."
                                                   "getElementsByClassName('folio-current');"
                                                   "for(var i=0;i<a.length;i++)r.push(a[i].id);"
                                                   "return r.join(',');})()"))
            .toString();
    };
    panes.tree->setUrl(QUrl(m_prefix + QStringLiteral("tree.html")));
    panes.book->setUrl(QUrl(m_prefix + QStringLiteral("ch2.html")));
    FOLIO_WAIT_COMPARE(panes.tree->title(), QStringLiteral("contents"));
    FOLIO_WAIT_COMPARE(panes.book->title(), QStringLiteral("two"));
    FOLIO_WAIT_COMPARE(marked(), QStringLiteral("l2"));
    // The link was far down: the contents pane scrolled to it.
    QVERIFY(evaluate(panes.tree, QStringLiteral("window.scrollY")).toInt() > 0);

    panes.book->setUrl(QUrl(m_prefix + QStringLiteral("ch1.html#top")));
    FOLIO_WAIT_COMPARE(marked(), QStringLiteral("l1"));
}

void PlaceUiTest::startPageListsARecentBookAndOpensIt() {
    const QString bookPath = m_dir.filePath(QStringLiteral("红楼梦.exe"));
    std::filesystem::copy_file(FOLIO_BOOK_FIXTURE, bookPath.toStdString());
    QCOMPARE(folio::book::WriteDescriptor(bookPath.toStdString(),
                                          "红楼梦:曹雪芹:index.html:tree.html:::::2026-12-08"),
             1);
    const QString state = m_dir.filePath(QStringLiteral("start-state"));
    RecordingObserver messages;
    {
        StartPage empty(&messages, state);
        QCOMPARE(empty.recentList()->count(), 0);
        QVERIFY(empty.findChild<QLabel*>(QStringLiteral("LblEmpty"))->isVisibleTo(&empty));
    }
    QVERIFY(folio::reader::RecentBooks(state.toStdString()).add(bookPath.toStdString(), "红楼梦"));
    QVERIFY(folio::reader::RecentBooks(state.toStdString())
                .add(m_dir.filePath(QStringLiteral("gone.exe")).toStdString(), "gone")
                .has_value() == true);

    StartPage page(&messages, state);
    page.show();
    QCOMPARE(page.openButton()->text(), QStringLiteral("打开"));
    QCOMPARE(page.recentList()->count(), 1); // gone.exe is not on disk
    QVERIFY(page.recentList()->item(0)->text().startsWith(QStringLiteral("红楼梦\n")));

    QSignalSpy chosen(&page, &StartPage::bookChosen);
    emit page.recentList()->itemActivated(page.recentList()->item(0));
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).toString(), bookPath);

    // "打开" asks for a file; cancelling does nothing, a book opens.
    QString answer;
    page.setFileChooser([&answer](QWidget*) { return answer; });
    page.openButton()->click();
    QCOMPARE(chosen.count(), 1);
    answer = bookPath;
    page.openButton()->click();
    QCOMPARE(chosen.count(), 2);

    // A book dropped on the page opens as well.
    QMimeData drop;
    drop.setUrls({QUrl::fromLocalFile(bookPath)});
    QCOMPARE(folio::readerui::droppedFile(&drop), bookPath);
    QMimeData text;
    text.setText(QStringLiteral("not a file"));
    QVERIFY(folio::readerui::droppedFile(&text).isEmpty());
    QVERIFY(messages.boxes.empty());

    if (qEnvironmentVariableIsSet("FOLIO_SCREENSHOT"))
        page.grab().save(qEnvironmentVariable("FOLIO_SCREENSHOT"));
}

void PlaceUiTest::startPageRefusesWhatIsNoBook() {
    RecordingObserver messages;
    StartPage page(&messages, m_dir.filePath(QStringLiteral("refuse-state")));
    QSignalSpy chosen(&page, &StartPage::bookChosen);
    const QString notBook = m_dir.filePath(QStringLiteral("ch1.html"));
    page.setFileChooser([&](QWidget*) { return notBook; });
    page.openButton()->click();
    QCOMPARE(chosen.count(), 0);
    QCOMPARE(messages.boxes.size(), std::size_t(1));
    QVERIFY(messages.boxes[0].text.starts_with("不能打开这本书："));
    QVERIFY(messages.shown(notBook.toStdString()));

    // The PE template without a descriptor is not a book either.
    const QString bare = m_dir.filePath(QStringLiteral("bare.exe"));
    std::filesystem::copy_file(FOLIO_BOOK_FIXTURE, bare.toStdString());
    QVERIFY(!page.openBook(bare));
    QCOMPARE(messages.boxes.size(), std::size_t(2));
    QVERIFY(messages.boxes[1].text.find("descriptor") != std::string::npos);
}

void PlaceUiTest::startPageCaptionsInEveryLanguage() {
    const QString folder = m_dir.filePath(QStringLiteral("lng"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QFile::copy(QStringLiteral(FOLIO_SOURCE_DIR "/data/folioPage/Language.lng"),
                        folder + QStringLiteral("/Language.lng")));
    // The caption walk gives a control without an entry its own name: every named control of
    // the start page needs one in every language.
    const QStringList languages = folio::qt::ListLanguages(folder);
    QCOMPARE(languages.size(), 4);
    QStringList open;
    for (const QString& language : languages.mid(0, 3)) {
        StartPage page;
        folio::qt::ApplyLanguage(folder, language);
        for (QWidget* control : page.findChildren<QWidget*>()) {
            const QString name = control->objectName();
            if (auto* label = qobject_cast<QLabel*>(control); label && !name.isEmpty())
                QVERIFY2(label->text() != name, qPrintable(language + QLatin1Char(' ') + name));
        }
        QVERIFY(page.openButton()->text() != page.openButton()->objectName());
        open << page.openButton()->text();
    }
    QCOMPARE(open,
             (QStringList{QStringLiteral("Open"), QStringLiteral("打开"), QStringLiteral("開啟")}));
}

void PlaceUiTest::bookDroppedOnAPaneIsCaught() {
    Panes panes;
    folio::readerui::BookDrops drops({&panes.window, panes.tree, panes.book}, &panes.window);
    QSignalSpy dropped(&drops, &folio::readerui::BookDrops::bookDropped);
    QSignalSpy loads(panes.book, &QWebEngineView::loadStarted);
    QSignalSpy loaded(panes.book, &QWebEngineView::loadFinished);
    // The widget that draws the page exists once the pane shows one.
    panes.book->setUrl(QUrl(m_prefix + QStringLiteral("ch1.html")));
    FOLIO_WAIT_COMPARE(panes.book->title(), QStringLiteral("one"));
    QWidget* surface = panes.book->focusProxy() ? panes.book->focusProxy() : panes.book;

    const QString file = m_dir.filePath(QStringLiteral("ch2.html"));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(file)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(surface, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(surface, &drop);
    QCOMPARE(dropped.count(), 1);
    QCOMPARE(dropped.at(0).at(0).toString(), file);
    // The pane did not take the file for a page to show. A drop it had passed on would have
    // started a load by the time the renderer answers a script sent after it; every load
    // started is waited for to its end.
    evaluate(panes.book, QStringLiteral("0"));
    FOLIO_WAIT_VERIFY(loaded.count() >= loads.count());
    QCOMPARE(panes.book->title(), QStringLiteral("one"));

    // Text dropped is left to the pane.
    QMimeData text;
    text.setText(QStringLiteral("words"));
    QDropEvent textDrop(QPointF(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(surface, &textDrop);
    QCOMPARE(dropped.count(), 1);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    PlaceUiTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "place_ui_test.moc"
