// The reading window on real Book images: start-up, panes, link routing, zoom, sound links,
// saving, the res: scheme, and the online variant.
#include "qt/language.h"
#include "qt/resschemehandler.h"
#include "reader/ui/frmebook.h"

#include "core/book.h"
#include "core/fileio.h"
#include "core/pe.h"
#include "core/text.h"
#include "reader/core/voice.h"
#include "tests/tools/fakespeech.h"
#include "tests/tools/recordingobserver.h"
#include "tests/tools/waits.h"
#include "tests/tools/webeval.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMediaPlayer>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <deque>
#include <filesystem>
#include <map>

using folio::readerui::FrmEBook;
using folio::readerui::ReaderOptions;
using folio::readerui::Variant;

namespace {

using folio::testing::FakeSpeech;
using folio::testing::RecordingObserver;

QByteArray pngBytes(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::red);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return bytes;
}

// About a second of silent MPEG-1 Layer III frames (128 kbit/s, 44.1 kHz): zero side
// information decodes to silence, so no encoder is needed.
QByteArray silentMp3() {
    QByteArray frame(417, '\0');
    frame[0] = char(0xFF);
    frame[1] = char(0xFB);
    frame[2] = char(0x90);
    frame[3] = char(0x00);
    QByteArray all;
    for (int i = 0; i < 40; ++i) {
        all += frame;
    }
    return all;
}

std::string templatePath() {
    return std::string(FOLIO_DIST_DIR) + "/folioPage/folioPage.dat";
}

// Builds a Book image the way the compiler does: the template, every page as a type-2110
// resource named in upper case, and the descriptor.
bool makeBook(const QString& path, const std::string& descriptor,
              const std::map<std::string, QByteArray>& pages, QString* why) {
    if (auto c = folio::copyFileAtomic(templatePath(), path.toStdString()); !c) {
        *why = QString::fromStdString(c.error().message);
        return false;
    }
    auto u = folio::pe::ResourceUpdater::begin(path.toStdString(), false);
    if (!u) {
        *why = QString::fromStdString(u.error().message);
        return false;
    }
    for (const auto& [name, bytes] : pages) {
        u->update(folio::pe::ResourceId::fromId(folio::book::PageType),
                  folio::book::pageResourceName(name), folio::book::ResourceLanguage,
                  folio::Bytes(bytes.begin(), bytes.end()));
    }
    const std::string ansi = folio::toAnsi(descriptor);
    u->update(folio::pe::ResourceId::fromName(folio::book::DescriptorType),
              folio::pe::ResourceId::fromId(folio::book::DescriptorId),
              folio::book::ResourceLanguage, folio::Bytes(ansi.begin(), ansi.end()));
    if (auto e = u->end(false); !e) {
        *why = QString::fromStdString(e.error().message);
        return false;
    }
    return true;
}

using folio::testing::evaluate;

QString pageText(const char* title, const char* body) {
    return QStringLiteral("<html><head><meta charset='gb2312'><title>%1</title></head>"
                          "<body>%2</body></html>")
        .arg(QString::fromUtf8(title), QString::fromUtf8(body));
}

QByteArray ansi(const QString& s) {
    const std::string a = folio::toAnsi(s.toStdString());
    return QByteArray(a.data(), qsizetype(a.size()));
}

} // namespace

class ReaderWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void startsOnTheBooksPages();
    void schemeServesOnlyTheOpenBook();
    void contentsLinksOpenInThePagePane();
    void relativeLinksPicturesAndStyleSheets();
    void zoomStepsAndClamps();
    void zoomMenuSetsTheZoom();
    void contentsPaneClosesExpandsAndSplitterFloor();
    void playWithoutMediaDoesNothing();
    void soundLinkPlaysTheResource();
    void saveWritesClipboardAndRespectsNo();
    void shortDescriptorShowsTheAboutPage();
    void onlineReaderShowsItsFolder();
    void epubOpensWithItsContents();
    void bookmarksTakeThePageAddressAndOpenOne();
    void speechBarKeepsOffTheSecondToolbarInEveryLanguage();
    void cleanupTestCase();

  private:
    QTemporaryDir m_dir;
    RecordingObserver m_messages;
    FakeSpeech m_speech;
    std::unique_ptr<FrmEBook> m_window;
    QString m_bookPath;
};

void ReaderWindowTest::initTestCase() {
    QVERIFY(m_dir.isValid());
    QVERIFY2(QFile::exists(QString::fromStdString(templatePath())),
             "the reader template folioPage.dat has not been built");

    std::map<std::string, QByteArray> pages;
    // The sample project's own pages, when present, travel in the book too.
    const QDir sample(QStringLiteral(FOLIO_SOURCE_DIR "/data/Book"));
    for (const QFileInfo& f : sample.entryInfoList(QDir::Files)) {
        QFile file(f.absoluteFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        pages[f.fileName().toStdString()] = file.readAll();
    }
    // Our own pages, with names in other cases than the ones the links use.
    pages["tree.html"] = ansi(
        pageText("目录", "<a id='c2' href='chapter2.html'>第二章</a> "
                         "<a id='js' href=\"javascript:void(document.title='ran')\">script</a>"));
    pages["index.html"] =
        ansi(pageText("首页", "<p id='p'>正文</p><a id='s' href='music/Song.mp3'>歌</a> "
                              "<a id='styled' href='Styled.HTML'>styled</a>"));
    pages["Chapter2.html"] = ansi(pageText("第二章", "<p>第二章正文</p>"));
    pages["styled.html"] = ansi(QStringLiteral(
        "<html><head><title>styled</title><link rel='stylesheet' href='Look.CSS'></head>"
        "<body><img id='pic' src='pic.png'><a id='back' href='INDEX.html'>back</a></body>"
        "</html>"));
    pages["look.css"] = "body { color: rgb(1, 2, 3); }";
    pages["pic.png"] = pngBytes(7, 5);
    pages["song.mp3"] = silentMp3();

    m_bookPath = m_dir.filePath(QStringLiteral("book.exe"));
    QString why;
    QVERIFY2(makeBook(m_bookPath, "红楼梦:曹雪芹:index.html:tree.html:::::2026-12-06", pages, &why),
             qPrintable(why));

    // An independent reader of PE files must accept the book and find its pages.
    QProcess pefile;
    pefile.start(
        QStringLiteral("/usr/bin/python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import sys,pefile\n"
                        "pe=pefile.PE(sys.argv[1])\n"
                        "t=[e for e in pe.DIRECTORY_ENTRY_RESOURCE.entries if e.id==2110]\n"
                        "print(len(t[0].directory.entries))"),
         m_bookPath});
    QVERIFY(pefile.waitForFinished(folio::testing::WaitBoundMs));
    QCOMPARE(pefile.exitCode(), 0);
    QCOMPARE(pefile.readAllStandardOutput().trimmed().toInt(), int(pages.size()));

    ReaderOptions options;
    options.variant = Variant::Page;
    options.bookPath = m_bookPath;
    options.dialogs = &m_messages;
    options.speech = &m_speech;
    m_window = std::make_unique<FrmEBook>(options);
    m_window->load();
    m_window->show();
}

void ReaderWindowTest::startsOnTheBooksPages() {
    QCOMPARE(m_window->windowTitle(), QStringLiteral("folioPage-红楼梦-曹雪芹"));
    QCOMPARE(m_window->descriptorFields().size(), 9);
    const QString prefix = QStringLiteral("RES://") + m_dir.path() + QStringLiteral("/book.exe/");
    QCOMPARE(m_window->resourcePrefix(), prefix);
    QCOMPARE(m_window->homeAddress(), prefix + QStringLiteral("index.html"));
    QCOMPARE(m_window->zoomLevel(), 100);

    FOLIO_WAIT_COMPARE(m_window->webTree()->title(), QStringLiteral("目录"));
    FOLIO_WAIT_COMPARE(m_window->webBook()->title(), QStringLiteral("首页"));
    // The page text came through the page's own code page.
    QCOMPARE(evaluate(m_window->webBook(), QStringLiteral("document.getElementById('p').innerText"))
                 .toString(),
             QStringLiteral("正文"));
    QCOMPARE(m_window->webTree()->url().path(),
             m_dir.path() + QStringLiteral("/book.exe/tree.html"));

    // The offline panes show no context menu.
    QCOMPARE(m_window->webBook()->contextMenuPolicy(), Qt::NoContextMenu);
    QCOMPARE(m_window->webTree()->contextMenuPolicy(), Qt::NoContextMenu);
    QVERIFY(!m_window->button(2, 6)->isEnabled()); // update is idle offline
    QVERIFY(!m_window->button(1, 19)->isVisible());
    QVERIFY(!m_window->button(2, 3)->isVisible());
    // Every control carries its name.
    for (const char* name :
         {"WebTree", "WebBook", "Pic", "Toolbar1", "Toolbar2", "ImgIcon", "Picture1", "Check1",
          "ComVoice", "Slider1", "Volume", "Rate", "Label7", "Label8", "ComOutput", "ComFormat",
          "Text1", "WMPlayer1", "Timer1"}) {
        QVERIFY2(m_window->findChild<QObject*>(QString::fromLatin1(name)), name);
    }
    QCOMPARE(m_window->findChild<QComboBox*>(QStringLiteral("ComFormat"))->count(), 36);
    QCOMPARE(m_window->findChild<QComboBox*>(QStringLiteral("ComFormat"))->currentText(),
             QStringLiteral("SAFT48kHz16BitMono"));
}

void ReaderWindowTest::schemeServesOnlyTheOpenBook() {
    auto opened = folio::book::BookImage::open(m_bookPath.toStdString());
    QVERIFY(opened);
    std::shared_ptr<const folio::book::BookImage> book(std::move(*opened));
    const QString prefix = QStringLiteral("RES://") + m_dir.path() + QStringLiteral("/book.exe/");
    folio::qt::ResSchemeHandler handler(book, prefix);

    auto page = handler.lookup(QUrl(prefix + QStringLiteral("Chapter2.HTML")));
    QVERIFY(page);
    QCOMPARE(page->mimeType, QByteArray("text/html"));
    QVERIFY(
        QByteArray(reinterpret_cast<const char*>(page->data.data()), qsizetype(page->data.size()))
            .contains("<title>"));
    auto typed = handler.lookup(QUrl(prefix + QStringLiteral("%232110/PIC.PNG")));
    QVERIFY(typed);
    QCOMPARE(typed->mimeType, QByteArray("image/png"));
    QVERIFY(!handler.lookup(QUrl(prefix + QStringLiteral("%233/PIC.PNG")))); // another type

    QVERIFY(!handler.lookup(QUrl(prefix + QStringLiteral("missing.html"))));
    QVERIFY(!handler.lookup(
        QUrl(QStringLiteral("RES://") + m_dir.path() + QStringLiteral("/other.exe/INDEX.HTML"))));
    QVERIFY(!handler.lookup(QUrl(QStringLiteral("res:///etc/passwd"))));
    QVERIFY(!handler.lookup(
        QUrl(QStringLiteral("file://") + m_dir.path() + QStringLiteral("/book.exe/INDEX.HTML"))));

    // A page the book does not hold is the reader's own page naming it, with the way home;
    // a missing picture fails, and the browser stays on our scheme.
    QWebEngineView probe;
    probe.setPage(new QWebEnginePage(m_window->profile(), &probe));
    QSignalSpy finished(&probe, &QWebEngineView::loadFinished);
    probe.load(QUrl(prefix + QStringLiteral("missing.html")));
    FOLIO_WAIT_COMPARE(finished.count(), 1);
    QCOMPARE(probe.title(), QStringLiteral("找不到这一页"));
    QCOMPARE(
        evaluate(&probe, QStringLiteral("document.getElementById('folio-home').href")).toString(),
        QUrl(m_window->homeAddress()).toString(QUrl::FullyEncoded));
    probe.load(QUrl(prefix + QStringLiteral("missing.png")));
    FOLIO_WAIT_COMPARE(finished.count(), 2);
    QCOMPARE(finished.at(1).at(0).toBool(), false);
}

void ReaderWindowTest::contentsLinksOpenInThePagePane() {
    QWebEngineView* tree = m_window->webTree();
    QWebEngineView* book = m_window->webBook();
    FOLIO_WAIT_COMPARE(tree->title(), QStringLiteral("目录"));
    evaluate(tree, QStringLiteral("document.getElementById('c2').click()"));
    FOLIO_WAIT_COMPARE(book->title(), QStringLiteral("第二章"));
    QVERIFY(book->url().path().endsWith(QStringLiteral("/book.exe/chapter2.html")));
    QVERIFY(tree->url().path().endsWith(QStringLiteral("/book.exe/tree.html")));
    QCOMPARE(tree->title(), QStringLiteral("目录"));

    // A script link runs in the contents pane itself.
    evaluate(tree, QStringLiteral("document.getElementById('js').click()"));
    FOLIO_WAIT_COMPARE(tree->title(), QStringLiteral("ran"));
    QCOMPARE(book->title(), QStringLiteral("第二章"));

    // Home returns the page pane to the index page.
    m_window->button(1, 6)->trigger();
    FOLIO_WAIT_COMPARE(book->title(), QStringLiteral("首页"));
}

void ReaderWindowTest::relativeLinksPicturesAndStyleSheets() {
    QWebEngineView* book = m_window->webBook();
    FOLIO_WAIT_COMPARE(book->title(), QStringLiteral("首页"));
    evaluate(book, QStringLiteral("document.getElementById('styled').click()"));
    FOLIO_WAIT_COMPARE(book->title(), QStringLiteral("styled"));
    FOLIO_WAIT_COMPARE(
        evaluate(book, QStringLiteral("getComputedStyle(document.body).color")).toString(),
        QStringLiteral("rgb(1, 2, 3)"));
    FOLIO_WAIT_COMPARE(
        evaluate(book, QStringLiteral("document.getElementById('pic').naturalWidth")).toInt(), 7);
    evaluate(book, QStringLiteral("document.getElementById('back').click()"));
    FOLIO_WAIT_COMPARE(book->title(), QStringLiteral("首页"));
}

void ReaderWindowTest::zoomStepsAndClamps() {
    QWebEngineView* book = m_window->webBook();
    FOLIO_WAIT_COMPARE(book->title(), QStringLiteral("首页"));
    QAction* in = m_window->button(1, 10);
    QAction* out = m_window->button(1, 11);
    QCOMPARE(in->text(), QStringLiteral("放大"));
    for (int i = 0; i < 9; ++i) {
        in->trigger();
    }
    QCOMPARE(m_window->zoomLevel(), 280);
    FOLIO_WAIT_COMPARE(evaluate(book, QStringLiteral("document.body.style.zoom")).toString(),
                       QStringLiteral("280%"));
    for (int i = 0; i < 10; ++i) {
        in->trigger();
    }
    QCOMPARE(m_window->zoomLevel(), 400);
    in->trigger();
    QCOMPARE(m_window->zoomLevel(), 400);
    FOLIO_WAIT_COMPARE(evaluate(book, QStringLiteral("document.body.style.zoom")).toString(),
                       QStringLiteral("400%"));
    for (int i = 0; i < 20; ++i) {
        out->trigger();
    }
    QCOMPARE(m_window->zoomLevel(), 40);
    FOLIO_WAIT_COMPARE(evaluate(book, QStringLiteral("document.body.style.zoom")).toString(),
                       QStringLiteral("40%"));
}

void ReaderWindowTest::zoomMenuSetsTheZoom() {
    QMenu* menu = m_window->button(1, 10)->menu();
    QVERIFY(menu);
    QCOMPARE(menu->actions().size(), 7);
    QAction* z150 = menu->findChild<QAction*>(QStringLiteral("Z150"));
    QVERIFY(z150);
    QCOMPARE(z150->text(), QStringLiteral("150%"));
    z150->trigger();
    QCOMPARE(m_window->zoomLevel(), 150);
    FOLIO_WAIT_COMPARE(
        evaluate(m_window->webBook(), QStringLiteral("document.body.style.zoom")).toString(),
        QStringLiteral("150%"));
    menu->findChild<QAction*>(QStringLiteral("Z100"))->trigger();
    QCOMPARE(m_window->zoomLevel(), 100);
}

void ReaderWindowTest::contentsPaneClosesExpandsAndSplitterFloor() {
    m_window->resize(900, 700);
    FOLIO_WAIT_COMPARE(m_window->paneTwips(m_window->webTree()).width, 3000);
    m_window->button(2, 2)->trigger();
    QVERIFY(m_window->contentsCollapsed());
    QVERIFY(!m_window->button(2, 2)->isVisible());
    QCOMPARE(m_window->webTree()->width(), 1); // 10 twips, still a visible line
    QCOMPARE(m_window->webBook()->x(), folio::twipsToPixels(110));
    m_window->button(2, 3)->trigger();
    QVERIFY(!m_window->contentsCollapsed());
    QCOMPARE(m_window->paneTwips(m_window->webTree()).width, 3000);

    // The splitter dragged far beyond the left edge leaves the narrowest pane.
    m_window->releaseSplitter(-100000);
    QCOMPARE(m_window->webTree()->width(), 1);
    m_window->releaseSplitter(1490); // from 10 twips to 1500
    QCOMPARE(m_window->paneTwips(m_window->webTree()).width, 1500);
    // A resize gives the pane its full width back, but leaves the buttons alone.
    m_window->button(2, 2)->trigger();
    m_window->resize(1000, 700);
    FOLIO_WAIT_COMPARE(m_window->paneTwips(m_window->webTree()).width, 3000);
    QVERIFY(m_window->contentsCollapsed());
    m_window->button(2, 3)->trigger();
    const auto tree = m_window->paneTwips(m_window->webTree());
    const auto book = m_window->paneTwips(m_window->webBook());
    QCOMPARE(book.left, tree.width + 105); // 100 twips of bar, rounded to whole pixels
    QCOMPARE(book.left + book.width, folio::pixelsToTwips(m_window->width()));
}

void ReaderWindowTest::playWithoutMediaDoesNothing() {
    QVERIFY(m_window->playerUrl().isEmpty());
    m_window->button(1, 18)->trigger();
    QVERIFY(m_window->button(1, 18)->isVisible());
    QVERIFY(!m_window->button(1, 19)->isVisible());
}

void ReaderWindowTest::soundLinkPlaysTheResource() {
    QWebEngineView* book = m_window->webBook();
    FOLIO_WAIT_COMPARE(book->title(), QStringLiteral("首页"));
    const QUrl before = book->url();
    evaluate(book, QStringLiteral("document.getElementById('s').click()"));
    FOLIO_WAIT_VERIFY(m_window->button(1, 19)->isVisible());
    QVERIFY(!m_window->button(1, 18)->isVisible());
    QCOMPARE(m_window->playerUrl(), m_window->resourcePrefix() + QStringLiteral("SONG.MP3"));
    FOLIO_WAIT_VERIFY(m_window->player()->mediaStatus() == QMediaPlayer::LoadedMedia ||
                      m_window->player()->mediaStatus() == QMediaPlayer::BufferedMedia ||
                      m_window->player()->mediaStatus() == QMediaPlayer::EndOfMedia);
    QCOMPARE(book->url(), before);

    // Pause swaps the buttons back; stop leaves them.
    m_window->button(1, 19)->trigger();
    QVERIFY(m_window->button(1, 18)->isVisible());
    QVERIFY(!m_window->button(1, 19)->isVisible());
    m_window->button(1, 20)->trigger();
    QVERIFY(m_window->button(1, 18)->isVisible());
}

void ReaderWindowTest::saveWritesClipboardAndRespectsNo() {
    const QString path = m_dir.filePath(QStringLiteral("saved.txt"));
    const QString captionBefore = m_window->windowTitle();
    QApplication::clipboard()->setText(QStringLiteral("第一行\n第二行"));
    m_messages.saveAnswers.push_back(path.toStdString());
    m_window->button(2, 5)->trigger();

    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray written = f.readAll();
    f.close();
    QCOMPARE(written, ansi(QStringLiteral("第一行\r\n第二行\r\n")));
    QCOMPARE(m_window->windowTitle(), path);
    QVERIFY(QApplication::clipboard()->text().isEmpty());
    QCOMPARE(m_messages.messages().size(), std::size_t(1));
    QCOMPARE(m_messages.messages().back().title, std::string("folioMake"));
    QCOMPARE(QString::fromStdString(m_messages.messages().back().text),
             QStringLiteral("文件 ") + path + QStringLiteral("，保存成功。"));

    // Saving over it again and answering No leaves the file and the caption alone.
    m_window->setWindowTitle(captionBefore);
    QApplication::clipboard()->setText(QStringLiteral("other"));
    m_messages.saveAnswers.push_back(path.toStdString());
    m_messages.answers.push_back(folio::Answer::No);
    m_window->button(2, 5)->trigger();
    QCOMPARE(m_messages.questions().size(), std::size_t(1));
    QCOMPARE(m_messages.questions().back().text, std::string("文件已存在，要覆盖它吗？"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), written);
    f.close();
    QCOMPARE(m_window->windowTitle(), captionBefore);
    QCOMPARE(m_messages.messages().size(), std::size_t(1));

    // Cancelling the dialog writes nothing.
    m_window->button(2, 5)->trigger();
    QCOMPARE(m_messages.messages().size(), std::size_t(1));

    // A file that cannot be written is reported as a failure, never as saved.
    m_messages.saveAnswers.push_back(
        m_dir.filePath(QStringLiteral("no/such/folder/x.txt")).toStdString());
    m_window->button(2, 5)->trigger();
    QCOMPARE(m_messages.messages().size(), std::size_t(2));
    QVERIFY(m_messages.messages().back().text.find("保存成功") == std::string::npos);
    m_window->setWindowTitle(captionBefore);
}

void ReaderWindowTest::shortDescriptorShowsTheAboutPage() {
    // A language file beside the book: the test runs under an English locale.
    QVERIFY(QFile::copy(QStringLiteral(FOLIO_SOURCE_DIR "/data/folioPage/Language.lng"),
                        m_dir.filePath(QStringLiteral("Language.lng"))));
    const QString path = m_dir.filePath(QStringLiteral("short.exe"));
    QString why;
    QVERIFY2(makeBook(path, "Book:Me", {{"index.html", "<title>x</title>"}}, &why),
             qPrintable(why));
    RecordingObserver messages;
    FakeSpeech speech;
    ReaderOptions options;
    options.bookPath = path;
    options.dialogs = &messages;
    options.speech = &speech;
    FrmEBook window(options);
    window.load();
    window.show();
    QCOMPARE(window.windowTitle(), QStringLiteral("folioPage"));
    QVERIFY(window.homeAddress().isEmpty());
    QCOMPARE(window.button(1, 2)->text(), QStringLiteral("Back"));
    QCOMPARE(window.button(1, 23)->text(), QStringLiteral("Exit"));
    QCOMPARE(window.button(2, 5)->text(), QStringLiteral("Save"));
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("Voice:"));
    FOLIO_WAIT_COMPARE(window.webTree()->title(), QStringLiteral("Mirelo电子书"));
    FOLIO_WAIT_COMPARE(window.webBook()->title(), QStringLiteral("Mirelo电子书"));
    QVERIFY(evaluate(window.webBook(), QStringLiteral("document.body.innerText"))
                .toString()
                .contains(QStringLiteral("Mirelo电子书")));

    // A file that is no Book image at all (this test program) opens the same way.
    ReaderOptions notABook = options;
    notABook.bookPath = QCoreApplication::applicationFilePath();
    FrmEBook elf(notABook);
    elf.load();
    QCOMPARE(elf.windowTitle(), QStringLiteral("folioPage"));
    FOLIO_WAIT_COMPARE(elf.webBook()->title(), QStringLiteral("Mirelo电子书"));

    // Home without a home address shows the about page again.
    evaluate(window.webBook(), QStringLiteral("document.title='changed'"));
    FOLIO_WAIT_COMPARE(window.webBook()->title(), QStringLiteral("changed"));
    window.button(1, 6)->trigger();
    FOLIO_WAIT_COMPARE(window.webBook()->title(), QStringLiteral("Mirelo电子书"));
}

// The sample project made an EPUB by folio epub, read in place from its zip with the same
// panes: its navigation in the contents pane, its links opening in the page pane.
void ReaderWindowTest::epubOpensWithItsContents() {
    const QDir project(m_dir.filePath(QStringLiteral("epub/Book")));
    QVERIFY(project.mkpath(QStringLiteral(".")));
    for (const QFileInfo& f :
         QDir(QStringLiteral(FOLIO_SOURCE_DIR "/data/Book")).entryInfoList(QDir::Files))
        QVERIFY(QFile::copy(f.absoluteFilePath(), project.filePath(f.fileName())));
    const QString epub = m_dir.filePath(QStringLiteral("sample.epub"));
    QProcess folio;
    folio.start(QStringLiteral(FOLIO_DIST_DIR "/folio"),
                {QStringLiteral("epub"), project.path(), QStringLiteral("--out"), epub});
    QVERIFY(folio.waitForFinished(folio::testing::WaitBoundMs));
    QCOMPARE(folio.exitCode(), 0);

    ReaderOptions options;
    options.variant = Variant::Page;
    options.bookPath = epub;
    options.dialogs = &m_messages;
    options.speech = &m_speech;
    FrmEBook window(options);
    window.load();
    window.show();
    QCOMPARE(window.windowTitle(), QStringLiteral("folioPage-道德经-老子"));
    QWebEngineView* tree = window.webTree();
    QWebEngineView* book = window.webBook();
    FOLIO_WAIT_COMPARE(book->title(), QStringLiteral("Book"));
    FOLIO_WAIT_COMPARE(tree->title(), QStringLiteral("道德经"));
    QVERIFY(tree->url().path().endsWith(QStringLiteral("/sample.epub/OEBPS/nav.xhtml")));
    evaluate(tree, QStringLiteral("document.querySelectorAll('nav a')[2].click()"));
    FOLIO_WAIT_VERIFY(book->url().path().endsWith(QStringLiteral("/OEBPS/chapter02.xhtml")));
    FOLIO_WAIT_COMPARE(book->title(), QStringLiteral("道德经 第二章"));
    QVERIFY(tree->url().path().endsWith(QStringLiteral("/OEBPS/nav.xhtml")));
}

void ReaderWindowTest::onlineReaderShowsItsFolder() {
    QDir folder(m_dir.filePath(QStringLiteral("net")));
    QVERIFY(folder.mkpath(QStringLiteral("tree")));
    auto write = [](const QString& p, const QByteArray& bytes) {
        QFile f(p);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    };
    QVERIFY(write(folder.filePath(QStringLiteral("index.html")),
                  ansi(pageText("在线首页", "<a href='a.html'>一</a><p><a href='b.html'>二</a>"
                                            "<a href='http://127.0.0.1:9/c'>三</a>"))));
    QVERIFY(
        write(folder.filePath(QStringLiteral("tree/tree.html")), ansi(pageText("在线目录", ""))));

    RecordingObserver messages;
    FakeSpeech speech;
    ReaderOptions options;
    options.variant = Variant::Net;
    options.bookPath = folder.path();
    options.dialogs = &messages;
    options.speech = &speech;
    options.downloads = false;
    options.onlineBase = QStringLiteral("http://127.0.0.1:9/");
    FrmEBook window(options);
    window.load();
    window.show();
    QCOMPARE(window.zoomLevel(), 80);
    QCOMPARE(window.homeAddress(),
             QStringLiteral("file://") + folder.path() + QStringLiteral("/index.html"));
    QVERIFY(window.toolbar(3));
    QCOMPARE(window.button(3, 1)->text(), QStringLiteral("下载到本地"));
    QVERIFY(window.findChild<QComboBox*>(QStringLiteral("ComURL")));
    FOLIO_WAIT_COMPARE(window.webTree()->title(), QStringLiteral("在线目录"));
    FOLIO_WAIT_COMPARE(window.windowTitle(), QStringLiteral("folioNet-在线首页"));
    QCOMPARE(window.findChild<QComboBox*>(QStringLiteral("ComURL"))->currentText(),
             QUrl(window.homeAddress()).toString());
    QCOMPARE(window.webBook()->contextMenuPolicy(), Qt::DefaultContextMenu);

    // The download button hands the page's links, in document order, to the download window.
    window.button(3, 1)->trigger();
    auto* list3 = window.findChild<QListWidget*>(QStringLiteral("List3"));
    auto* list4 = window.findChild<QListWidget*>(QStringLiteral("List4"));
    QVERIFY(list3 && list4);
    FOLIO_WAIT_COMPARE(list3->count(), 3);
    QCOMPARE(list4->count(), 3);
    QCOMPARE(list3->item(0)->text(), QStringLiteral("一"));
    QCOMPARE(list3->item(2)->text(), QStringLiteral("三"));
    // A page kept in the folder is fetched from the library it came from.
    QCOMPARE(list4->item(1)->text(), QStringLiteral("http://127.0.0.1:9/book/b.html"));
    QCOMPARE(list4->item(2)->text(), QStringLiteral("http://127.0.0.1:9/c"));
}

void ReaderWindowTest::bookmarksTakeThePageAddressAndOpenOne() {
    QWebEngineView* book = m_window->webBook();
    book->load(QUrl(m_window->resourcePrefix() + QStringLiteral("chapter2.html")));
    FOLIO_WAIT_COMPARE(book->title(), QStringLiteral("第二章"));
    QFile old(m_dir.filePath(QStringLiteral("BookTag.ini")));
    QVERIFY(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
    old.write(ansi(QStringLiteral("书签0=index.html\r\n")));
    old.close();
    QString address;
    bool seen = false;
    QTimer::singleShot(0, this, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog || dialog->objectName() != QStringLiteral("FrmBookTag")) {
            return;
        }
        seen = true;
        address = dialog->findChild<QLineEdit*>(QStringLiteral("Text2"))->text();
        // A bookmark older readers kept names a bare page; opening it closes the window.
        auto* list1 = dialog->findChild<QListWidget*>(QStringLiteral("List1"));
        list1->setCurrentRow(0);
        emit list1->itemDoubleClicked(list1->item(0));
        if (dialog->isVisible()) {
            dialog->close();
        }
    });
    m_window->button(1, 8)->trigger();
    QVERIFY(seen);
    QVERIFY(address.endsWith(QStringLiteral("/book.exe/chapter2.html")));
    // The default bookmark names a bare page, which opens from this book.
    FOLIO_WAIT_COMPARE(book->title(), QStringLiteral("首页"));
    QVERIFY(QFile::exists(m_dir.filePath(QStringLiteral("BookTag.ini"))));
}

void ReaderWindowTest::speechBarKeepsOffTheSecondToolbarInEveryLanguage() {
    QDir folder(m_dir.filePath(QStringLiteral("languages")));
    QVERIFY(folder.mkpath(QStringLiteral(".")));
    QVERIFY(QFile::copy(QStringLiteral(FOLIO_SOURCE_DIR "/data/folioPage/Language.lng"),
                        folder.filePath(QStringLiteral("Language.lng"))));
    const QString path = folder.filePath(QStringLiteral("book.exe"));
    QString why;
    QVERIFY2(makeBook(path, "Book:Me", {{"index.html", "<title>x</title>"}}, &why),
             qPrintable(why));
    const QByteArray locale = qgetenv("LC_ALL");
    // English captions are the longest: "Bookshelf" is wider than its icon.
    for (const char* language : {"en_US.UTF-8", "zh_CN.UTF-8", "zh_TW.UTF-8"}) {
        qputenv("LC_ALL", language);
        RecordingObserver messages;
        FakeSpeech speech;
        ReaderOptions options;
        options.bookPath = path;
        options.dialogs = &messages;
        options.speech = &speech;
        FrmEBook window(options);
        window.resize(1100, 760);
        // Shown and placed before the book loads, as on a desktop: the language comes last.
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window, folio::testing::WaitBoundMs));
        window.load();
        if (QByteArray(language).startsWith("en")) {
            QCOMPARE(window.button(2, 7)->text(), QStringLiteral("Bookshelf"));
        }
        auto* speechBar = window.findChild<QWidget*>(QStringLiteral("Picture1"));
        QVERIFY(speechBar);
        // As loaded (once the toolbars have placed their buttons), then at other sizes.
        folio::testing::settleLayouts(&window);
        for (const QSize size : {QSize(1100, 760), QSize(1280, 800), QSize(800, 600)}) {
            if (size != window.size()) {
                window.resize(size);
                FOLIO_WAIT_COMPARE(window.size(), size);
                folio::testing::settleLayouts(&window);
            }
            QToolBar* bar = window.toolbar(2);
            for (QAction* action : bar->actions()) {
                QWidget* button = bar->widgetForAction(action);
                if (!button || !button->isVisible()) {
                    continue;
                }
                const QRect onWindow(button->mapTo(&window, QPoint(0, 0)), button->size());
                QVERIFY2(!onWindow.intersects(speechBar->geometry()),
                         qPrintable(QStringLiteral("%1 %2x%3: %4 under the speech bar")
                                        .arg(QString::fromLatin1(language))
                                        .arg(size.width())
                                        .arg(size.height())
                                        .arg(action->text())));
            }
        }
    }
    qputenv("LC_ALL", locale);
    folio::qt::SelectLanguageFromLocale(QString());
}

void ReaderWindowTest::cleanupTestCase() {
    m_window.reset();
}

int main(int argc, char** argv) {
    folio::qt::ResSchemeHandler::registerScheme();
    QApplication app(argc, argv);
    ReaderWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "window_test.moc"
