// The search panel in the reading window: Ctrl+Shift+F brings it up over the contents pane with
// the toolbars and panes where they were, and a chosen result opens its page in the page pane;
// the online reader searches the pages kept in its folder the same way.
#include "reader/ui/frmebook.h"
#include "reader/ui/searchpanel.h"

#include "core/book.h"
#include "core/pe.h"
#include "core/text.h"
#include "qt/resschemehandler.h"
#include "tests/tools/testdir.h"
#include "tests/tools/waits.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <QWebEngineView>

#include <filesystem>

using namespace folio;
using folio::readerui::FrmEBook;
using folio::readerui::SearchPanel;

class WindowSearchTest : public QObject {
    Q_OBJECT
  private slots:
    void theShortcutShowsThePanelAndAResultOpensItsPage();
    void theOnlineReaderSearchesThePagesKeptInItsFolder();
};

void WindowSearchTest::theShortcutShowsThePanelAndAResultOpensItsPage() {
    TempDir dir;
    const std::string path = dir.file("book.exe");
    std::filesystem::copy_file(FOLIO_BOOK_FIXTURE, path);
    auto u = pe::ResourceUpdater::begin(path, false);
    QVERIFY(u.has_value());
    auto page = [](const std::string& title, const std::string& body) {
        const std::string text = toAnsi("<html><head><meta charset=gb2312><title>" + title +
                                        "</title></head><body>" + body + "</body></html>");
        return Bytes(text.begin(), text.end());
    };
    const auto type = pe::ResourceId::fromId(book::PageType);
    u->update(type, book::pageResourceName("index.html"), book::ResourceLanguage,
              page("封面", "<p>封面</p>"));
    u->update(type, book::pageResourceName("tree.html"), book::ResourceLanguage,
              page("目录", "<a href='chapter1.html'>第一章</a>"));
    u->update(type, book::pageResourceName("chapter1.html"), book::ResourceLanguage,
              page("第一章", "<p>道可道，非常道。</p>"));
    const std::string descriptor = toAnsi("道德经:老子:index.html:tree.html:::::2026-12-08");
    u->update(pe::ResourceId::fromName(book::DescriptorType),
              pe::ResourceId::fromId(book::DescriptorId), book::ResourceLanguage,
              Bytes(descriptor.begin(), descriptor.end()));
    QVERIFY(u->end(false).has_value());

    folio::readerui::ReaderOptions options;
    options.bookPath = QString::fromStdString(path);
    FrmEBook window(options);
    window.load();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window, folio::testing::WaitBoundMs));
    const QRect toolbar = window.toolbar(1)->geometry();
    const QRect tree = window.webTree()->geometry();
    const QRect pagePane = window.webBook()->geometry();

    SearchPanel* panel = window.searchPanel();
    QVERIFY(!panel->isVisible());
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(panel->isVisible());
    QVERIFY(tree.contains(panel->geometry()));
    QCOMPARE(panel->geometry().bottom(), tree.bottom());
    QCOMPARE(window.toolbar(1)->geometry(), toolbar);
    QCOMPARE(window.webTree()->geometry(), tree);
    QCOMPARE(window.webBook()->geometry(), pagePane);

    QSignalSpy finished(panel, &SearchPanel::searchFinished);
    panel->textBox()->setText(QStringLiteral("非常道"));
    QTest::keyClick(panel->textBox(), Qt::Key_Return);
    QVERIFY(finished.wait(folio::testing::WaitBoundMs));
    QListWidget* list = panel->results();
    QCOMPARE(list->count(), 1);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(0)).center());
    FOLIO_WAIT_VERIFY(
        window.webBook()->url().toString().endsWith(QStringLiteral("/book.exe/CHAPTER1.HTML")));
    FOLIO_WAIT_COMPARE(window.webBook()->title(), QStringLiteral("第一章"));
}

void WindowSearchTest::theOnlineReaderSearchesThePagesKeptInItsFolder() {
    TempDir dir;
    auto write = [&dir](const std::string& name, const std::string& utf8) {
        std::filesystem::create_directories((dir.path / name).parent_path());
        dir.write(name, toAnsi("<html><head><meta charset=gb2312><title>" + name +
                               "</title></head><body>" + utf8 + "</body></html>"));
    };
    write("index.html", "<a href='第1章.html'>第一章</a>");
    write("tree/tree.html", "<a href='../第1章.html'>第一章</a>");
    write("第1章.html", "<p>道可道，非常道。</p>");

    folio::readerui::ReaderOptions options;
    options.variant = folio::readerui::Variant::Net;
    options.bookPath = QString::fromStdString(dir.str());
    options.downloads = false;
    FrmEBook window(options);
    window.load();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window, folio::testing::WaitBoundMs));
    SearchPanel* panel = window.searchPanel();
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    if (!panel->isVisible()) // a display without a window manager never activates the window
        panel->activate();
    QSignalSpy finished(panel, &SearchPanel::searchFinished);
    panel->textBox()->setText(QStringLiteral("非常道"));
    QTest::keyClick(panel->textBox(), Qt::Key_Return);
    QVERIFY(finished.wait(folio::testing::WaitBoundMs));
    QListWidget* list = panel->results();
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->item(0)->toolTip(), QStringLiteral("第1章.html"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(0)).center());
    FOLIO_WAIT_COMPARE(window.webBook()->url(),
                       QUrl::fromLocalFile(QString::fromStdString(dir.file("第1章.html"))));
    FOLIO_WAIT_COMPARE(window.webBook()->title(), QStringLiteral("第1章.html"));
}

int main(int argc, char** argv) {
    folio::qt::ResSchemeHandler::registerScheme();
    QApplication app(argc, argv);
    WindowSearchTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "window_search_test.moc"
