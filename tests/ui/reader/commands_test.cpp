// The reading window's everyday commands on a real Book image: the zoom kept across pages,
// the find bar, the keyboard, the bookmarks of one book among several, saving with nothing
// copied, and a window that fits its screen.
#include "reader/ui/findbar.h"
#include "reader/ui/frmebook.h"
#include "reader/ui/frmfullscreen.h"
#include "reader/ui/frmfullscreenb.h"
#include "reader/ui/frmreading.h"
#include "reader/ui/searchpanel.h"

#include "core/book.h"
#include "core/fileio.h"
#include "core/pe.h"
#include "core/text.h"
#include "qt/language.h"
#include "qt/resschemehandler.h"
#include "tests/tools/fakespeech.h"
#include "tests/tools/readerlog.h"
#include "tests/tools/recordingobserver.h"
#include "tests/tools/waits.h"
#include "tests/tools/webeval.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLoggingCategory>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWebEngineView>

#include <map>

using folio::readerui::FindBar;
using folio::readerui::FrmEBook;
using folio::readerui::FrmFullScreen;
using folio::readerui::ReaderOptions;
using folio::testing::evaluate;

namespace {

QByteArray ansi(const QString& s) {
    const std::string a = folio::toAnsi(s.toStdString());
    return QByteArray(a.data(), qsizetype(a.size()));
}

QByteArray page(const char* title, const char* body) {
    return ansi(QStringLiteral("<html><head><meta charset='gb2312'><title>%1</title></head>"
                               "<body>%2</body></html>")
                    .arg(QString::fromUtf8(title), QString::fromUtf8(body)));
}

// The reader template with the pages and the descriptor, as the compiler makes a book.
bool makeBook(const QString& path, const std::map<std::string, QByteArray>& pages) {
    const std::string dat = FOLIO_DIST_DIR "/folioPage/folioPage.dat";
    if (!folio::copyFileAtomic(dat, path.toStdString()))
        return false;
    auto u = folio::pe::ResourceUpdater::begin(path.toStdString(), false);
    if (!u)
        return false;
    for (const auto& [name, bytes] : pages)
        u->update(folio::pe::ResourceId::fromId(folio::book::PageType),
                  folio::book::pageResourceName(name), folio::book::ResourceLanguage,
                  folio::Bytes(bytes.begin(), bytes.end()));
    const std::string descriptor = folio::toAnsi("书:人:index.html:tree.html:::::2026-12-08");
    u->update(folio::pe::ResourceId::fromName(folio::book::DescriptorType),
              folio::pe::ResourceId::fromId(folio::book::DescriptorId),
              folio::book::ResourceLanguage, folio::Bytes(descriptor.begin(), descriptor.end()));
    return bool(u->end(false));
}

// Runs `inspect` on the next modal dialog, then closes it.
void onNextDialog(QObject* context, std::function<void(QWidget*)> inspect) {
    QTimer::singleShot(0, context, [inspect] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        inspect(dialog);
        dialog->close();
    });
}

} // namespace

class ReaderCommandsTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void windowFitsTheScreen();
    void zoomAppliesToEveryPageLoadedAfterwards();
    void findBarCountsStepsAndSaysNotFound();
    void findBarCaptionsFollowTheLanguageFile();
    void keysRunTheCommands();
    void bookmarksOfOtherBooksAreKeptButNotListed();
    void emptyClipboardSavesNothing();
    void closingNeverWaitsForADownload();
    void readingSettingsAndTheContentsOrder();
    void cleanupTestCase();

  private:
    void key(int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    QString bookTitle() const { return m_window->webBook()->title(); }

    QTemporaryDir m_dir;
    folio::testing::RecordingObserver m_messages;
    folio::testing::FakeSpeech m_speech;
    std::unique_ptr<FrmEBook> m_window;
    QStringList m_chosen, m_opened;
};

void ReaderCommandsTest::initTestCase() {
    QVERIFY(m_dir.isValid());
    const QString path = m_dir.filePath(QStringLiteral("book.exe"));
    QVERIFY2(makeBook(path, {{"tree.html", page("目录", "<a id='c2' href='chapter2.html'>二</a>")},
                             {"index.html", page("首页", "<p>苹果 香蕉 苹果</p>")},
                             {"chapter2.html", page("第二章", "<p>第二章正文</p>")}}),
             "the reader template folioPage.dat has not been built");
    ReaderOptions options;
    options.bookPath = path;
    options.dialogs = &m_messages;
    options.speech = &m_speech;
    options.chooseBook = [this](QWidget*) {
        m_chosen << QStringLiteral("asked");
        return m_dir.filePath(QStringLiteral("other.exe"));
    };
    options.openBook = [this](const QString& p) { m_opened << p; };
    m_window = std::make_unique<FrmEBook>(options);
    m_window->load();
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get(), folio::testing::WaitBoundMs));
    FOLIO_WAIT_COMPARE(bookTitle(), QStringLiteral("首页"));
    // The contents pane loads after the page pane's first page: the tests click in it.
    FOLIO_WAIT_COMPARE(m_window->webTree()->title(), QStringLiteral("目录"));
}

void ReaderCommandsTest::key(int k, Qt::KeyboardModifiers modifiers) {
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get(), folio::testing::WaitBoundMs));
    QTest::keyClick(m_window.get(), Qt::Key(k), modifiers);
}

void ReaderCommandsTest::windowFitsTheScreen() {
    // The offscreen screen is smaller than the window's own size: it opens within it.
    const QRect free = m_window->screen()->availableGeometry();
    QVERIFY(free.width() < 1100 || free.height() < 760);
    QVERIFY2(free.contains(m_window->frameGeometry()),
             qPrintable(QStringLiteral("window %1,%2 %3x%4 on %5 %6x%7")
                            .arg(m_window->x())
                            .arg(m_window->y())
                            .arg(m_window->width())
                            .arg(m_window->height())
                            .arg(QStringLiteral("%1,%2 %3")
                                     .arg(free.x())
                                     .arg(free.y())
                                     .arg(m_window->frameGeometry().height()))
                            .arg(free.width())
                            .arg(free.height())));
}

void ReaderCommandsTest::zoomAppliesToEveryPageLoadedAfterwards() {
    QWebEngineView* book = m_window->webBook();
    m_window->button(1, 10)->menu()->findChild<QAction*>(QStringLiteral("Z200"))->trigger();
    FOLIO_WAIT_COMPARE(evaluate(book, QStringLiteral("document.body.style.zoom")).toString(),
                       QStringLiteral("200%"));
    // The next chapter, opened from the contents pane, shows at the same 200 %.
    evaluate(m_window->webTree(), QStringLiteral("document.getElementById('c2').click()"));
    FOLIO_WAIT_COMPARE(bookTitle(), QStringLiteral("第二章"));
    FOLIO_WAIT_COMPARE(evaluate(book, QStringLiteral("document.body.style.zoom")).toString(),
                       QStringLiteral("200%"));
    QCOMPARE(m_window->zoomLevel(), 200);
    // Back to the normal size, and a page loaded then is left at its own size.
    m_window->button(1, 10)->menu()->findChild<QAction*>(QStringLiteral("Z100"))->trigger();
    m_window->button(1, 6)->trigger();
    FOLIO_WAIT_COMPARE(bookTitle(), QStringLiteral("首页"));
    QCOMPARE(evaluate(book, QStringLiteral("document.body.style.zoom")).toString(), QString());
    // The title comes before the load's end; a search started before it finds nothing.
    FOLIO_WAIT_COMPARE(evaluate(book, QStringLiteral("document.readyState")).toString(),
                       QStringLiteral("complete"));
}

void ReaderCommandsTest::findBarCountsStepsAndSaysNotFound() {
    FindBar* bar = m_window->findBar();
    QVERIFY(bar->isHidden());
    const int pageHeight = m_window->webBook()->height();
    // The toolbar's find button opens the bar, which takes a row from the page pane.
    m_window->button(1, 9)->trigger();
    QVERIFY(bar->isVisible());
    QVERIFY(m_window->webBook()->height() < pageHeight);
    QCOMPARE(bar->findChild<QToolButton*>(QStringLiteral("CommandFindNext"))->text(),
             QStringLiteral("下一个"));

    auto* text = bar->findChild<QLineEdit*>(QStringLiteral("TextFind"));
    QVERIFY(text);
    text->setText(QStringLiteral("苹果"));
    QTest::keyClick(text, Qt::Key_Return);
    FOLIO_WAIT_COMPARE(bar->matches(), 2);
    QCOMPARE(bar->status(), QStringLiteral("第 1/2 处"));
    key(Qt::Key_F3);
    FOLIO_WAIT_COMPARE(bar->status(), QStringLiteral("第 2/2 处"));
    key(Qt::Key_F3, Qt::ShiftModifier);
    FOLIO_WAIT_COMPARE(bar->status(), QStringLiteral("第 1/2 处"));

    text->clear();
    text->setText(QStringLiteral("葡萄"));
    QTest::keyClick(text, Qt::Key_Return);
    FOLIO_WAIT_COMPARE(bar->status(), QStringLiteral("未找到"));
    QCOMPARE(bar->matches(), 0);

    // Esc closes it and gives the page its height back; Ctrl+F opens it again.
    key(Qt::Key_Escape);
    QVERIFY(bar->isHidden());
    QCOMPARE(m_window->webBook()->height(), pageHeight);
    key(Qt::Key_F, Qt::ControlModifier);
    QVERIFY(bar->isVisible());
    key(Qt::Key_Escape);
    QVERIFY(bar->isHidden());
    // Ctrl+Shift+F is the whole book's search, ready for typing.
    key(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(m_window->searchPanel()->isVisible());
    FOLIO_WAIT_VERIFY(m_window->searchPanel()->textBox()->hasFocus());
}

void ReaderCommandsTest::findBarCaptionsFollowTheLanguageFile() {
    // A language file from before the bar: its buttons keep their own texts, not key names.
    const QString lng = m_dir.filePath(QStringLiteral("Language.lng"));
    auto write = [&](const char* text) {
        QFile f(lng);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    };
    auto next = [&] {
        m_window->findBar()->close();
        m_window->button(1, 9)->trigger();
        return m_window->findBar()
            ->findChild<QToolButton*>(QStringLiteral("CommandFindNext"))
            ->text();
    };
    write("[English]\r\nLabel1=Voice:\r\n");
    folio::qt::ApplyLanguage(m_dir.path(), QStringLiteral("English"));
    QCOMPARE(next(), QStringLiteral("下一个"));
    write("[English]\r\nLabel1=Voice:\r\nCommandFindNext=Next\r\n");
    folio::qt::ApplyLanguage(m_dir.path(), QStringLiteral("English"));
    QCOMPARE(next(), QStringLiteral("Next"));
    m_window->findBar()->close();
    QFile::remove(lng);
    folio::qt::ApplyLanguage(m_dir.path(), QStringLiteral("English"));
}

void ReaderCommandsTest::keysRunTheCommands() {
    QWebEngineView* book = m_window->webBook();
    // Zoom: Ctrl+plus (or Ctrl+=), Ctrl+minus, Ctrl+0.
    m_window->applyZoom(100);
    key(Qt::Key_Plus, Qt::ControlModifier);
    QCOMPARE(m_window->zoomLevel(), 120);
    key(Qt::Key_Equal, Qt::ControlModifier);
    QCOMPARE(m_window->zoomLevel(), 140);
    key(Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(m_window->zoomLevel(), 120);
    key(Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(m_window->zoomLevel(), 100);

    // History: Alt+Left, Alt+Right, Backspace.
    book->load(QUrl(m_window->resourcePrefix() + QStringLiteral("chapter2.html")));
    FOLIO_WAIT_COMPARE(bookTitle(), QStringLiteral("第二章"));
    key(Qt::Key_Left, Qt::AltModifier);
    FOLIO_WAIT_COMPARE(bookTitle(), QStringLiteral("首页"));
    key(Qt::Key_Right, Qt::AltModifier);
    FOLIO_WAIT_COMPARE(bookTitle(), QStringLiteral("第二章"));
    key(Qt::Key_Backspace);
    FOLIO_WAIT_COMPARE(bookTitle(), QStringLiteral("首页"));

    // F5 loads the page again: what a script left in it is gone.
    evaluate(book, QStringLiteral("window.mark = 1"));
    QCOMPARE(evaluate(book, QStringLiteral("typeof window.mark")).toString(),
             QStringLiteral("number"));
    key(Qt::Key_F5);
    FOLIO_WAIT_COMPARE(evaluate(book, QStringLiteral("typeof window.mark")).toString(),
                       QStringLiteral("undefined"));

    // F11 opens full screen; Esc in it leaves.
    key(Qt::Key_F11);
    FrmFullScreen* full = nullptr;
    FOLIO_WAIT_VERIFY(
        (full = m_window->findChild<FrmFullScreen*>(QStringLiteral("FrmFullScreen"))));
    QPointer<QWidget> fullScreen(full);
    // A chapter reached in full screen is where the window goes on reading.
    const QUrl reached(m_window->resourcePrefix() + QStringLiteral("chapter2.html"));
    full->findChild<QWebEngineView*>(QStringLiteral("WebB"))->load(reached);
    FOLIO_WAIT_COMPARE(full->findChild<QWebEngineView*>(QStringLiteral("WebB"))->url(), reached);
    // Full screen's start ends when its exit button is lifted on top, which hides and shows
    // that window; then the page has the keyboard again, and Esc in it leaves.
    FOLIO_WAIT_VERIFY(full->exitWindow() &&
                      full->exitWindow()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    FOLIO_WAIT_VERIFY(QApplication::activeWindow() == full);
    QWidget* keyboard = QApplication::focusWidget();
    QVERIFY(keyboard && keyboard->window() == full);
    QTest::keyClick(keyboard, Qt::Key_Escape);
    FOLIO_WAIT_VERIFY(fullScreen.isNull());
    FOLIO_WAIT_COMPARE(book->url(), reached);
    // Loaded, not only asked for: until then the title is still the page before's.
    FOLIO_WAIT_COMPARE(bookTitle(), QStringLiteral("第二章"));
    key(Qt::Key_Left, Qt::AltModifier);
    // Back shows the page's title before the view's address follows: the bookmark below is
    // made of the address.
    FOLIO_WAIT_COMPARE(book->url(),
                       QUrl(m_window->resourcePrefix() + QStringLiteral("index.html")));
    QCOMPARE(bookTitle(), QStringLiteral("首页"));

    // Ctrl+O asks for a book and opens it.
    key(Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(m_chosen.size(), 1);
    QCOMPARE(m_opened, QStringList{m_dir.filePath(QStringLiteral("other.exe"))});

    // Ctrl+S saves (here: tells that nothing was copied).
    QApplication::clipboard()->clear();
    const std::size_t shown = m_messages.messages().size();
    key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(m_messages.messages().size(), shown + 1);

    // Ctrl+D adds the page as a bookmark and shows it in the bookmarks window.
    QStringList names;
    onNextDialog(this, [&](QWidget* dialog) {
        auto* list = dialog->findChild<QListWidget*>(QStringLiteral("List1"));
        for (int i = 0; i < list->count(); ++i)
            names << list->item(i)->text();
    });
    key(Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(names, QStringList{QStringLiteral("书签0")});
    QFile file(m_dir.filePath(QStringLiteral("BookTag.ini")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("/book.exe/index.html"));

    // The about box lists the keys.
    QString keys;
    onNextDialog(this, [&](QWidget* dialog) {
        if (auto* label = dialog->findChild<QLabel*>(QStringLiteral("lblKeys")))
            keys = label->text();
    });
    m_window->button(1, 22)->trigger();
    for (const char* k :
         {"Ctrl+F", "F3", "Ctrl+0", "Alt+Left", "F5", "F11", "Ctrl+O", "Ctrl+S", "Ctrl+D", "Esc"})
        QVERIFY2(keys.contains(QString::fromLatin1(k)), k);
}

void ReaderCommandsTest::bookmarksOfOtherBooksAreKeptButNotListed() {
    const QString prefix = m_window->resourcePrefix();
    const QString other =
        QUrl(prefix).resolved(QUrl(QStringLiteral("../other.exe/a.html"))).toString();
    const QByteArray lines = ansi(QStringLiteral("首页=index.html\r\n本书=") + prefix +
                                  QStringLiteral("chapter2.html\r\n别的书=") + other +
                                  QStringLiteral("\r\n网站=http://example.com/\r\n"));
    QFile file(m_dir.filePath(QStringLiteral("BookTag.ini")));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(lines);
    file.close();

    QStringList names;
    QString offered;
    onNextDialog(this, [&](QWidget* dialog) {
        auto* list = dialog->findChild<QListWidget*>(QStringLiteral("List1"));
        for (int i = 0; i < list->count(); ++i)
            names << list->item(i)->text();
        offered = dialog->findChild<QLineEdit*>(QStringLiteral("Text1"))->text();
        // Deleting this book's second entry leaves the other book's alone.
        list->setCurrentRow(1);
        dialog->findChild<QPushButton*>(QStringLiteral("Command3"))->click();
    });
    m_window->button(1, 8)->trigger();
    QCOMPARE(names,
             (QStringList{QStringLiteral("首页"), QStringLiteral("本书"), QStringLiteral("网站")}));
    QCOMPARE(offered, QStringLiteral("书签3"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), ansi(QStringLiteral("首页=index.html\r\n别的书=") + other +
                                  QStringLiteral("\r\n网站=http://example.com/\r\n")));
}

void ReaderCommandsTest::emptyClipboardSavesNothing() {
    const QString path = m_dir.filePath(QStringLiteral("empty.txt"));
    QApplication::clipboard()->clear();
    m_messages.saveAnswers.push_back(path.toStdString());
    const std::size_t shown = m_messages.messages().size();
    m_window->button(2, 5)->trigger();
    QVERIFY(!QFile::exists(path));
    QCOMPARE(m_messages.messages().size(), shown + 1);
    QVERIFY(m_messages.messages().back().text.find("没有保存") != std::string::npos);
    QVERIFY(m_messages.messages().back().text.find("保存成功") == std::string::npos);
    m_messages.saveAnswers.clear();
}

void ReaderCommandsTest::closingNeverWaitsForADownload() {
    // A library that takes the connection and never answers.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QList<QTcpSocket*> held;
    connect(&server, &QTcpServer::newConnection, this,
            [&] { held << server.nextPendingConnection(); });
    QDir folder(m_dir.filePath(QStringLiteral("net")));
    QVERIFY(folder.mkpath(QStringLiteral(".")));
    ReaderOptions options;
    options.variant = folio::readerui::Variant::Net;
    options.bookPath = folder.path();
    options.dialogs = &m_messages;
    options.speech = &m_speech;
    options.onlineBase = QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort());
    auto window = std::make_unique<FrmEBook>(options);
    window->load();
    FOLIO_WAIT_VERIFY(!held.isEmpty());
    // The window goes while its download still waits for an answer; nothing is left to
    // report into.
    window.reset();
    QCOMPARE(held.front()->state(), QAbstractSocket::ConnectedState);
    // A client that had given up would take no answer: the library answers now, and the page
    // asked for arrives in the folder all the same.
    const QByteArray page = "<html><title>late</title></html>";
    held.front()->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                        QByteArray::number(page.size()) + "\r\nConnection: close\r\n\r\n" + page);
    FOLIO_WAIT_VERIFY(QFile::exists(folder.filePath(QStringLiteral("tree/tree.html"))) ||
                      QFile::exists(folder.filePath(QStringLiteral("index.html"))));
}

namespace {

QStringList& g_log = folio::testing::g_readerLog;

// The height in pixels of the first line of light text on the pane's dark page.
int firstLineHeight(const QImage& image) {
    int first = -1;
    for (int y = 0; y < image.height(); ++y) {
        bool light = false;
        for (int x = 0; x < image.width() && !light; ++x)
            light = qGray(image.pixel(x, y)) > 150;
        if (light && first < 0)
            first = y;
        else if (!light && first >= 0)
            return y - first;
    }
    return 0;
}

} // namespace

void ReaderCommandsTest::readingSettingsAndTheContentsOrder() {
    // The contents name the chapters in another order than their files' names.
    const QString path = m_dir.filePath(QStringLiteral("novel.exe"));
    QVERIFY(makeBook(path, {{"tree.html", page("目录", "<a href='chapter-c.html'>一</a>"
                                                       "<a href='chapter-a.html'>二</a>"
                                                       "<a href='chapter-b.html'>三</a>")},
                            {"index.html", page("首页", "<p>Home 首页</p>")},
                            {"chapter-a.html", page("二", "<p>Second 第二章</p>")},
                            {"chapter-b.html", page("三", "<p>Third 第三章</p>")},
                            {"chapter-c.html", page("一", "<p>First 第一章</p>")}}));
    const QString config = m_dir.filePath(QStringLiteral("config"));
    QVERIFY(QDir().mkpath(config + QStringLiteral("/folio")));
    qputenv("XDG_CONFIG_HOME", config.toUtf8());
    qputenv("XDG_STATE_HOME", m_dir.filePath(QStringLiteral("state")).toUtf8());
    auto open = [&](const char* ini) {
        QFile f(config + QStringLiteral("/folio/reading.ini"));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(ini);
        f.close();
        ReaderOptions options;
        options.bookPath = path;
        options.dialogs = &m_messages;
        options.speech = &m_speech;
        auto window = std::make_unique<FrmEBook>(options);
        window->resize(900, 600);
        window->load();
        window->show();
        return window;
    };
    folio::testing::ReaderLog keepLog;
    const std::size_t boxes = m_messages.messages().size();

    auto window = open("[Reading]\nTheme=night\nFontSize=28\nMargin=wide\n");
    QVERIFY(QTest::qWaitForWindowExposed(window.get(), folio::testing::WaitBoundMs));
    FOLIO_WAIT_COMPARE(window->webBook()->title(), QStringLiteral("首页"));
    FOLIO_WAIT_COMPARE(window->webTree()->title(), QStringLiteral("目录"));
    QVERIFY(g_log.contains(QStringLiteral("reading: Theme=night")));
    // A malformed value falls back alone, said in the log, with no box.
    QVERIFY(g_log.filter(QStringLiteral("Margin=wide: not a value")).size() == 1);
    QCOMPARE(m_messages.messages().size(), boxes);

    // Three steps from the home page, which the contents do not list: the contents' order.
    window->activateWindow();
    for (const char* chapter : {"chapter-c.html", "chapter-a.html", "chapter-b.html"}) {
        QTest::keyClick(window.get(), Qt::Key_PageDown, Qt::ControlModifier);
        FOLIO_WAIT_VERIFY(!g_log.isEmpty() && g_log.last().startsWith(QStringLiteral("page: ")) &&
                          g_log.last().endsWith(QLatin1String(chapter)));
    }
    QVERIFY2(window->statusLine()->text().startsWith(QStringLiteral("第 3/3 章 · 已读 ")),
             qPrintable(window->statusLine()->text()));
    QTest::keyClick(window.get(), Qt::Key_PageDown, Qt::ControlModifier);
    QCOMPARE(window->statusLine()->text(), QStringLiteral("已经是最后一章"));
    // Space at a page's end reads on into the next one.
    QTest::keyClick(window.get(), Qt::Key_PageUp, Qt::ControlModifier);
    FOLIO_WAIT_VERIFY(g_log.last().endsWith(QLatin1String("chapter-a.html")));
    FOLIO_WAIT_VERIFY(evaluate(window->webBook(), QStringLiteral("document.readyState")) ==
                      QStringLiteral("complete"));
    window->webBook()->setFocus();
    FOLIO_WAIT_VERIFY(window->webBook()->focusProxy() &&
                      window->webBook()->focusProxy()->hasFocus());
    QTest::keyClick(window->webBook()->focusProxy(), Qt::Key_Space);
    FOLIO_WAIT_VERIFY(g_log.last().endsWith(QLatin1String("chapter-b.html")));

    // The night theme in pixels: a dark page with light text, a dark contents pane.
    QImage shown;
    FOLIO_WAIT_VERIFY(((shown = window->webBook()->grab().toImage()),
                       qGray(shown.pixel(shown.width() - 5, shown.height() - 5)) < 80 &&
                           firstLineHeight(shown) > 0));
    const QImage tree = window->webTree()->grab().toImage();
    QVERIFY(qGray(tree.pixel(tree.width() / 2, tree.height() - 5)) < 80);
    shown.save(m_dir.filePath(QStringLiteral("night.png")));
    const int large = firstLineHeight(shown);

    // The settings panel (Ctrl+Shift+R) changes the page at once and keeps the change for the
    // book; "设为默认" writes it as the default.
    QTest::keyClick(window.get(), Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(window->readingPanel() && window->readingPanel()->isVisible());
    window->readingPanel()->findChild<QComboBox*>(QStringLiteral("ComTheme"))->setCurrentIndex(3);
    window->readingPanel()->findChild<QSpinBox*>(QStringLiteral("SpinFontSize"))->setValue(14);
    FOLIO_WAIT_VERIFY(((shown = window->webBook()->grab().toImage()),
                       qGray(shown.pixel(shown.width() - 5, shown.height() - 5)) < 10));
    // The status line put away gives its row to the page pane.
    auto* status = window->findChild<QLabel*>(QStringLiteral("ReadingStatus"));
    const int paneHeight = window->webBook()->height();
    QVERIFY(status->isVisible());
    window->readingPanel()->findChild<QCheckBox*>(QStringLiteral("ChkStatusLine"))->click();
    QVERIFY(!status->isVisible() && window->webBook()->height() > paneHeight);
    window->readingPanel()->findChild<QPushButton*>(QStringLiteral("CmdDefault"))->click();
    QFile ini(config + QStringLiteral("/folio/reading.ini"));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QVERIFY(ini.readAll().contains("Theme=black\r\nForeground="));
    ini.close();
    window.reset();

    // Opened again, with another default: the book's own settings come back, black and small.
    window = open("[Reading]\nTheme=night\nFontSize=28\n");
    QVERIFY(QTest::qWaitForWindowExposed(window.get(), folio::testing::WaitBoundMs));
    FOLIO_WAIT_COMPARE(window->webBook()->title(), QStringLiteral("首页"));
    QImage small;
    FOLIO_WAIT_VERIFY(((small = window->webBook()->grab().toImage()),
                       qGray(small.pixel(small.width() - 5, small.height() - 5)) < 10 &&
                           firstLineHeight(small) > 0));
    QVERIFY(!window->findChild<QLabel*>(QStringLiteral("ReadingStatus"))->isVisible());
    QVERIFY2(
        firstLineHeight(small) * 3 < large * 2,
        qPrintable(QStringLiteral("%1 px against %2 px").arg(firstLineHeight(small)).arg(large)));
    window.reset();
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_STATE_HOME");
}

void ReaderCommandsTest::cleanupTestCase() {
    m_window.reset();
}

int main(int argc, char** argv) {
    folio::qt::ResSchemeHandler::registerScheme();
    QApplication app(argc, argv);
    ReaderCommandsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "commands_test.moc"
