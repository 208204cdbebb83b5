// The search panel alone: a search lists each page by title with its snippet and says how many
// pages matched or that nothing did; choosing a result names the page; a page opened from a
// result has its matches highlighted; the shortcut brings the panel up.
#include "reader/ui/searchpanel.h"

#include "core/book.h"
#include "core/pe.h"
#include "core/text.h"
#include "tests/tools/testdir.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineView>

#include <filesystem>

using namespace folio;
using folio::readerui::SearchPanel;

namespace {

std::shared_ptr<const book::BookImage> makeBook(const TempDir& dir) {
    const std::string path = dir.file("book.exe");
    std::filesystem::copy_file(FOLIO_BOOK_FIXTURE, path);
    auto u = pe::ResourceUpdater::begin(path, false);
    const std::vector<std::pair<std::string, std::string>> pages{
        {"one.html", toAnsi("<html><head><meta charset=gb2312><title>第一章</title></head><body>"
                            "<p>道可道，非常道。名可名，非常名。</p></body></html>")},
        {"two.html",
         "<html><head><meta charset=utf-8><title>第二章</title></head><body>"
         "<p>无名天地之始，有名万物之母。<script>var 非常 = 1;</script></p></body></html>"},
        {"three.html", "<html><head><title>第三章</title></head><body><p>故常无欲，以观其妙；"
                       "常有欲，以观其徼。此两者同出而异名，非常玄妙。</p></body></html>"},
    };
    for (const auto& [name, bytes] : pages)
        u->update(pe::ResourceId::fromId(book::PageType), book::pageResourceName(name),
                  book::ResourceLanguage, Bytes(bytes.begin(), bytes.end()));
    if (!u->end(false))
        return nullptr;
    auto book = book::BookImage::open(path);
    return book ? std::shared_ptr<const book::BookImage>(std::move(*book)) : nullptr;
}

} // namespace

class SearchPanelTest : public QObject {
    Q_OBJECT
  private slots:
    void resultsAreListedByTitleWithSnippetAndCounted();
    void nothingFoundSaysSoAndBlankTextClearsTheList();
    void choosingAResultNamesThePage();
    void aPageOpenedFromAResultHasItsMatchesHighlighted();
    void theShortcutShowsThePanelWithItsTextBoxFocused();

  private:
    TempDir m_dir;
};

void SearchPanelTest::resultsAreListedByTitleWithSnippetAndCounted() {
    SearchPanel panel;
    panel.setBook(makeBook(m_dir));
    QSignalSpy finished(&panel, &SearchPanel::searchFinished);
    panel.textBox()->setText(QStringLiteral("非常"));
    QTest::mouseClick(panel.searchButton(), Qt::LeftButton);
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.takeFirst().at(0).toInt(), 2);

    QListWidget* list = panel.results();
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(),
             QStringLiteral("第一章（2 处）\n道可道，非常道。名可名，非常名。"));
    QVERIFY(list->item(1)->text().startsWith(QStringLiteral("第三章（1 处）\n")));
    QCOMPARE(list->item(1)->toolTip(), QStringLiteral("THREE.HTML"));
    QCOMPARE(panel.statusLine()->text(), QStringLiteral("“非常”：2 页，共 3 处"));
}

void SearchPanelTest::nothingFoundSaysSoAndBlankTextClearsTheList() {
    TempDir dir;
    SearchPanel panel;
    panel.setBook(makeBook(dir));
    QSignalSpy finished(&panel, &SearchPanel::searchFinished);
    panel.search(QStringLiteral("非常"));
    QVERIFY(finished.wait(10000));
    panel.search(QStringLiteral("不在书里"));
    QVERIFY(finished.wait(10000));
    QCOMPARE(panel.results()->count(), 0);
    QCOMPARE(panel.statusLine()->text(), QStringLiteral("未找到“不在书里”"));

    panel.search(QStringLiteral("非常"));
    QVERIFY(finished.wait(10000));
    panel.search(QStringLiteral("   "));
    QCOMPARE(panel.results()->count(), 0);
    QVERIFY(panel.statusLine()->text().isEmpty());

    SearchPanel empty;
    empty.search(QStringLiteral("非常"));
    QCOMPARE(empty.statusLine()->text(), QStringLiteral("没有打开的电子书"));
}

void SearchPanelTest::choosingAResultNamesThePage() {
    TempDir dir;
    SearchPanel panel;
    panel.setBook(makeBook(dir));
    QSignalSpy finished(&panel, &SearchPanel::searchFinished);
    QSignalSpy chosen(&panel, &SearchPanel::pageChosen);
    panel.textBox()->setText(QStringLiteral("  名万物 "));
    QTest::keyClick(panel.textBox(), Qt::Key_Return);
    QVERIFY(finished.wait(10000));
    QCOMPARE(panel.results()->count(), 1);

    panel.show();
    QListWidget* list = panel.results();
    const QRect rect = list->visualItemRect(list->item(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).toString(), QStringLiteral("TWO.HTML"));
    QCOMPARE(chosen.at(0).at(1).toString(), QStringLiteral("名万物"));
}

void SearchPanelTest::aPageOpenedFromAResultHasItsMatchesHighlighted() {
    TempDir dir;
    dir.write("page.html", "<html><head><meta charset=utf-8></head><body><p>非常道，非常名。"
                           "</p><p>另一段非常</p></body></html>");
    QWebEngineView view;
    view.resize(400, 300);
    view.show();
    int matches = -1;
    SearchPanel::openHighlighted(&view,
                                 QUrl::fromLocalFile(QString::fromStdString(dir.file("page.html"))),
                                 QStringLiteral("非常"), [&](int n) { matches = n; });
    QTRY_COMPARE_WITH_TIMEOUT(matches, 3, 30000);
}

void SearchPanelTest::theShortcutShowsThePanelWithItsTextBoxFocused() {
    QWidget window;
    window.resize(600, 400);
    auto* panel = new SearchPanel(&window);
    panel->installShortcut(&window);
    panel->hide();
    panel->placeIn(QRect(0, 0, 200, 400));
    QCOMPARE(panel->geometry(), QRect(0, 180, 200, 220));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy activated(panel, &SearchPanel::activated);
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(activated.count(), 1);
    QVERIFY(panel->isVisible());
    QTRY_VERIFY(panel->textBox()->hasFocus());
    QTest::keyClick(panel->textBox(), Qt::Key_Escape);
    QVERIFY(!panel->isVisible());
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    SearchPanelTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "searchpanel_test.moc"
