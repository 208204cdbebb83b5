// The online reading window driven as a user drives it, against a library on 127.0.0.1:
// links of the home page and the contents, the address box, the download window, the speech
// bar's settings kept, full screen, and layouts from 1280x900 down to 640x480.
#include "reader/ui/frmdownload.h"
#include "reader/ui/frmebook.h"
#include "reader/ui/frmfullscreen.h"
#include "reader/ui/frmfullscreenb.h"
#include "tests/tools/localserver.h"
#include "tests/tools/waits.h"
#include "tests/tools/webeval.h"
#include "tests/ui/readerwin/testsupport.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>

using namespace folio::readerui;
using folio::testing::FakeSpeech;
using folio::testing::readAll;
using folio::testing::RecordingObserver;

namespace {

// A small library of the test's own, so that its pages, links and titles stay as the test
// expects whatever the sample book becomes.
std::map<std::string, std::string> library() {
    auto page = [](const std::string& title, const std::string& head, const std::string& body) {
        return "<html><head><meta charset='utf-8'><title>" + title + "</title>" + head +
               "</head><body>" + body + "</body></html>";
    };
    std::map<std::string, std::string> files = {
        {"tree.html", page("目录", "<link rel='stylesheet' href='tree.css'>",
                           "<a href='index.html'>封面</a> <a href='chapter01.html'>第一章</a> "
                           "<a href='chapter02.html'>第二章</a>")},
        {"index.html", page("示例书", "<link rel='stylesheet' href='style.css'>",
                            "<h1>示例书</h1><img src='cover.png'>"
                            "<p><a href='chapter01.html'>从第一章开始阅读</a></p>"
                            "<p><a href='chapter02.html'>第二章</a></p>")},
        {"style.css", "body { color: #333; }"},
        {"tree.css", "a { display: block; }"},
        {"cover.png", "not really a picture"},
    };
    for (int i = 1; i <= 5; ++i) {
        const std::string n = "0" + std::to_string(i);
        files["chapter" + n + ".html"] =
            page("第" + n + "章", "<link rel='stylesheet' href='style.css'>",
                 "<p>道可道，非常道。第" + n + "章。</p>");
    }
    return files;
}

template <class T> T* child(QWidget* window, const char* name) {
    return window->findChild<T*>(QString::fromLatin1(name));
}

// The text of a pane's document.
QString paneText(QWebEngineView* view) {
    return folio::testing::evaluate(view,
                                    QStringLiteral("document.body ? document.body.innerText : ''"))
        .toString();
}

void runScript(QWebEngineView* view, const QString& script) {
    bool done = false;
    view->page()->runJavaScript(script, [&](const QVariant&) { done = true; });
    FOLIO_WAIT_VERIFY(done);
}

} // namespace

class FolioNetWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void linksOfTheHomePageAndTheContentsFetchTheirChapters();
    void addressBoxNavigatesAndKeepsEachAddressOnce();
    void updateFetchesTheContentsAgainAndSaysWhenItCannot();
    void downloadWindowFetchesAChapterOfThePage();
    void downloadWindowGivesItsButtonsBackAfterAFailure();
    void speechBarChoicesAreKept();
    void fullScreenReturnsToItsLastPage();
    void layoutsStayApartDownTo640x480();

  private:
    void open(FakeSpeech* speech = nullptr);

    std::unique_ptr<LocalServer> m_server;
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<RecordingObserver> m_messages;
    std::unique_ptr<FakeSpeech> m_speech;
    std::unique_ptr<FrmEBook> m_window;
};

void FolioNetWindowTest::init() {
    m_server = std::make_unique<LocalServer>();
    for (const auto& [name, bytes] : library())
        m_server->set("/book/" + name, Reply(200, bytes));
    m_folder = std::make_unique<QTemporaryDir>();
    m_messages = std::make_unique<RecordingObserver>();
    m_speech = std::make_unique<FakeSpeech>();
    open();
}

void FolioNetWindowTest::open(FakeSpeech* speech) {
    ReaderOptions options;
    options.variant = Variant::Net;
    options.bookPath = m_folder->path();
    options.dialogs = m_messages.get();
    options.speech = speech ? speech : m_speech.get();
    options.onlineBase = QString::fromStdString(m_server->base()) + "/";
    m_window = std::make_unique<FrmEBook>(options);
    QSignalSpy refreshed(m_window.get(), &FrmEBook::libraryRefreshed);
    m_window->load();
    m_window->resize(1280, 900);
    m_window->show();
    FOLIO_WAIT_COMPARE(refreshed.size(), 1);
    QCOMPARE(refreshed.first().first().toBool(), true);
    FOLIO_WAIT_COMPARE(m_window->webBook()->url(),
                       QUrl::fromLocalFile(m_folder->filePath("index.html")));
    FOLIO_WAIT_COMPARE(m_window->windowTitle(), QStringLiteral("folioNet-示例书"));
}

void FolioNetWindowTest::cleanup() {
    m_window.reset();
    m_server.reset();
    m_folder.reset();
}

void FolioNetWindowTest::linksOfTheHomePageAndTheContentsFetchTheirChapters() {
    QWebEngineView* book = m_window->webBook();
    runScript(book, "document.querySelector('a[href=\"chapter01.html\"]').click()");
    const QUrl chapter1 = QUrl::fromLocalFile(m_folder->filePath("chapter01.html"));
    FOLIO_WAIT_COMPARE(book->url(), chapter1);
    QCOMPARE(readAll(m_folder->filePath("chapter01.html")).toStdString(),
             library()["chapter01.html"]);
    QVERIFY(QFileInfo::exists(m_folder->filePath("style.css")));
    // The address changes as the page starts loading; its text comes a little later.
    FOLIO_WAIT_VERIFY(paneText(book).contains(QStringLiteral("道可道")));

    // A contents link names the page beside the home page, not one inside tree/.
    FOLIO_WAIT_VERIFY(m_window->webTree()->url() ==
                      QUrl::fromLocalFile(m_folder->filePath("tree/tree.html")));
    runScript(m_window->webTree(), "document.querySelector('a[href=\"chapter02.html\"]').click()");
    FOLIO_WAIT_COMPARE(book->url(), QUrl::fromLocalFile(m_folder->filePath("chapter02.html")));
    QVERIFY(!QFileInfo::exists(m_folder->filePath("tree/chapter02.html")));

    // A page the library does not have is said so, in the reader's own words.
    m_server->set("/book/chapter03.html", Reply(404, "missing"));
    runScript(book, "location.href='chapter03.html'");
    FOLIO_WAIT_VERIFY(paneText(book).contains(QStringLiteral("无法连接在线书库")));
}

void FolioNetWindowTest::addressBoxNavigatesAndKeepsEachAddressOnce() {
    QComboBox* box = m_window->addressBox();
    QVERIFY(box);
    const QString address = QString::fromStdString(m_server->base()) + "/book/chapter04.html";
    box->setFocus();
    box->lineEdit()->clear();
    QTest::keyClicks(box->lineEdit(), address);
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    FOLIO_WAIT_COMPARE(m_window->webBook()->url(), QUrl(address));
    FOLIO_WAIT_VERIFY(box->findText(address) >= 0);

    // Each page loaded to its end is offered in the box: the two loads are waited for to theirs.
    QSignalSpy loads(m_window->webBook(), &QWebEngineView::loadStarted);
    QSignalSpy loaded(m_window->webBook(), &QWebEngineView::loadFinished);
    m_window->button(1, 4)->trigger(); // refresh
    m_window->button(1, 6)->trigger(); // home
    FOLIO_WAIT_COMPARE(m_window->webBook()->url(),
                       QUrl::fromLocalFile(m_folder->filePath("index.html")));
    FOLIO_WAIT_VERIFY(loads.count() >= 1 && loaded.count() >= loads.count());
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    QCOMPARE(items.removeDuplicates(), 0);
}

void FolioNetWindowTest::updateFetchesTheContentsAgainAndSaysWhenItCannot() {
    auto treeRequests = [this] {
        const auto all = m_server->requests();
        return std::count(all.begin(), all.end(), std::string("/book/tree.html"));
    };
    const auto before = treeRequests();
    m_server->set("/book/tree.html",
                  Reply(200, "<html><head><meta charset='utf-8'><title>新目录</title></head>"
                             "<body><a href='chapter01.html'>第一章</a></body></html>"));
    m_window->button(2, 6)->trigger(); // update
    FOLIO_WAIT_COMPARE(treeRequests(), before + 1);
    FOLIO_WAIT_COMPARE(m_window->webTree()->title(), QStringLiteral("新目录"));
    QVERIFY(readAll(m_folder->filePath("tree/tree.html")).contains("新目录"));

    m_server->set("/book/tree.html", Reply(500, "down"));
    m_window->button(2, 6)->trigger();
    FOLIO_WAIT_COMPARE(m_messages->boxes.size(), std::size_t(1));
    QVERIFY(m_messages->shown("无法连接在线书库"));
    // The copy kept before stays as it was.
    QVERIFY(readAll(m_folder->filePath("tree/tree.html")).contains("新目录"));
}

void FolioNetWindowTest::downloadWindowFetchesAChapterOfThePage() {
    m_window->button(3, 1)->trigger();
    FrmDownload* download = m_window->downloadWindow();
    QVERIFY(download);
    auto* list3 = child<QListWidget>(download, "List3");
    auto* list4 = child<QListWidget>(download, "List4");
    FOLIO_WAIT_VERIFY(list3->count() >= 2);
    QCOMPARE(list3->count(), list4->count());
    const QString base = QString::fromStdString(m_server->base());
    int first = -1;
    for (int i = 0; i < list3->count(); ++i) {
        QVERIFY2(list3->item(i)->text() != "null", "the links arrive as texts");
        if (list3->item(i)->text() == QStringLiteral("从第一章开始阅读"))
            first = i;
    }
    QVERIFY(first >= 0);
    // The kept page's links are fetched from where the page came from.
    QCOMPARE(list4->item(first)->text(), base + "/book/chapter01.html");

    auto* text1 = child<QLineEdit>(download, "Text1");
    QCOMPARE(text1->text(), QDir(m_folder->path()).filePath("download"));
    list3->item(first)->setSelected(true);
    child<QRadioButton>(download, "Option2")->setChecked(true);
    QSignalSpy finished(download, &FrmDownload::fetchFinished);
    child<QPushButton>(download, "Command1")->click();
    FOLIO_WAIT_COMPARE(finished.size(), 1);
    QCOMPARE(download->lastSummary().downloaded, 1);
    QCOMPARE(readAll(text1->text() + QStringLiteral("/从第一章开始阅读.html")).toStdString(),
             library()["chapter01.html"]);
    QVERIFY(child<QPushButton>(download, "Command1")->isEnabled());
    QVERIFY(child<QPushButton>(download, "Command2")->isEnabled());

    // Wholly on the screen.
    const QRect screen = download->screen()->availableGeometry();
    QVERIFY2(screen.contains(download->frameGeometry()), "the download window leaves the screen");
}

void FolioNetWindowTest::downloadWindowGivesItsButtonsBackAfterAFailure() {
    m_window->button(3, 1)->trigger();
    FrmDownload* download = m_window->downloadWindow();
    auto* list3 = child<QListWidget>(download, "List3");
    FOLIO_WAIT_VERIFY(list3->count() >= 2);
    // The novel-site option on a page that names no server: the chapter fails.
    list3->item(0)->setSelected(true);
    QVERIFY(child<QRadioButton>(download, "Option1")->isChecked());
    QSignalSpy finished(download, &FrmDownload::fetchFinished);
    child<QPushButton>(download, "Command1")->click();
    auto* label2 = child<QLabel>(download, "Label2");
    FOLIO_WAIT_VERIFY(label2->text().contains(QStringLiteral("停止")));
    QVERIFY(!child<QPushButton>(download, "Command1")->isEnabled());
    child<QPushButton>(download, "Command3")->click();
    FOLIO_WAIT_COMPARE(finished.size(), 1);
    QVERIFY(child<QPushButton>(download, "Command1")->isEnabled());
    QVERIFY(child<QPushButton>(download, "Command2")->isEnabled());
    QCOMPARE(download->lastSummary().failed, 1);
}

void FolioNetWindowTest::speechBarChoicesAreKept() {
    child<QComboBox>(m_window.get(), "ComVoice")->setCurrentIndex(1);
    child<QSlider>(m_window.get(), "Rate")->setValue(5);
    child<QSlider>(m_window.get(), "Volume")->setValue(40);
    const QByteArray ini = readAll(m_folder->filePath("Voice.ini"));
    QVERIFY2(ini.contains("=Voice B\r\n"), ini.constData());
    QVERIFY2(ini.contains("=5\r\n"), ini.constData());
    QVERIFY2(ini.contains("=40\r\n"), ini.constData());

    // The next start comes back with them, and the settings window has nothing to complain
    // about.
    FakeSpeech second;
    m_window.reset();
    open(&second);
    QCOMPARE(child<QComboBox>(m_window.get(), "ComVoice")->currentIndex(), 1);
    QCOMPARE(child<QSlider>(m_window.get(), "Rate")->value(), 5);
    QCOMPARE(child<QSlider>(m_window.get(), "Volume")->value(), 40);
    QCOMPARE(second.voice, 1);
    QCOMPARE(second.rate, 5);
    QCOMPARE(second.volume, 40);
    m_window.reset();
}

void FolioNetWindowTest::fullScreenReturnsToItsLastPage() {
    m_window->button(1, 13)->trigger();
    FrmFullScreen* full = m_window->findChild<FrmFullScreen*>();
    QVERIFY(full);
    const QUrl chapter = QUrl::fromLocalFile(m_folder->filePath("chapter05.html"));
    // Each page is waited for until it has loaded, as a reader sees it: a navigation begun
    // while another is still loading may be cut short by it.
    auto shown = [](QWebEngineView* view, const QUrl& url) {
        return view->url() == url && !view->page()->isLoading();
    };
    const QUrl home = QUrl::fromLocalFile(m_folder->filePath("index.html"));
    FOLIO_WAIT_VERIFY(shown(full->webB(), home));
    // The chapter is fetched by the reading window first, as a link there would.
    runScript(m_window->webBook(), "location.href='chapter05.html'");
    FOLIO_WAIT_VERIFY(shown(m_window->webBook(), chapter));
    m_window->button(1, 6)->trigger(); // home again underneath
    FOLIO_WAIT_VERIFY(shown(m_window->webBook(), home));
    full->navigate(chapter);
    FOLIO_WAIT_VERIFY(shown(full->webB(), chapter));
    full->close();
    FOLIO_WAIT_VERIFY(shown(m_window->webBook(), chapter));
}

void FolioNetWindowTest::layoutsStayApartDownTo640x480() {
    for (const QSize size : {QSize(1280, 900), QSize(800, 600), QSize(640, 480)}) {
        m_window->resize(size);
        FOLIO_WAIT_COMPARE(m_window->size(), size);
        folio::testing::settleLayouts(m_window.get());
        const QString at = QStringLiteral("%1x%2: ").arg(size.width()).arg(size.height());
        // Every button of the first toolbar is on it, the exit button included.
        QToolBar* bar1 = m_window->toolbar(1);
        QWidget* exit = bar1->widgetForAction(m_window->button(1, 23));
        QVERIFY2(exit && exit->isVisible() && bar1->rect().contains(exit->geometry()),
                 qPrintable(at + "the exit button is off its toolbar"));
        // The address box keeps off the toolbars, and so does the speech bar.
        auto* picture1 = child<QWidget>(m_window.get(), "Picture1");
        auto* picture2 = child<QWidget>(m_window.get(), "Picture2");
        QVERIFY2(!picture2->geometry().intersects(bar1->geometry()), qPrintable(at + "address"));
        QVERIFY2(!picture2->geometry().intersects(picture1->geometry()),
                 qPrintable(at + "address and speech bar"));
        QVERIFY2(!picture1->geometry().intersects(bar1->geometry()), qPrintable(at + "speech"));
        QVERIFY2(m_window->rect().contains(picture1->geometry()), qPrintable(at + "speech bar"));
        // The speech bar's visible controls each have room of their own.
        QList<QWidget*> shown;
        for (QWidget* w : picture1->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (w->isVisible())
                shown << w;
        for (int i = 0; i < shown.size(); ++i) {
            QVERIFY2(picture1->rect().contains(shown[i]->geometry()),
                     qPrintable(at + shown[i]->objectName() + " is cut off"));
            QVERIFY2(shown[i]->width() >= shown[i]->minimumSizeHint().width() - 1,
                     qPrintable(at + shown[i]->objectName() + " is squeezed"));
            for (int j = i + 1; j < shown.size(); ++j)
                QVERIFY2(!shown[i]->geometry().intersects(shown[j]->geometry()),
                         qPrintable(at + shown[i]->objectName() + " overlaps " +
                                    shown[j]->objectName()));
        }
        // The panes start below all of it.
        QVERIFY(m_window->webBook()->geometry().top() >= picture2->geometry().bottom());
        QVERIFY(m_window->webBook()->height() > 100);
    }
}

QTEST_MAIN(FolioNetWindowTest)
#include "folionet_window_test.moc"
