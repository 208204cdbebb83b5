// The search panel alone: a search lists each page by title with its snippet and says how many
// pages matched or that nothing did; choosing a result names the page; a page opened from a
// result has its matches highlighted; the shortcut brings the panel up; a folder of pages is
// searched like a book; a book's index build stops when the panel lets the book go; the texts
// follow the language file.
#include "reader/ui/searchpanel.h"

#include "core/book.h"
#include "core/pe.h"
#include "core/text.h"
#include "qt/language.h"
#include "tests/tools/testdir.h"
#include "tests/tools/waits.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>
#include <QToolButton>
#include <QWebEngineView>

#include <filesystem>

using namespace folio;
using folio::readerui::SearchPanel;

namespace {

std::shared_ptr<const book::BookImage>
makeBook(const TempDir& dir, const std::vector<std::pair<std::string, std::string>>& pages) {
    const std::string path = dir.file("book.exe");
    std::filesystem::copy_file(FOLIO_BOOK_FIXTURE, path);
    auto u = pe::ResourceUpdater::begin(path, false);
    for (const auto& [name, bytes] : pages)
        u->update(pe::ResourceId::fromId(book::PageType), book::pageResourceName(name),
                  book::ResourceLanguage, Bytes(bytes.begin(), bytes.end()));
    if (!u->end(false))
        return nullptr;
    auto book = book::BookImage::open(path);
    return book ? std::shared_ptr<const book::BookImage>(std::move(*book)) : nullptr;
}

std::shared_ptr<const book::BookImage> makeBook(const TempDir& dir) {
    return makeBook(
        dir,
        {
            {"one.html",
             toAnsi("<html><head><meta charset=gb2312><title>第一章</title></head><body>"
                    "<p>道可道，非常道。名可名，非常名。</p></body></html>")},
            {"two.html",
             "<html><head><meta charset=utf-8><title>第二章</title></head><body>"
             "<p>无名天地之始，有名万物之母。<script>var 非常 = 1;</script></p></body></html>"},
            {"three.html", "<html><head><title>第三章</title></head><body><p>故常无欲，以观其妙；"
                           "常有欲，以观其徼。此两者同出而异名，非常玄妙。</p></body></html>"},
        });
}

void writeFile(const TempDir& dir, const std::string& name, const std::string& bytes) {
    std::filesystem::create_directories((dir.path / name).parent_path());
    dir.write(name, bytes);
}

} // namespace

class SearchPanelTest : public QObject {
    Q_OBJECT
  private slots:
    void resultsAreListedByTitleWithSnippetAndCounted();
    void nothingFoundSaysSoAndBlankTextClearsTheList();
    void choosingAResultNamesThePage();
    void aPageOpenedFromAResultHasItsMatchesHighlighted();
    void activatingShowsThePanelWithItsTextBoxFocused();
    void aFolderIsSearchedAndLooksAgainForPagesKeptSince();
    void lettingTheBookGoStopsItsIndexAndNothingWaitsForIt();
    void aSearchOverTakenByAnotherBookOrTextIsNotShown();
    // Last: it chooses a language for the whole program.
    void textsComeFromTheLanguageFileInEveryLanguage();

  private:
    TempDir m_dir;
};

void SearchPanelTest::resultsAreListedByTitleWithSnippetAndCounted() {
    SearchPanel panel;
    panel.setBook(makeBook(m_dir));
    QSignalSpy finished(&panel, &SearchPanel::searchFinished);
    panel.textBox()->setText(QStringLiteral("非常"));
    QTest::mouseClick(panel.searchButton(), Qt::LeftButton);
    QVERIFY(finished.wait(folio::testing::WaitBoundMs));
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
    QVERIFY(finished.wait(folio::testing::WaitBoundMs));
    panel.search(QStringLiteral("不在书里"));
    QVERIFY(finished.wait(folio::testing::WaitBoundMs));
    QCOMPARE(panel.results()->count(), 0);
    QCOMPARE(panel.statusLine()->text(), QStringLiteral("未找到“不在书里”"));

    panel.search(QStringLiteral("非常"));
    QVERIFY(finished.wait(folio::testing::WaitBoundMs));
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
    QVERIFY(finished.wait(folio::testing::WaitBoundMs));
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
    FOLIO_WAIT_COMPARE(matches, 3);
}

void SearchPanelTest::activatingShowsThePanelWithItsTextBoxFocused() {
    QWidget window;
    window.resize(600, 400);
    auto* panel = new SearchPanel(&window);
    panel->hide();
    panel->placeIn(QRect(0, 0, 200, 400));
    QCOMPARE(panel->geometry(), QRect(0, 180, 200, 220));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window, folio::testing::WaitBoundMs));
    QSignalSpy activated(panel, &SearchPanel::activated);
    panel->activate();
    QCOMPARE(activated.count(), 1);
    QVERIFY(panel->isVisible());
    FOLIO_WAIT_VERIFY(panel->textBox()->hasFocus());
    QTest::keyClick(panel->textBox(), Qt::Key_Escape);
    QVERIFY(!panel->isVisible());
}

void SearchPanelTest::aFolderIsSearchedAndLooksAgainForPagesKeptSince() {
    TempDir dir;
    writeFile(dir, "index.html",
              toAnsi("<html><head><meta charset=gb2312><title>首页</title>"
                     "</head><body>在线的书</body></html>"));
    SearchPanel panel;
    panel.setFolder(QString::fromStdString(dir.str()));
    QSignalSpy finished(&panel, &SearchPanel::searchFinished);
    panel.search(QStringLiteral("在线的书"));
    QVERIFY(finished.wait(folio::testing::WaitBoundMs));
    QCOMPARE(panel.results()->count(), 1);
    QCOMPARE(panel.results()->item(0)->toolTip(), QStringLiteral("index.html"));

    // A page fetched while the panel was closed is found once it is opened again.
    writeFile(dir, "download/第1章.html",
              "<html><head><meta charset=utf-8><title>第一章</title>"
              "</head><body>也是在线的书</body></html>");
    panel.search(QStringLiteral("在线的书"));
    QVERIFY(finished.wait(folio::testing::WaitBoundMs));
    QCOMPARE(panel.results()->count(), 1);
    panel.activate();
    panel.search(QStringLiteral("在线的书"));
    QVERIFY(finished.wait(folio::testing::WaitBoundMs));
    QCOMPARE(panel.results()->count(), 2);
    QSignalSpy chosen(&panel, &SearchPanel::pageChosen);
    QListWidget* list = panel.results();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(0)).center());
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).toString(), QStringLiteral("download/第1章.html"));

    panel.setFolder(QString());
    QVERIFY(!panel.bookSearch());
}

void SearchPanelTest::lettingTheBookGoStopsItsIndexAndNothingWaitsForIt() {
    TempDir dir;
    std::vector<std::pair<std::string, std::string>> pages;
    for (int i = 0; i < 300; ++i)
        pages.emplace_back("p" + std::to_string(i) + ".html", "<html><body><p>" +
                                                                  std::string(3000, 'w') +
                                                                  " 页里的字</p></body></html>");
    const auto book = makeBook(dir, pages);
    QVERIFY(book);

    // Another book set: the first one's build is told to stop.
    std::shared_ptr<const reader::BookSearch> first;
    {
        SearchPanel panel;
        panel.setBook(book);
        first = panel.bookSearch();
        QVERIFY(!first->cancelled());
        panel.setBook(book);
        QVERIFY(first->cancelled());
        QVERIFY(!panel.bookSearch()->cancelled());
        // The search in flight when the panel goes finishes on its own, with no one to tell.
        panel.search(QStringLiteral("页里的字"));
        first = panel.bookSearch();
    }
    QVERIFY(first->cancelled());
    QThreadPool::globalInstance()->waitForDone();

    // A book kept, searched at once: the search waits for the build and finds every page.
    SearchPanel panel;
    panel.setBook(book);
    QSignalSpy finished(&panel, &SearchPanel::searchFinished);
    panel.search(QStringLiteral("页里的字"));
    QVERIFY(finished.wait(folio::testing::WaitBoundMs));
    QCOMPARE(panel.results()->count(), 300);
}

void SearchPanelTest::aSearchOverTakenByAnotherBookOrTextIsNotShown() {
    TempDir dir, other;
    std::vector<std::pair<std::string, std::string>> pages;
    for (int i = 0; i < 300; ++i)
        pages.emplace_back("p" + std::to_string(i) + ".html", "<html><body><p>" +
                                                                  std::string(3000, 'w') +
                                                                  " 页里的字</p></body></html>");
    const auto big = makeBook(dir, pages);
    SearchPanel panel;
    QSignalSpy finished(&panel, &SearchPanel::searchFinished);

    // Another book set while a search of the first one runs: that search is stopped, and its
    // (empty) answer is no "not found" for the book set now.
    panel.setBook(big);
    panel.search(QStringLiteral("页里的字"));
    panel.setBook(makeBook(other));
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    QCOMPARE(finished.count(), 0);
    QVERIFY(panel.statusLine()->text().isEmpty());
    panel.search(QStringLiteral("非常"));
    QVERIFY(finished.wait(folio::testing::WaitBoundMs));
    QCOMPARE(panel.results()->count(), 2);

    // A blank text after a search: the list stays empty when that search ends.
    panel.setBook(big);
    panel.search(QStringLiteral("页里的字"));
    panel.search(QStringLiteral(" "));
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    QCOMPARE(panel.results()->count(), 0);
    QVERIFY(panel.statusLine()->text().isEmpty());

    // A folder looked at again while a search of it runs: the search answers for the fresh look.
    TempDir folder;
    writeFile(folder, "a.html", "<html><body>在线的书</body></html>");
    panel.setFolder(QString::fromStdString(folder.str()));
    finished.clear();
    panel.search(QStringLiteral("在线的书"));
    writeFile(folder, "b.html", "<html><body>也是在线的书</body></html>");
    panel.hide();
    panel.activate();
    QVERIFY(finished.wait(folio::testing::WaitBoundMs));
    QCOMPARE(panel.results()->count(), 2);
}

void SearchPanelTest::textsComeFromTheLanguageFileInEveryLanguage() {
    TempDir dir;
    const QString folder = QString::fromStdString(dir.str());
    QVERIFY(QFile::copy(QStringLiteral(FOLIO_SOURCE_DIR "/data/folioPage/Language.lng"),
                        folder + QStringLiteral("/Language.lng")));
    // Every language names every text of the panel and of the find bar.
    const char* keys[] = {"SearchHint",          "CommandSearch",     "SearchClose",
                          "SearchNoBook",        "SearchBusy",        "SearchNotFound",
                          "SearchFound",         "SearchPageMatches", "LabelFind",
                          "CommandFindPrevious", "CommandFindNext",   "CommandFindClose",
                          "FindNotFound",        "FindMatches"};
    const QStringList languages = folio::qt::ListLanguages(folder);
    QCOMPARE(languages.size(), 4); // and the empty one that ends the list
    for (const QString& language : languages.mid(0, 3))
        for (const char* key : keys) {
            const QString value =
                folio::qt::ReadLanguageEntry(folder, language, QString::fromLatin1(key));
            QVERIFY2(!value.isEmpty() && value != QLatin1String(key),
                     qPrintable(language + QLatin1Char(' ') + QLatin1String(key)));
        }

    const QByteArray locale = qgetenv("LC_ALL");
    qputenv("LC_ALL", "en_US.UTF-8");
    QCOMPARE(folio::qt::SelectLanguageFromLocale(folder), QStringLiteral("English"));
    {
        SearchPanel panel(nullptr, folder);
        QCOMPARE(panel.textBox()->placeholderText(), QStringLiteral("Search the whole book"));
        QCOMPARE(panel.searchButton()->text(), QStringLiteral("Search"));
        QCOMPARE(panel.findChild<QToolButton*>(QStringLiteral("CmdSearchClose"))->toolTip(),
                 QStringLiteral("Close"));
        panel.search(QStringLiteral("道"));
        QCOMPARE(panel.statusLine()->text(), QStringLiteral("No book is open"));
        panel.setBook(makeBook(dir));
        QSignalSpy finished(&panel, &SearchPanel::searchFinished);
        panel.search(QStringLiteral("非常"));
        QVERIFY(finished.wait(folio::testing::WaitBoundMs));
        QCOMPARE(panel.statusLine()->text(), QStringLiteral("“非常”: 2 page(s), 3 match(es)"));
        QVERIFY(panel.results()->item(0)->text().startsWith(QStringLiteral("第一章 (2 found)\n")));
        panel.search(QStringLiteral("不在书里"));
        QVERIFY(finished.wait(folio::testing::WaitBoundMs));
        QCOMPARE(panel.statusLine()->text(), QStringLiteral("“不在书里” not found"));

        // Another language chosen while the panel exists shows when it is next opened.
        qputenv("LC_ALL", "zh_TW.UTF-8");
        folio::qt::SelectLanguageFromLocale(folder);
        panel.activate();
        QCOMPARE(panel.searchButton()->text(), QStringLiteral("搜尋"));
    }
    qputenv("LC_ALL", locale);
    folio::qt::SelectLanguageFromLocale(QString());
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    SearchPanelTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "searchpanel_test.moc"
