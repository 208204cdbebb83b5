// The maker's companion windows driven through their buttons on folders each test builds: what
// they add to the contents list, the files they write, the questions and messages they show.
#include "maker/ui/frmabout_maker.h"
#include "maker/ui/frmdownload_maker.h"
#include "maker/ui/frmgeturl.h"
#include "maker/ui/frmhomepage.h"
#include "maker/ui/frmhtmltotxt.h"
#include "maker/ui/frmrename.h"
#include "maker/ui/frmsel.h"
#include "maker/ui/frmtree.h"
#include "maker/ui/iconchooser.h"

#include "core/text.h"
#include "maker/compiler/icon.h"
#include "maker/generators/contentslist.h"
#include "maker/generators/convert.h"

#include "tests/tools/ico_builder.h"
#include "tests/tools/localserver.h"
#include "tests/tools/recordingobserver.h"
#include "tests/tools/testdir.h"
#include "tests/tools/waits.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>

#include <deque>
#include <filesystem>

using folio::generators::ContentsList;
using folio::generators::ExplorerList;
namespace gen = folio::generators;
namespace fs = std::filesystem;

namespace {

using Recorder = folio::testing::RecordingObserver;

// Pages and settings files of the system are CP936.
void writeAnsi(const TempDir& dir, const std::string& name, const std::string& utf8) {
    dir.write(name, folio::toAnsi(utf8));
}

ExplorerList explorer(const TempDir& dir, std::vector<std::string> names,
                      std::vector<bool> selected) {
    ExplorerList list;
    list.folder = dir.str();
    list.names = std::move(names);
    list.selected = std::move(selected);
    return list;
}

// Under Xvfb the windows are photographed into $FOLIO_SCREENSHOT_DIR.
void shoot(QWidget* window, const char* name) {
    const QByteArray dir = qgetenv("FOLIO_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    window->show();
    if (!QTest::qWaitForWindowExposed(window, folio::testing::WaitBoundMs))
        return;
    QTest::qWait(200);
    window->grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + QString::fromLatin1(name) +
                        QStringLiteral(".png"));
}

template <class W> W* child(QWidget* window, const char* name) {
    return window->findChild<W*>(QString::fromLatin1(name));
}

void click(QWidget* window, const char* button) {
    auto* b = child<QPushButton>(window, button);
    QVERIFY2(b, button);
    QTest::mouseClick(b, Qt::LeftButton);
}

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

class CompanionsTest : public QObject {
    Q_OBJECT
  private slots:
    void treeAddsEntriesUnderTheClickedRow();
    void treeNamesUnreadablePagesAndClosesOnNoSelection();
    void homePageEditsTheCurrentRowOnly();
    void htmlToTxtWritesChaptersAndHides();
    void renameAsksFirst();
    void getUrlKeepsKeywordLinks();
    void downloadGenericLinksUnderTheCurrentRow();
    void downloadNovelSiteRewritesLinks();
    void downloadFailureWaitsForStopAndIsReported();
    void downloadRefusedWithoutProjectFolder();
    void downloadWindowDeletedDuringThePass();
    void selAddsPatternMatchesToTheSelection();
    void iconPreviewAndSetting();
    void iconPreviewOfABookImage();
    void aboutBox();
    void systemFiltersAndExplorerSelection();
};

void CompanionsTest::treeAddsEntriesUnderTheClickedRow() {
    TempDir dir;
    writeAnsi(dir, "a.html", "<html><body><h1>第一章</h1></body></html>");
    writeAnsi(dir, "b.html", "<html><body>\r\n<h1>Chapter Two</h1></body></html>");
    writeAnsi(dir, "c.html", "<h1>unselected</h1>");
    ContentsList list;
    list.appendEntry("1", "-1", "Book", "index.html");
    Recorder rec;
    folio::maker::Frmtree w(
        nullptr, list,
        [&] {
            return explorer(dir, {"a.html", "b.html", "c.html"}, {true, true, false});
        },
        rec);
    shoot(&w, "frmtree");
    w.show();
    QSignalSpy changed(&w, &folio::maker::Frmtree::contentsChanged);
    w.setParentEntry(QStringLiteral("1"), QStringLiteral("Book"));
    QCOMPARE(child<QLineEdit>(&w, "TxtSID")->text(), QStringLiteral("1"));
    child<QRadioButton>(&w, "Option4")->setChecked(true); // H1
    click(&w, "Command1");

    QCOMPARE(list.rowCount(), 5);
    QCOMPARE(list.cell(2, gen::ColID), std::string("2"));
    QCOMPARE(list.cell(2, gen::ColSID), std::string("1"));
    QCOMPARE(list.cell(2, gen::ColCaption), std::string("第一章"));
    QCOMPARE(list.cell(2, gen::ColURL), std::string("a.html"));
    QCOMPARE(list.cell(3, gen::ColID), std::string("3"));
    QCOMPARE(list.cell(3, gen::ColCaption), std::string("CHAPTER TWO"));
    QCOMPARE(list.cell(4, gen::ColCaption), std::string()); // the blank row stays last
    QCOMPARE(changed.count(), 1);
    QVERIFY(rec.boxes.empty());
    QVERIFY(!w.isVisible());
}

void CompanionsTest::treeNamesUnreadablePagesAndClosesOnNoSelection() {
    TempDir dir;
    writeAnsi(dir, "a.html", "<h1>甲</h1>");
    ContentsList list;
    Recorder rec;
    std::vector<bool> selected = {false, false};
    folio::maker::Frmtree w(
        nullptr, list,
        [&] {
            return explorer(dir, {"a.html", "gone.html"}, selected);
        },
        rec);
    w.setTitleSource(gen::TitleSource::HtmlH1);
    w.show();
    w.generate();
    QCOMPARE(list.rowCount(), 2);
    QVERIFY(rec.boxes.empty());
    QVERIFY(!w.isVisible());

    // A page that went away gets no entry, and the author is told which one.
    selected = {true, true};
    w.show();
    w.generate();
    QCOMPARE(list.rowCount(), 3);
    QCOMPARE(list.cell(1, gen::ColCaption), std::string("甲"));
    QCOMPARE(rec.boxes.size(), std::size_t(1));
    QVERIFY(rec.shown("gone.html"));
}

void CompanionsTest::homePageEditsTheCurrentRowOnly() {
    TempDir dir;
    QImage cover(60, 80, QImage::Format_RGB32);
    cover.fill(Qt::darkGreen);
    const QString coverPath = QString::fromStdString(dir.file("cover.jpg"));
    QVERIFY(cover.save(coverPath, "JPG"));

    ContentsList list;
    list.appendEntry("1", "-1", "雪山飞狐", "index.html");
    folio::maker::FrmHomePage w(
        nullptr, list, 1, [&](QWidget*, const QString&, const QString&, const QString& filter) {
            // The cover filter reaches the dialog in the system's form.
            return filter.startsWith(QStringLiteral("图片封皮")) ? coverPath : QString();
        });
    QCOMPARE(child<QLineEdit>(&w, "Text3")->text(), QStringLiteral("雪山飞狐"));
    QCOMPARE(child<QComboBox>(&w, "Combo1")->count(), 2);
    QSignalSpy changed(&w, &folio::maker::FrmHomePage::contentsChanged);

    child<QLineEdit>(&w, "Text5")->setText(QStringLiteral("金庸"));
    child<QLineEdit>(&w, "Text6")->setText(QStringLiteral("12"));
    child<QComboBox>(&w, "Combo1")->setCurrentText(QStringLiteral("完结"));
    child<QLineEdit>(&w, "Text9")->setText(QStringLiteral("简介"));
    click(&w, "Command4");
    QCOMPARE(child<QLineEdit>(&w, "Text7")->text(), coverPath);
    QVERIFY(w.hasCoverPreview());
    shoot(&w, "frmhomepage");
    w.show();
    click(&w, "Command1");
    QCOMPARE(list.cell(1, gen::ColAuthor), std::string("金庸"));
    QCOMPARE(list.cell(1, gen::ColLen), std::string("12"));
    QCOMPARE(list.cell(1, gen::ColImg), coverPath.toStdString());
    QCOMPARE(list.cell(1, gen::ColState), std::string("完结"));
    QCOMPARE(list.cell(1, gen::ColSynopsis), std::string("简介"));
    QCOMPARE(list.cell(1, gen::ColCaption), std::string("雪山飞狐"));
    QCOMPARE(changed.count(), 1);
    QVERIFY(!w.isVisible()); // "确定" closes the editor

    // The trailing blank row is never read: what is typed there is not stored in it.
    w.setRow(2);
    QCOMPARE(child<QLineEdit>(&w, "Text3")->text(), QString());
    child<QLineEdit>(&w, "Text3")->setText(QStringLiteral("typed"));
    click(&w, "Command1");
    QCOMPARE(list.rowCount(), 3);
    QCOMPARE(list.cell(2, gen::ColCaption), std::string());
    QCOMPARE(changed.count(), 1);
}

void CompanionsTest::htmlToTxtWritesChaptersAndHides() {
    TempDir dir;
    writeAnsi(dir, "ch.html",
              "<html><head><title>t</title></head><body><h1><a href=\"#\">第二章</a></h1>"
              "<div id=s>X甲&nbsp;乙<br>丙&amp;lt;</div></body></html>");
    writeAnsi(dir, "p.htm", "<h1>跳过</h1>");
    Recorder rec;
    folio::maker::FrmHtmlToTxt w(
        nullptr,
        [&] {
            return explorer(dir, {"ch.html", "p.htm"}, {true, true});
        },
        rec);
    shoot(&w, "frmhtmltotxt");
    w.show();
    QVERIFY(child<QRadioButton>(&w, "Option2")->isChecked());
    child<QLineEdit>(&w, "Text1")->setText(QStringLiteral("<div id=s>"));
    child<QLineEdit>(&w, "Text2")->setText(QStringLiteral("</div>"));
    QSignalSpy written(&w, &folio::maker::FrmHtmlToTxt::filesWritten);
    click(&w, "Command1");

    QCOMPARE(dir.read("ch.txt"), folio::toAnsi("第二章\r\n甲 乙\r\n丙&lt;\r\n"));
    QVERIFY(!fs::exists(dir.path / "p.txt"));
    QVERIFY(rec.shown(gen::PagesConvertedMessage));
    QCOMPARE(written.count(), 1);
    QVERIFY(!w.isVisible());
}

void CompanionsTest::renameAsksFirst() {
    TempDir dir;
    writeAnsi(dir, "a.txt", "第一章 天下\r\n正文");
    Recorder rec;
    std::string selected = "a.txt";
    folio::maker::FrmReName w(
        nullptr, [&] { return explorer(dir, {selected}, {true}); }, rec);
    shoot(&w, "frmrename");
    QSignalSpy renamed(&w, &folio::maker::FrmReName::filesRenamed);

    rec.answers = {folio::Answer::No};
    click(&w, "Command1");
    QVERIFY(rec.shown("该操作极具危险性"));
    QCOMPARE(rec.boxes.back().buttons, folio::MessageButtons::YesNo);
    QVERIFY(fs::exists(dir.path / "a.txt"));
    QCOMPARE(renamed.count(), 0);

    rec.answers = {folio::Answer::Yes};
    click(&w, "Command1");
    QVERIFY(!fs::exists(dir.path / "a.txt"));
    QVERIFY(fs::exists(dir.path / fs::u8path("第一章天下.txt")));
    QCOMPARE(renamed.count(), 1);

    // Ticked, the check box takes the links of the folder's pages along and says so once.
    writeAnsi(dir, "b.txt", "第二章\r\n");
    writeAnsi(dir, "p.html", "<a href=\"b.txt\">第二章</a>");
    selected = "b.txt";
    child<QCheckBox>(&w, "CheckRelink")->setChecked(true);
    rec.answers = {folio::Answer::Yes};
    click(&w, "Command1");
    QCOMPARE(dir.read("p.html"), folio::toAnsi("<a href=\"第二章.txt\">第二章</a>"));
    QVERIFY(rec.shown("更新了 1 个网页中的链接"));
}

void CompanionsTest::getUrlKeepsKeywordLinks() {
    QWebEnginePage page;
    QSignalSpy loaded(&page, &QWebEnginePage::loadFinished);
    page.setHtml(QStringLiteral("<html><body><p>目录</p>"
                                "<a href=\"1.html\">第一章</a>"
                                "<a href=\"2.html\"><b>第一章</b> 第二节</a>"
                                "<a href=\"http://other.example/about\">关于</a>"
                                "</body></html>"),
                 QUrl(QStringLiteral("http://127.0.0.1/book/")));
    FOLIO_WAIT_COMPARE(loaded.count(), 1);

    Recorder rec;
    folio::maker::FrmGetURL w(nullptr, &page, rec);
    shoot(&w, "frmgeturl");
    w.show();
    QSignalSpy found(&w, &folio::maker::FrmGetURL::linksFound);
    child<QRadioButton>(&w, "Option2")->setChecked(true);
    QCOMPARE(child<QLineEdit>(&w, "Text1")->text(), QStringLiteral("章,节,卷"));
    click(&w, "Command1");
    FOLIO_WAIT_COMPARE(found.count(), 1);
    // The second link holds both "章" and "节": it is kept twice.
    QCOMPARE(found[0][0].toStringList(),
             (QStringList{QStringLiteral("第一章"), QStringLiteral("第一章 第二节"),
                          QStringLiteral("第一章 第二节")}));
    QCOMPARE(found[0][1].toStringList(),
             (QStringList{QStringLiteral("http://127.0.0.1/book/1.html"),
                          QStringLiteral("http://127.0.0.1/book/2.html"),
                          QStringLiteral("http://127.0.0.1/book/2.html")}));
    QVERIFY(rec.shown("分析网页链接完成！"));
    QVERIFY(!w.isVisible());

    child<QRadioButton>(&w, "Option1")->setChecked(true);
    w.analyse();
    FOLIO_WAIT_COMPARE(found.count(), 2);
    QCOMPARE(found[1][0].toStringList().size(), 3);
    QCOMPARE(found[1][1].toStringList().last(), QStringLiteral("http://other.example/about"));
}

namespace {

struct FetchBench {
    TempDir maker;
    LocalServer server;
    ContentsList list;
    Recorder rec;
    folio::maker::LinkSelection links;
    QString project;

    FetchBench() {
        fs::create_directories(maker.path / "Book");
        project = QString::fromStdString(maker.file("Book"));
        list.appendEntry("7", "-1", "Book", "index.html");
    }
    folio::maker::FrmDownLoadInputs inputs() {
        folio::maker::FrmDownLoadInputs in;
        in.contents = &list;
        in.links = [this] { return links; };
        in.currentRow = [] { return 1; };
        in.projectFolder = [this] { return project; };
        in.makerFolder = maker.str();
        in.download.totalTimeout = std::chrono::milliseconds(5000);
        return in;
    }
};

} // namespace

void CompanionsTest::downloadGenericLinksUnderTheCurrentRow() {
    FetchBench b;
    const std::string base = b.server.base();
    b.server.set("/c1", Reply(200, "one"));
    b.server.set("/c2", Reply(200, "two"));
    b.server.set("/c3", Reply(200, "three"));
    b.server.set("/c4", Reply(200, "four"));
    b.links.texts = {"第一章", "第二章", "第三章", "../逃出"};
    b.links.targets = {base + "/c1", base + "/c2", base + "/c3", base + "/c4"};
    b.links.selected = {true, false, true, true};

    folio::maker::FrmDownLoad w(nullptr, b.inputs(), b.rec);
    w.show();
    QSignalSpy changed(&w, &folio::maker::FrmDownLoad::contentsChanged);
    QSignalSpy finished(&w, &folio::maker::FrmDownLoad::fetchFinished);
    child<QRadioButton>(&w, "Option2")->setChecked(true);
    click(&w, "Command1");
    // The pass runs beside the window, which answers meanwhile.
    QVERIFY(!child<QPushButton>(&w, "Command1")->isEnabled());
    QVERIFY(finished.wait(folio::testing::WaitBoundMs));

    const fs::path book = b.maker.path / "Book";
    QCOMPARE(slurp(book / fs::u8path("第一章.html")), std::string("one"));
    QCOMPARE(slurp(book / fs::u8path("第三章.html")), std::string("three"));
    QVERIFY(!fs::exists(book / fs::u8path("第二章.html")));
    // A link text naming another folder still lands in the project folder.
    QVERIFY(!fs::exists(b.maker.path / fs::u8path("逃出.html")));
    int inside = 0;
    for (const auto& e : fs::directory_iterator(book))
        inside += e.is_regular_file();
    QCOMPARE(inside, 3);

    QCOMPARE(b.list.rowCount(), 6);
    QCOMPARE(b.list.cell(2, gen::ColID), std::string("2"));
    QCOMPARE(b.list.cell(2, gen::ColSID), std::string("7"));
    QCOMPARE(b.list.cell(2, gen::ColCaption), std::string("第一章"));
    QCOMPARE(b.list.cell(2, gen::ColURL), std::string("第一章.html"));
    QCOMPARE(b.list.cell(3, gen::ColID), std::string("3"));
    QCOMPARE(b.list.cell(3, gen::ColCaption), std::string("第三章"));
    // The link is the file really written.
    QVERIFY(fs::exists(book / fs::u8path(b.list.cell(4, gen::ColURL))));
    QCOMPARE(changed.count(), 3);
    QVERIFY(b.rec.shown("成功下载所有网页！"));
    QVERIFY(child<QPushButton>(&w, "Command1")->isEnabled());
    QVERIFY(child<QPushButton>(&w, "Command2")->isEnabled());
    shoot(&w, "frmdownload");
}

void CompanionsTest::downloadNovelSiteRewritesLinks() {
    FetchBench b;
    const std::string base = b.server.base();
    b.maker.write("folioNet.ini", folio::toAnsi("[folioNet]\r\nNovelSite=" + base +
                                                "\r\nNovelSiteName=测试书站\r\n"));
    b.server.set("/book/123,456.aspx", Reply(200, "<a href=\"" + base + "/Author3/x\">作者</a>"));
    b.server.set("/Author3/123/456.txt", Reply(200, "first"));
    b.server.set("/Author3/123/457.txt", Reply(200, "second"));
    b.links.texts = {"一", "二"};
    b.links.targets = {base + "/book/123,456.aspx", base + "/book/123,457.aspx"};
    b.links.selected = {true, true};

    folio::maker::FrmDownLoad w(nullptr, b.inputs(), b.rec);
    QCOMPARE(child<QRadioButton>(&w, "Option1")->text(), QStringLiteral("测试书站"));
    QVERIFY(child<QRadioButton>(&w, "Option1")->isChecked());
    QSignalSpy finished(&w, &folio::maker::FrmDownLoad::fetchFinished);
    w.start();
    QVERIFY(finished.wait(folio::testing::WaitBoundMs));
    const fs::path book = b.maker.path / "Book";
    QCOMPARE(slurp(book / fs::u8path("一.html")), std::string("first"));
    QCOMPARE(slurp(book / fs::u8path("二.html")), std::string("second"));
    QVERIFY(b.rec.shown("成功下载所有网页！"));
}

void CompanionsTest::downloadFailureWaitsForStopAndIsReported() {
    FetchBench b;
    const std::string base = b.server.base();
    b.server.set("/good", Reply(200, "good"));
    b.links.texts = {"坏", "好"};
    b.links.targets = {base + "/bad", base + "/good"};
    b.links.selected = {true, true};

    folio::maker::FrmDownLoad w(nullptr, b.inputs(), b.rec);
    w.show();
    child<QRadioButton>(&w, "Option2")->setChecked(true);
    QSignalSpy finished(&w, &folio::maker::FrmDownLoad::fetchFinished);
    w.start();
    // The pass waits on the failed chapter, saying so; "开始" meanwhile is refused.
    FOLIO_WAIT_VERIFY(child<QLabel>(&w, "Label2")->text().startsWith(QStringLiteral("下载失败")));
    QVERIFY(w.isFetching() && w.isRunning());
    w.start();
    QVERIFY(b.rec.shown("上一次下载还没有结束"));
    click(&w, "Command3");
    QVERIFY(finished.wait(folio::testing::WaitBoundMs));
    QCOMPARE(w.lastSummary().failed, 1);
    QCOMPARE(w.lastSummary().downloaded, 1);
    QCOMPARE(slurp(b.maker.path / "Book" / fs::u8path("好.html")), std::string("good"));
    QVERIFY(!fs::exists(b.maker.path / "Book" / fs::u8path("坏.html")));
    // Lost chapters are not reported as all downloaded.
    QVERIFY(!b.rec.shown("成功下载所有网页！"));
    QVERIFY(b.rec.shown("失败 1"));
    QCOMPARE(b.rec.boxes.back().icon, folio::MessageIcon::Exclamation);
}

void CompanionsTest::downloadRefusedWithoutProjectFolder() {
    FetchBench b;
    b.project = QString::fromStdString(b.maker.file("NoSuchBook"));
    b.links.texts = {"一"};
    b.links.targets = {b.server.base() + "/c1"};
    b.links.selected = {true};
    folio::maker::FrmDownLoad w(nullptr, b.inputs(), b.rec);
    w.start();
    QVERIFY(b.rec.shown("NoSuchBook"));
    QVERIFY(b.server.requests().empty());
    QCOMPARE(b.list.rowCount(), 3);
    QVERIFY(!fs::exists(b.maker.path / "NoSuchBook"));
}

void CompanionsTest::downloadWindowDeletedDuringThePass() {
    FetchBench b;
    const std::string base = b.server.base();
    b.server.set("/good", Reply(200, "good"));
    b.links.texts = {"坏", "好"};
    b.links.targets = {base + "/bad", base + "/good"};
    b.links.selected = {true, true};
    auto* w = new folio::maker::FrmDownLoad(nullptr, b.inputs(), b.rec);
    child<QRadioButton>(w, "Option2")->setChecked(true);
    // The pass waits on the failed chapter; the window goes meanwhile (the workbench
    // quitting). The pass finishes its list without touching the window.
    w->start();
    FOLIO_WAIT_VERIFY(child<QLabel>(w, "Label2")->text().startsWith(QStringLiteral("下载失败")));
    delete w;
    QCOMPARE(slurp(b.maker.path / "Book" / fs::u8path("好.html")), std::string("good"));
    QVERIFY(!b.rec.shown("成功下载所有网页！"));
}

void CompanionsTest::selAddsPatternMatchesToTheSelection() {
    TempDir maker;
    maker.write("Ext.ini", "*.*\r\n*.htm\r\n*.html\r\n");
    QListWidget list1;
    list1.setSelectionMode(QAbstractItemView::MultiSelection);
    list1.addItems({QStringLiteral("a.htm"), QStringLiteral("b.html"), QStringLiteral("c.txt"),
                    QStringLiteral("d.htm")});
    list1.item(2)->setSelected(true);
    folio::maker::FrmSel w(nullptr, maker.str(), &list1);
    shoot(&w, "frmsel");
    auto* patterns = child<QListWidget>(&w, "ListExt");
    QCOMPARE(patterns->count(), 3);
    QCOMPARE(child<QLineEdit>(&w, "Text1")->text(), QStringLiteral("*.*"));

    child<QLineEdit>(&w, "Text1")->setText(QStringLiteral("*.htm"));
    click(&w, "Command1");
    QVERIFY(list1.item(0)->isSelected());
    QVERIFY(!list1.item(1)->isSelected()); // ".html" does not end in ".htm"
    QVERIFY(list1.item(2)->isSelected());  // selections are only added
    QVERIFY(list1.item(3)->isSelected());

    w.show();
    w.choosePattern(2); // "*.html"
    QVERIFY(list1.item(1)->isSelected());
    QCOMPARE(w.result(), int(QDialog::Accepted));
    QVERIFY(!w.isVisible());
}

void CompanionsTest::iconPreviewAndSetting() {
    TempDir dir;
    const auto ico = icontest::makeIco({{32, 32, 24, 5}, {16, 16, 24, 9}});
    dir.write("my.ico", std::string(ico.begin(), ico.end()));
    dir.write("bad.ico", "not an icon");
    const QString myIco = QString::fromStdString(dir.file("my.ico"));

    auto image = folio::maker::firstIconImage(dir.file("my.ico"));
    QVERIFY(image.has_value());
    QCOMPARE(image->size(), QSize(32, 32)); // the first image, not the second
    auto bad = folio::maker::firstIconImage(dir.file("bad.ico"));
    QVERIFY(!bad.has_value());
    QVERIFY(bad.error().message.find("bad.ico") != std::string::npos);

    QLineEdit txtIconPath;
    Recorder rec;
    QString offered;
    folio::maker::IconChooser chooser(
        nullptr, &txtIconPath, QString::fromStdString(dir.str()), rec,
        [&](QWidget*, const QString&, const QString&, const QString& filter) {
            offered = filter;
            return myIco;
        });
    chooser.loadIcon();
    QVERIFY(offered.startsWith(QStringLiteral("所有支持类型文件")));
    QCOMPARE(txtIconPath.text(), myIco);
    QCOMPARE(chooser.shownImage(), *image);
    QVERIFY(!chooser.picIcon()->pixmap().isNull());
    shoot(&chooser, "iconchooser");

    // A file that is no icon is named and the setting keeps the icon chosen before.
    chooser.takeFile(QString::fromStdString(dir.file("bad.ico")));
    QVERIFY(rec.shown("bad.ico"));
    QCOMPARE(txtIconPath.text(), myIco);
    // Other kinds of file do nothing.
    const std::size_t boxes = rec.boxes.size();
    chooser.takeFile(QString::fromStdString(dir.file("picture.png")));
    QCOMPARE(rec.boxes.size(), boxes);
    QCOMPARE(txtIconPath.text(), myIco);
}

void CompanionsTest::iconPreviewOfABookImage() {
    const fs::path templ = fs::path(FOLIO_DIST_DIR) / "folioPage" / "folioPage.dat";
    if (!fs::exists(templ))
        QSKIP("the reader template is not built");
    TempDir maker;
    fs::create_directories(maker.path / "folioPage");
    fs::copy_file(templ, maker.path / "folioPage" / "folioPage.dat");
    fs::copy_file(templ, maker.path / "book.exe");
    const auto ico = icontest::makeIco({{32, 32, 24, 77}});
    maker.write("my.ico", std::string(ico.begin(), ico.end()));
    const QString book = QString::fromStdString(maker.file("book.exe"));

    auto templateIcon = folio::maker::firstIconImage(maker.file("folioPage/folioPage.dat"));
    QVERIFY2(templateIcon.has_value(), templateIcon ? "" : templateIcon.error().message.c_str());
    Recorder rec;
    QVERIFY(folio::icon::ReplaceIcon(maker.file("my.ico"), maker.file("book.exe"), rec));
    auto bookIcon = folio::maker::firstIconImage(maker.file("book.exe"));
    QVERIFY(bookIcon.has_value());
    // The book shows the icon it was given, not the template's.
    QCOMPARE(*bookIcon, *folio::maker::firstIconImage(maker.file("my.ico")));
    QVERIFY(*bookIcon != *templateIcon);

    QLineEdit txtIconPath(QStringLiteral("/gone/old.ico"));
    folio::maker::IconChooser chooser(
        nullptr, &txtIconPath, QString::fromStdString(maker.str()), rec,
        [&](QWidget*, const QString&, const QString&, const QString&) { return book; });
    QVERIFY(rec.boxes.empty()); // the setting a project brought is shown quietly
    chooser.loadIcon();
    QCOMPARE(chooser.shownImage(), *bookIcon);
    QCOMPARE(txtIconPath.text(), QStringLiteral("/gone/old.ico")); // an .exe only previews
    chooser.setDefault();
    QCOMPARE(chooser.shownImage(), *templateIcon);
    QVERIFY(txtIconPath.text().isEmpty());
}

void CompanionsTest::aboutBox() {
    folio::maker::frmAbout w(nullptr, QStringLiteral("folioMake"), QStringLiteral("1.2.0"));
    QCOMPARE(w.windowTitle(), QStringLiteral("关于 folioMake"));
    QCOMPARE(w.version()->text(), QStringLiteral("版本 1.2.0"));
    shoot(&w, "frmabout");
    w.show();
    click(&w, "cmdOK");
    QVERIFY(!w.isVisible());
}

void CompanionsTest::systemFiltersAndExplorerSelection() {
    QCOMPARE(folio::maker::qtFileFilter(QString::fromUtf8(folio::maker::IconFilter)),
             QStringLiteral("所有支持类型文件(*.ICO,*.EXE) (*.ICO *.ico *.EXE *.exe);;"
                            "ICO图标文件( *.ICO) (*.ICO *.ico);;"
                            "EXE可执行文件 (*.EXE) (*.EXE *.exe)"));
    QCOMPARE(folio::maker::qtFileFilter(QStringLiteral("网页文件(*.htm;*.html)|*.htm;*.html|"
                                                       "全部文件(*.*)|*.*")),
             QStringLiteral("网页文件(*.htm;*.html) (*.htm *.HTM *.html *.HTML);;"
                            "全部文件(*.*) (*)"));

    QListWidget list1;
    list1.setSelectionMode(QAbstractItemView::MultiSelection);
    list1.addItems({QStringLiteral("甲.html"), QStringLiteral("b.txt")});
    list1.item(1)->setSelected(true);
    const ExplorerList seen = folio::maker::explorerListOf(&list1, QStringLiteral("/书"));
    QCOMPARE(seen.folder, std::string("/书"));
    QCOMPARE(seen.names, (std::vector<std::string>{"甲.html", "b.txt"}));
    QCOMPARE(seen.selected, (std::vector<bool>{false, true}));
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    CompanionsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "companions_test.moc"
