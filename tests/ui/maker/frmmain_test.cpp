// The workbench window on maker folders each test builds: start-up, opening projects, the
// settings file rules as the window shows them, zoom, the page list's options, the link lists
// and the grid, refusing a second command, saving the code view — and the road of a book from
// an empty project to a Book image the reader opens.
#include "core/text.h"
#include "maker/generators/contentslist.h"
#include "maker/ui/commandguard.h"
#include "maker/ui/contentspanel.h"
#include "maker/ui/frmcheck.h"
#include "maker/ui/frmmain.h"
#include "maker/ui/frmrename.h"
#include "maker/ui/frmtree.h"
#include "maker/ui/previewpanel.h"
#include "qt/resschemehandler.h"
#include "qt/windowobserver.h"
#include "reader/ui/frmebook.h"
#include "tests/tools/independent_check.h"
#include "tests/tools/recordingobserver.h"
#include "tests/tools/waits.h"
#include "tests/tools/webeval.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QWebEngineView>

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>

namespace fs = std::filesystem;
using folio::maker::ContentsButton;
using folio::maker::Frmmain;
using folio::maker::FrmmainOptions;
using folio::maker::GridButton;
using folio::maker::MainButton;
using folio::maker::OutputButton;
using folio::maker::PagesButton;
using folio::maker::PreviewButton;

namespace {

using folio::testing::RecordingObserver;

void writeAnsi(const QString& path, const std::string& utf8Text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    const std::string bytes = folio::toAnsi(utf8Text);
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

void writeRaw(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QString readAnsi(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray b = f.readAll();
    return QString::fromStdString(folio::fromAnsi(std::string_view(b.data(), b.size())));
}

using folio::testing::evaluate;

// A maker folder: the assembled one's data, template and tools, without its programs.
void copyMakerFolder(const QString& to) {
    const fs::path from = FOLIO_DIST_DIR;
    for (const auto& e : fs::recursive_directory_iterator(from)) {
        const fs::path rel = fs::relative(e.path(), from);
        const std::string first = rel.begin()->string();
        // Earlier runs' books and the programs themselves are not part of a fresh maker folder.
        if (first == "out" || rel == "folioMake" || rel == fs::path("folioPage/folioPage") ||
            rel == fs::path("folioPage/folioNet")) {
            continue;
        }
        const fs::path target = fs::path(to.toStdString()) / rel;
        if (e.is_directory()) {
            fs::create_directories(target);
        } else if (e.is_regular_file()) {
            fs::create_directories(target.parent_path());
            fs::copy_file(e.path(), target, fs::copy_options::overwrite_existing);
        }
    }
    fs::create_directories(fs::path(to.toStdString()) / "out");
}

QString settingsText(const QString& title, const QString& author) {
    return QStringLiteral("电子书名称：%1\r\n索引页：index.html\r\n目录树：tree.html\r\n"
                          "输出文件：%1\r\n作者：%2\r\n")
        .arg(title, author);
}

} // namespace

class FrmmainTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void windowObserverShowsWhatRoutinesReport();
    void startsOnTheLastProjectWithEveryControlNamed();
    void openingWritesConfigFromTheValuesShownBefore();
    void settingsLinesFollowTheColonAndEmptyLineRules();
    void savingTwiceThenClosingLeavesTheListOnce();
    void zoomStaysWithinItsLimits();
    void driveTreeExpandsIntoFolders();
    void previewFollowsNewWindowsAndKeepsHistory();
    void pageListOptionsChooseTheTab();
    void threeSelectedLinksBecomeEntriesOneTwoThree();
    void theContentsListIsPutInOrder();
    void aSecondCommandIsRefusedWhileOneRuns();
    void savingTheCodeView();
    void languageAppliesAtOnce();
    void aLargeProjectKeepsTheWindowAnswering();
    void renamingWithRelinkFollowsInTheGrid();
    void theRoadOfABook();

  private:
    Frmmain& open();
    QString maker(const QString& rel = {}) const {
        return rel.isEmpty() ? m_dir->path() : m_dir->filePath(rel);
    }
    // The text of the last box with an OK button, and of the last question ("" when none came).
    QString lastMessage() const {
        const auto boxes = m_messages.messages();
        return boxes.empty() ? QString() : QString::fromStdString(boxes.back().text);
    }
    QString lastQuestion() const {
        const auto boxes = m_messages.questions();
        return boxes.empty() ? QString() : QString::fromStdString(boxes.back().text);
    }
    template <class T> T* child(const char* name) {
        T* w = m_window->findChild<T*>(QString::fromLatin1(name));
        if (!w) {
            qFatal("no control %s", name);
        }
        return w;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    RecordingObserver m_messages;
    std::unique_ptr<Frmmain> m_window;
    QString m_pickedFolder;
};

void FrmmainTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    copyMakerFolder(m_dir->path());
    // The sample project is the one a fresh maker folder opens.
    writeAnsi(maker("Pro.ini"), "Book\r\n");
    m_messages = RecordingObserver();
}

void FrmmainTest::cleanup() {
    if (m_window) {
        m_window->close();
        m_window.reset();
    }
    m_dir.reset();
}

Frmmain& FrmmainTest::open() {
    FrmmainOptions options;
    options.makerFolder = maker();
    options.dialogs = &m_messages;
    options.attachSkin = false;
    options.chooseFolder = [this](QWidget*, const QString&) { return m_pickedFolder; };
    m_window = std::make_unique<Frmmain>(options);
    m_window->show();
    return *m_window;
}

void FrmmainTest::windowObserverShowsWhatRoutinesReport() {
    QWidget window;
    QProgressBar bar;
    folio::qt::WindowObserver observer(&window, &bar);

    // The real boxes: what the next one shows, then a click on `button`.
    struct Seen {
        QString text, title, ok;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    };
    const auto clickNext = [&](Seen& seen, QMessageBox::StandardButton button) {
        QTimer::singleShot(0, &window, [&seen, button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            seen = {box->text(), box->windowTitle(),
                    box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->text() : QString(),
                    box->icon(), box->standardButton(box->defaultButton())};
            box->button(button)->click();
        });
    };
    Seen message, yes, no;
    clickNext(message, QMessageBox::Ok);
    QCOMPARE(
        observer.messageBox("文件 a.txt 写不进去", "folioMake", folio::MessageIcon::Exclamation),
        folio::Answer::Ok);
    QCOMPARE(message.text, QStringLiteral("文件 a.txt 写不进去"));
    QCOMPARE(message.title, QStringLiteral("folioMake"));
    QCOMPARE(message.icon, QMessageBox::Warning);
    QCOMPARE(message.ok, QStringLiteral("确定"));

    clickNext(yes, QMessageBox::Yes);
    QCOMPARE(observer.messageBox("继续？", "t", folio::MessageIcon::Question,
                                 folio::MessageButtons::YesNo),
             folio::Answer::Yes);
    QCOMPARE(yes.defaultButton, QMessageBox::Yes);
    clickNext(no, QMessageBox::No);
    QCOMPARE(observer.messageBox("覆盖？", "t", folio::MessageIcon::Question,
                                 folio::MessageButtons::YesNo, folio::Answer::No),
             folio::Answer::No);
    QCOMPARE(no.icon, QMessageBox::Question);
    QCOMPARE(no.defaultButton, QMessageBox::No);

    observer.setCaption("folioMake-正在复制文件3%");
    QCOMPARE(window.windowTitle(), QStringLiteral("folioMake-正在复制文件3%"));

    // A value beyond the maximum, or a maximum below zero, never reaches the bar as such.
    bar.setValue(0);
    observer.setProgressMaximum(10);
    observer.setProgressValue(4);
    QCOMPARE(bar.value(), 4);
    observer.setProgressValue(12);
    QCOMPARE(bar.value(), 10);
    observer.setProgressMaximum(-1);
    QCOMPARE(bar.maximum(), 0);

    // Without a bar or a window the observer still answers; handed another observer, it
    // passes every box and dialog on and keeps the caption.
    folio::qt::WindowObserver bare(nullptr, nullptr, &m_messages);
    m_messages.saveAnswers = {"/tmp/a.txt"};
    QCOMPARE(bare.askSaveFileName("保存文件", "/tmp/", "全部文件(*.*)|*.*").value_or(""),
             std::string("/tmp/a.txt"));
    QCOMPARE(bare.messageBox("y?", "t", folio::MessageIcon::Question, folio::MessageButtons::YesNo),
             folio::Answer::No);
    QVERIFY(!bare.askText("t", "label"));
    bare.setCaption("x");
    QVERIFY(m_messages.captions.empty());
    bare.setProgressMaximum(3);
    bare.setProgressValue(2);
    bare.processEvents();
}

void FrmmainTest::startsOnTheLastProjectWithEveryControlNamed() {
    writeAnsi(maker("Second/Second.ini"), settingsText("Second", "作者乙").toStdString());
    writeAnsi(maker("Pro.ini"), "Book\r\nSecond\r\n");
    Frmmain& w = open();

    QCOMPARE(w.windowTitle(), QStringLiteral("folioMake"));
    QCOMPARE(child<QComboBox>("ComProPath")->currentText(), QStringLiteral("Second"));
    QCOMPARE(child<QComboBox>("ComProPath")->count(), 2);
    QCOMPARE(child<QLineEdit>("TxtTitle")->text(), QStringLiteral("Second"));
    QCOMPARE(child<QLineEdit>("TxtAuthor")->text(), QStringLiteral("作者乙"));
    QCOMPARE(child<QLineEdit>("TxtOutPath")->text(), maker() + QStringLiteral("/out/"));
    QCOMPARE(w.currentTab(), 6);
    QCOMPARE(w.previewPanel()->zoomLevel(), 100);
    QVERIFY(child<QListWidget>("List2")
                ->findItems(QStringLiteral("Second.ini"), Qt::MatchExactly)
                .size() == 1);
    QVERIFY(child<QComboBox>("Combo2")->count() >= 2);
    QVERIFY(child<QComboBox>("Combo1")->count() >= 3);
    QVERIFY(child<QWidget>("TreeView1"));
    QVERIFY(child<QRadioButton>("Option3")->isChecked());

    for (const char* name :
         {"TxtTitle",     "Txtindex",  "TxtTree",      "TxtOutPath",  "TxtoutFile", "TxtAuthor",
          "TxtURL",       "Txtupdate", "Txtonline",    "Txtad",       "ComProPath", "TxtTag",
          "HomePageTag",  "Combo1",    "Combo2",       "TxtIconPath", "Check1",     "Check2",
          "Check3",       "Check4",    "Command1",     "Command2",    "Command3",   "Command4",
          "Command5",     "Command6",  "Command7",     "Command8",    "Toolbar1",   "Toolbar2",
          "Toolbar3",     "Toolbar4",  "Toolbar5",     "Toolbar6",    "TabStrip1",  "MSFlexGrid1",
          "List1",        "List2",     "List3",        "List4",       "TreeView1",  "WebBook",
          "RichTextBox1", "PicGetURL", "ComURL",       "PicSet",      "Frame1",     "Option1",
          "Option2",      "Option3",   "ProgressBar1", "Pic",         "Pic1",       "Pic2",
          "Pic3"}) {
        QVERIFY2(m_window->findChild<QObject*>(QString::fromLatin1(name)), name);
    }
    for (const char* name : {"CommandDelete", "CommandMoveUp", "CommandMoveDown", "CommandIndent",
                             "CommandOutdent", "CommandUndo"}) {
        QVERIFY2(m_window->findChild<QPushButton*>(QString::fromLatin1(name)), name);
    }
}

void FrmmainTest::openingWritesConfigFromTheValuesShownBefore() {
    writeAnsi(maker("Other/Other.ini"), settingsText("Other", "作者丙").toStdString());
    writeAnsi(maker("Pro.ini"), "Book\r\nOther\r\n");
    QFile::remove(maker("Other/config.ini"));
    QFile::remove(maker("Book/config.ini"));
    writeAnsi(maker("Pro.ini"), "Other\r\nBook\r\n");
    // Start-up opens Book (the last entry); then choosing Other writes Other's config.ini from
    // what Book showed.
    Frmmain& w = open();
    QCOMPARE(child<QLineEdit>("TxtAuthor")->text(), QStringLiteral("老子"));
    w.selectProject(0);
    QCOMPARE(child<QLineEdit>("TxtAuthor")->text(), QStringLiteral("作者丙"));
    const QString config = readAnsi(maker("Other/config.ini"));
    QVERIFY2(config.contains(QStringLiteral("作者：老子\r\n")), qPrintable(config));
    QVERIFY(config.contains(QStringLiteral("电子书名称：Book\r\n")));

    // An entry whose folder is missing leaves the open project as it was.
    child<QComboBox>("ComProPath")->addItem(QStringLiteral("/elsewhere/Gone"));
    w.selectProject(2);
    QCOMPARE(child<QLineEdit>("TxtTitle")->text(), QStringLiteral("Other"));
}

void FrmmainTest::settingsLinesFollowTheColonAndEmptyLineRules() {
    writeAnsi(maker("Odd/Odd.ini"), "电子书名称：Odd\r\n网址：a：b\r\n作者 ：blank\r\n\r\n"
                                    "广告：after the empty line\r\n");
    writeAnsi(maker("Pro.ini"), "Odd\r\n");
    open();
    QCOMPARE(child<QLineEdit>("TxtURL")->text(), QStringLiteral("a：b"));
    QCOMPARE(child<QLineEdit>("TxtAuthor")->text(), QString()); // the blank key matched nothing
    QCOMPARE(child<QLineEdit>("Txtad")->text(), QString());     // read no further than the gap
}

void FrmmainTest::savingTwiceThenClosingLeavesTheListOnce() {
    QFile::remove(maker("Pro.ini"));
    open();
    child<QLineEdit>("TxtTitle")->setText(QStringLiteral("新书"));
    child<QPushButton>("Command2")->click();
    child<QPushButton>("Command2")->click();
    QCOMPARE(readAnsi(maker("Pro.ini")), QStringLiteral("新书\r\n新书\r\n"));
    QVERIFY(QFileInfo(maker("新书")).isDir());
    QVERIFY(QFile::exists(maker("TreeTag.ini")));

    // An empty title makes the settings commands do nothing at all.
    child<QLineEdit>("TxtTitle")->clear();
    child<QPushButton>("Command2")->click();
    child<QPushButton>("Command7")->click();
    QCOMPARE(readAnsi(maker("Pro.ini")), QStringLiteral("新书\r\n新书\r\n"));

    m_window->close();
    m_window.reset();
    QCOMPARE(readAnsi(maker("Pro.ini")), QStringLiteral("新书\r\n"));

    // The folder picker records a project by its full path; at the next start that entry is
    // the project text, but selecting it opens nothing (the maker folder is put in front).
    m_pickedFolder = maker("Book");
    open();
    child<QPushButton>("Command4")->click();
    QCOMPARE(child<QComboBox>("ComProPath")->currentText(), maker("Book"));
    QCOMPARE(child<QLineEdit>("TxtTitle")->text(), QStringLiteral("Book"));
}

void FrmmainTest::zoomStaysWithinItsLimits() {
    Frmmain& w = open();
    for (int i = 0; i < 9; ++i) {
        w.previewPanel()->action(PreviewButton::ZoomIn)->trigger();
    }
    QCOMPARE(w.previewPanel()->zoomLevel(), 280);
    for (int i = 0; i < 10; ++i) {
        w.previewPanel()->action(PreviewButton::ZoomIn)->trigger();
    }
    QCOMPARE(w.previewPanel()->zoomLevel(), 400);
    for (int i = 0; i < 30; ++i) {
        w.previewPanel()->action(PreviewButton::ZoomOut)->trigger();
    }
    QCOMPARE(w.previewPanel()->zoomLevel(), 40);
}

void FrmmainTest::driveTreeExpandsIntoFolders() {
    open();
    auto* tree = child<QTreeWidget>("TreeView1");
    QVERIFY(tree->topLevelItemCount() >= 1);
    QTreeWidgetItem* root = tree->topLevelItem(0);
    QCOMPARE(root->text(0), QStringLiteral("/"));
    QCOMPARE(root->childCount(), 1); // the placeholder
    QVERIFY(root->child(0)->text(0).isEmpty());

    // Expanding replaces the placeholder by the sub-folders, keyed by their paths.
    root->setExpanded(true);
    QTreeWidgetItem* tmp = nullptr;
    for (int i = 0; i < root->childCount(); ++i) {
        QVERIFY(!root->child(i)->text(0).isEmpty());
        if (root->child(i)->text(0) == QStringLiteral("tmp")) {
            tmp = root->child(i);
        }
    }
    QVERIFY(tmp);
    QCOMPARE(tmp->data(0, Qt::UserRole + 1).toString(), QStringLiteral("/tmp/"));

    // A click on a node lists its files.
    const QString folder = maker("Book");
    emit tree->itemClicked(root, 0);
    m_window->showExplorerFolder(folder);
    QCOMPARE(m_window->explorerFolder(), folder);
    QVERIFY(!child<QListWidget>("List1")
                 ->findItems(QStringLiteral("Book.ini"), Qt::MatchExactly)
                 .isEmpty());

    // Down to the maker folder by the keyboard: the node the cursor reaches lists its files,
    // and a folder made meanwhile appears in the tree, a file in the list.
    QTreeWidgetItem* node = root;
    const QStringList parts = maker().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        node->setExpanded(true);
        tree->setCurrentItem(node);
        QTest::keyClick(tree, Qt::Key_Right); // into the first sub-folder
        for (int i = 0; tree->currentItem()->text(0) != part && i < node->childCount(); ++i) {
            QTest::keyClick(tree, Qt::Key_Down);
        }
        QCOMPARE(tree->currentItem()->text(0), part);
        node = tree->currentItem();
    }
    QCOMPARE(QDir::cleanPath(m_window->explorerFolder()), maker());
    node->setExpanded(true);
    QVERIFY(QDir(maker()).mkdir(QStringLiteral("新文件夹")));
    writeAnsi(maker("later.txt"), "x");
    FOLIO_WAIT_VERIFY([&] {
        for (int i = 0; i < node->childCount(); ++i) {
            if (node->child(i)->text(0) == QStringLiteral("新文件夹")) {
                return true;
            }
        }
        return false;
    }());
    FOLIO_WAIT_VERIFY(!child<QListWidget>("List1")
                           ->findItems(QStringLiteral("later.txt"), Qt::MatchExactly)
                           .isEmpty());

    // F1 shows the help page in the preview.
    m_window->selectTab(6);
    QTest::keyClick(m_window.get(), Qt::Key_F1);
    QCOMPARE(m_window->currentTab(), 2);
    FOLIO_WAIT_VERIFY(
        m_window->preview()->url().toString().endsWith(QStringLiteral("help/help.html")));
}

void FrmmainTest::previewFollowsNewWindowsAndKeepsHistory() {
    writeAnsi(maker("Book/a.html"), "<html><body><a id=\"l\" href=\"elsewhere.html\" "
                                    "target=\"_blank\">b</a></body></html>");
    writeAnsi(maker("Book/b.html"), "<html><head><title>B</title></head><body>b</body></html>");
    Frmmain& w = open();
    QAction* back = child<QToolBar>("Toolbar1")->actions().value(0);

    // The address box navigates the preview.
    auto* comURL = child<QComboBox>("ComURL");
    comURL->setEditText(QUrl::fromLocalFile(maker("Book/a.html")).toString());
    emit comURL->lineEdit()->returnPressed();
    QCOMPARE(w.currentTab(), 2);
    FOLIO_WAIT_VERIFY(w.preview()->url().path().endsWith(QStringLiteral("a.html")));
    // The address changes when loading starts; the link exists once the document is there.
    FOLIO_WAIT_VERIFY(
        evaluate(w.preview(), QStringLiteral("document.getElementById('l') !== null")).toBool());

    // A link asking for a new window opens the last status text in the preview itself.
    w.preview()->setLastStatusText(QUrl::fromLocalFile(maker("Book/b.html")).toString());
    evaluate(w.preview(), QStringLiteral("document.getElementById('l').click()"));
    FOLIO_WAIT_COMPARE(w.preview()->title(), QStringLiteral("B"));
    FOLIO_WAIT_VERIFY(back->isEnabled());
    w.previewPanel()->action(PreviewButton::Back)->trigger();
    FOLIO_WAIT_VERIFY(w.preview()->url().path().endsWith(QStringLiteral("a.html")));
}

void FrmmainTest::pageListOptionsChooseTheTab() {
    Frmmain& w = open();
    auto* list2 = child<QListWidget>("List2");
    const auto items = list2->findItems(QStringLiteral("chapter01.html"), Qt::MatchExactly);
    QCOMPARE(items.size(), 1);
    const int row = list2->row(items.first());
    w.selectTab(1);
    w.openPageEntry(row); // Option3: no tab changes
    QCOMPARE(w.currentTab(), 1);
    QVERIFY(child<QPlainTextEdit>("RichTextBox1")->toPlainText().contains(QStringLiteral("<")));
    child<QRadioButton>("Option1")->setChecked(true);
    w.openPageEntry(row);
    QCOMPARE(w.currentTab(), 4);
    child<QRadioButton>("Option2")->setChecked(true);
    w.openPageEntry(row);
    QCOMPARE(w.currentTab(), 2);
    FOLIO_WAIT_VERIFY(w.preview()->url().path().endsWith(QStringLiteral("chapter01.html")));
}

void FrmmainTest::threeSelectedLinksBecomeEntriesOneTwoThree() {
    Frmmain& w = open();
    m_messages.answer = folio::Answer::Yes; // "清空目录" asks first
    w.contentsPanel()->action(GridButton::ClearContents)->trigger();
    QCOMPARE(w.contents().rowCount(), 2);
    w.contents().appendEntry("1", "-1", "卷一", "v1.html");
    w.contentsPanel()->action(GridButton::ClearContents)->trigger();
    QCOMPARE(w.contents().rowCount(), 2);

    w.contentsPanel()->setLinks({QStringLiteral("第一章"), QStringLiteral("第二章"),
                                 QStringLiteral("广告"), QStringLiteral("第三章")},
                                {QStringLiteral("http://h/1"), QStringLiteral("http://h/2"),
                                 QStringLiteral("http://h/ad"), QStringLiteral("http://h/3")});
    auto* list3 = child<QListWidget>("List3");
    auto* list4 = child<QListWidget>("List4");
    for (int i : {0, 1, 3}) {
        list3->item(i)->setSelected(true);
        w.contentsPanel()->clickLinkText(i);
    }
    // The target list follows the text list's selection and current item.
    QVERIFY(list4->item(3)->isSelected());
    QVERIFY(!list4->item(2)->isSelected());
    QCOMPARE(list4->currentRow(), 3);
    QCOMPARE(list3->toolTip(), QStringLiteral("第三章"));

    w.contentsPanel()->clickGridRow(1); // the blank row: the top level, no title
    QCOMPARE(w.frmtree()->findChild<QLineEdit*>(QStringLiteral("TxtSID"))->text(),
             QStringLiteral("-1"));
    w.contentsPanel()->action(GridButton::CopyLinks)->trigger();
    QCOMPARE(w.contents().entryCount(), 3);
    for (int r = 1; r <= 3; ++r) {
        QCOMPARE(w.contents().cell(r, 1), std::to_string(r));
    }
    QCOMPARE(w.contents().cell(3, 3), std::string("第三章"));
    QCOMPARE(w.contents().cell(3, 4), std::string("http://h/3"));

    // Rows added under a clicked row take its ID as their parent; the blank row's -1 gave
    // the first three the top level.
    QCOMPARE(w.contents().cell(1, 2), std::string("-1"));
    w.contentsPanel()->clickGridRow(2);
    QCOMPARE(w.frmtree()->findChild<QLineEdit*>(QStringLiteral("TxtSID"))->text(),
             QStringLiteral("2"));
    w.contentsPanel()->action(GridButton::CopyLinks)->trigger();
    QCOMPARE(w.contents().cell(4, 2), std::string("2"));
    QCOMPARE(w.contents().cell(6, 1), std::string("6"));

    // The grid survives closing: it is kept with the project.
    m_window->close();
    m_window.reset();
    Frmmain& again = open();
    QCOMPARE(again.contents().entryCount(), 6);
}

// The trial's contents list put right: entries from the builder in natural order, a second
// entry for a page reported, one deleted, indented, moved, the moves that would break the tree
// refused, undone; the numbers managed; the clear asks; the builder's parent always an entry.
void FrmmainTest::theContentsListIsPutInOrder() {
    const QString source = maker("chapters");
    for (const char* name : {"第十章.html", "第二章.html", "第四十一章.html", "第九章.html"}) {
        writeAnsi(source + QLatin1Char('/') + QString::fromUtf8(name), "");
    }
    Frmmain& w = open();
    w.selectTab(1);
    QTableView* grid = child<QTableView>("MSFlexGrid1");
    folio::maker::ContentsPanel* panel = w.contentsPanel();
    const auto ids = [&w] {
        QStringList rows;
        for (int r = 1; r <= w.contents().rowCount() - 2; ++r) {
            rows << QString::fromStdString(w.contents().cell(r, 1) + "/" + w.contents().cell(r, 2) +
                                           " " + w.contents().cell(r, 3));
        }
        return rows.join(QLatin1Char(','));
    };
    const auto key = [&](Qt::Key k, Qt::KeyboardModifiers m = Qt::AltModifier) {
        grid->setFocus();
        QTest::keyClick(grid, k, m);
    };

    // "清空目录" names what would go; No keeps the list.
    const int sample = w.contents().entryCount();
    QVERIFY(sample > 0);
    m_messages.answers = {folio::Answer::No, folio::Answer::Yes};
    w.contentsPanel()->action(GridButton::ClearContents)->trigger();
    QCOMPARE(lastQuestion(),
             QStringLiteral("清空目录会删除全部 %1 个目录项。要清空目录吗？").arg(sample));
    QCOMPARE(m_messages.questions().back().defaultAnswer, folio::Answer::No);
    QCOMPARE(w.contents().entryCount(), sample);
    w.contentsPanel()->action(GridButton::ClearContents)->trigger();
    QCOMPARE(w.contents().entryCount(), 0);

    // The home entry, then the chapters under it in natural order; a page added twice is named.
    w.toolbars().action(PagesButton::HomeEntry)->trigger();
    w.showExplorerFolder(source);
    child<QListWidget>("List1")->selectAll();
    w.contentsPanel()->clickGridRow(1);
    QCOMPARE(w.frmtree()->findChild<QLineEdit*>(QStringLiteral("TxtSID"))->text(),
             QStringLiteral("0"));
    w.frmtree()->generate();
    child<QListWidget>("List1")->item(0)->setSelected(false);
    w.frmtree()->generate();
    QVERIFY(lastMessage().startsWith(QStringLiteral("以下页面在目录中已有目录项")));
    QCOMPARE(ids(), QStringLiteral("0/-1 Book,2/0 第二章,3/0 第九章,4/0 第十章,5/0 第四十一章,"
                                   "6/0 第九章,7/0 第十章,8/0 第四十一章"));

    // Deleted by the key, the numbers follow the rows; the builder's parent follows its entry.
    QVERIFY(QTest::qWaitForWindowActive(m_window.get(), folio::testing::WaitBoundMs));
    w.contentsPanel()->clickGridRow(3);
    panel->selectRows({6, 7, 8});
    key(Qt::Key_Delete, Qt::NoModifier);
    QCOMPARE(ids(), QStringLiteral("0/-1 Book,1/0 第二章,2/0 第九章,3/0 第十章,4/0 第四十一章"));
    QCOMPARE(w.frmtree()->findChild<QLineEdit*>(QStringLiteral("TxtSID"))->text(),
             QStringLiteral("2"));

    // 第九章 and 第十章 go under 第二章; then 第二章 cannot pass its child, the two cannot pass
    // their parent, and 第四十一章 moves up past 第十章 once it is back at the top level.
    panel->selectRows({3, 4});
    key(Qt::Key_Right);
    QCOMPARE(ids(), QStringLiteral("0/-1 Book,1/0 第二章,2/1 第九章,3/1 第十章,4/0 第四十一章"));
    panel->selectRows({2});
    key(Qt::Key_Down);
    QCOMPARE(lastMessage(), QStringLiteral("“第二章”不能移到它的下级“第九章”下面。"));
    panel->selectRows({3, 4});
    key(Qt::Key_Up);
    QCOMPARE(lastMessage(), QStringLiteral("“第九章”不能移到它的上级“第二章”上面。"));
    panel->selectRows({4});
    child<QPushButton>("CommandOutdent")->click();
    panel->selectRows({5});
    key(Qt::Key_Up);
    QCOMPARE(ids(), QStringLiteral("0/-1 Book,1/0 第二章,2/1 第九章,3/0 第四十一章,4/0 第十章"));
    QCOMPARE(panel->selectedRows(), (std::vector<int>{4}));
    QCOMPARE(panel->currentRow(), 4);
    auto saved = folio::generators::loadContentsList(maker("Book").toStdString());
    QVERIFY(saved && *saved == w.contents());

    // Ctrl+Z takes back the move, then the outdent.
    key(Qt::Key_Z, Qt::ControlModifier);
    key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(ids(), QStringLiteral("0/-1 Book,1/0 第二章,2/1 第九章,3/1 第十章,4/0 第四十一章"));

    // 编号 is not typed (F2 opens no editor there); 子编号 takes only an entry above.
    grid->setCurrentIndex(grid->model()->index(2, 1));
    key(Qt::Key_F2, Qt::NoModifier);
    QVERIFY(!grid->viewport()->findChild<QLineEdit*>());
    grid->setCurrentIndex(grid->model()->index(2, 3));
    key(Qt::Key_F2, Qt::NoModifier);
    FOLIO_WAIT_VERIFY(grid->viewport()->findChild<QLineEdit*>());
    key(Qt::Key_Escape, Qt::NoModifier);
    QVERIFY(!grid->model()->setData(grid->model()->index(1, 2), QStringLiteral("4")));
    FOLIO_WAIT_VERIFY(lastMessage().contains(QStringLiteral("子编号不能是“4”")));
    QVERIFY(grid->model()->setData(grid->model()->index(3, 2), QStringLiteral("2")));
    QCOMPARE(w.contents().cell(4, 2), std::string("2"));

    // A parent that is gone adds nothing: deleting the row clicked puts -1 in its place, and
    // a number typed by hand that names no entry is refused.
    w.contentsPanel()->clickGridRow(2);
    key(Qt::Key_Delete, Qt::NoModifier);
    QCOMPARE(w.frmtree()->findChild<QLineEdit*>(QStringLiteral("TxtSID"))->text(),
             QStringLiteral("-1"));
    w.frmtree()->setParentEntry(QStringLiteral("9"), QString());
    w.frmtree()->generate();
    QVERIFY(lastMessage().startsWith(QStringLiteral("子编号“9”不是")));
    QCOMPARE(w.contents().entryCount(), 4);
}

void FrmmainTest::aSecondCommandIsRefusedWhileOneRuns() {
    const QString source = maker("source");
    writeAnsi(source + QStringLiteral("/a.html"), "<h1>A</h1>");
    writeAnsi(source + QStringLiteral("/b.html"), "<h1>B</h1>");
    Frmmain& w = open();
    w.showExplorerFolder(source);
    QCOMPARE(child<QListWidget>("List1")->count(), 2);
    child<QListWidget>("List1")->selectAll();

    // The copy's closing message is shown while the command still runs: a compile clicked
    // then is refused, and nothing is compiled.
    int refusedDuring = -1;
    m_messages.onMessage = [&] {
        w.toolbars().action(OutputButton::Compile)->trigger();
        child<QPushButton>("Command2")->click();
        refusedDuring = w.commands()->refused();
    };
    w.toolbars().action(OutputButton::CopyFiles)->trigger();
    QCOMPARE(refusedDuring, 2);
    QVERIFY(!w.commands()->busy());
    QVERIFY(QFile::exists(maker("Book/a.html")));
    QVERIFY(QFile::exists(maker("Book/b.html")));
    QVERIFY(!QFile::exists(maker("out/Book.exe")));
    QCOMPARE(w.windowTitle(), QStringLiteral("folioMake"));
    QVERIFY(
        child<QListWidget>("List2")->findItems(QStringLiteral("a.html"), Qt::MatchExactly).size() ==
        1);
}

void FrmmainTest::savingTheCodeView() {
    Frmmain& w = open();
    auto* code = child<QPlainTextEdit>("RichTextBox1");
    code->setPlainText(QStringLiteral("第一行\n第二行"));

    w.toolbars().action(MainButton::Save)->trigger(); // cancelled: the caption stays
    QCOMPARE(w.windowTitle(), QStringLiteral("folioMake"));

    const QString path = maker("Book/saved.txt");
    m_messages.saveAnswers.push_back(path.toStdString());
    w.toolbars().action(MainButton::Save)->trigger();
    QCOMPARE(w.windowTitle(), path);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray(folio::toAnsi("第一行\r\n第二行").c_str()));
    f.close();
    QCOMPARE(lastMessage(), QStringLiteral("文件 ") + path + QStringLiteral("，保存成功。"));
    QCOMPARE(w.currentTab(), 2);

    // An existing file is kept unless the author says Yes; No is the default.
    code->setPlainText(QStringLiteral("changed"));
    m_messages.saveAnswers.push_back(path.toStdString());
    m_messages.answers.push_back(folio::Answer::No);
    w.toolbars().action(MainButton::Save)->trigger();
    QCOMPARE(lastQuestion(), QStringLiteral("文件已存在，要覆盖它吗？"));
    QCOMPARE(m_messages.questions().back().defaultAnswer, folio::Answer::No);
    QCOMPARE(readAnsi(path), QStringLiteral("第一行\r\n第二行"));
}

void FrmmainTest::languageAppliesAtOnce() {
    Frmmain& w = open();
    auto* combo1 = child<QComboBox>("Combo1");
    QCOMPARE(combo1->currentText(), QStringLiteral("简体中文"));
    QCOMPARE(child<QToolBar>("Toolbar6")->actions().value(5)->text(), QStringLiteral("退出"));
    const int english = combo1->findText(QStringLiteral("English"));
    QVERIFY(english >= 0);
    combo1->setCurrentIndex(english);
    emit combo1->activated(english);
    QCOMPARE(child<QToolBar>("Toolbar6")->actions().value(5)->text(), QStringLiteral("Exit"));
    QCOMPARE(child<QRadioButton>("Option3")->text(), QStringLiteral("Do nothing"));
    QCOMPARE(child<QTabBar>("TabStrip1")->tabText(5), QStringLiteral("Project settings"));
    QCOMPARE(w.windowTitle(), QStringLiteral("folioMake"));
    // A control the file does not name would show its own name as its caption.
    for (const QAbstractButton* b : w.findChildren<QAbstractButton*>()) {
        QVERIFY2(b->objectName().isEmpty() || b->text() != b->objectName(),
                 qPrintable(b->objectName()));
    }
}

void FrmmainTest::aLargeProjectKeepsTheWindowAnswering() {
    const QString big = maker("Big");
    QDir().mkpath(big);
    writeAnsi(big + QStringLiteral("/Big.ini"), settingsText("Big", "甲").toStdString());
    for (int i = 0; i < 10000; ++i) {
        QFile f(big + QStringLiteral("/p%1.html").arg(i, 5, 10, QLatin1Char('0')));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    Frmmain& w = open();
    child<QComboBox>("ComProPath")->addItem(QStringLiteral("Big"));

    // A timer due at once fires while the folder is read: the window handles its events.
    int ticks = 0;
    QTimer timer;
    timer.setInterval(0);
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start();
    QElapsedTimer clock;
    clock.start();
    w.selectProject(child<QComboBox>("ComProPath")->count() - 1);
    const qint64 openMs = clock.elapsed();
    // The pages and Big.ini: the page list is filled before config.ini is written.
    QCOMPARE(child<QListWidget>("List2")->count(), 10001);
    QCOMPARE(child<QLineEdit>("TxtAuthor")->text(), QStringLiteral("甲"));
    const int ticksOpening = ticks;

    clock.restart();
    w.showExplorerFolder(big);
    const qint64 listMs = clock.elapsed();
    QCOMPARE(child<QListWidget>("List1")->count(), 10002); // config.ini too
    timer.stop();
    QVERIFY2(ticksOpening > 0 && ticks > ticksOpening, qPrintable(QString::number(ticks)));
    qInfo("10,000 files: project opened in %lld ms, explorer listed in %lld ms", openMs, listMs);
}

// Renaming the open project's pages with CheckRelink ticked: the other pages and the grid follow.
void FrmmainTest::renamingWithRelinkFollowsInTheGrid() {
    Frmmain& w = open();
    writeAnsi(maker("Book/r1.html"), "<h1>改名章</h1>");
    writeAnsi(maker("Book/r2.html"), "<a href=\"r1.html\">上一章</a>");
    w.contents().appendEntry("90", "-1", "改名章", "r1.html");
    w.showExplorerFolder(maker("Book"));
    for (QListWidgetItem* item :
         child<QListWidget>("List1")->findItems(QStringLiteral("r1.html"), Qt::MatchExactly)) {
        item->setSelected(true);
    }
    m_messages.answer = folio::Answer::Yes;
    QTimer::singleShot(0, this, [] {
        auto* dialog = qobject_cast<folio::maker::FrmReName*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->setTitleSource(2); // H1
        dialog->setRelinks(true);
        dialog->renameFiles();
        dialog->close();
    });
    w.toolbars().action(PagesButton::Rename)->trigger();
    QVERIFY(QFile::exists(maker("Book/改名章.html")));
    QCOMPARE(readAnsi(maker("Book/r2.html")), QStringLiteral("<a href=\"改名章.html\">上一章</a>"));
    QCOMPARE(w.contents().cell(w.contents().rowCount() - 2, 4), std::string("改名章.html"));
    QVERIFY(lastMessage().contains(QStringLiteral("更新了 1 个网页中的链接")));
}

void FrmmainTest::theRoadOfABook() {
    // Chapters saved from a site somewhere outside the maker folder, numbered by their file
    // names, in GBK and in UTF-8 (declared, and not), titled by their H1 elements; one more
    // page is the site's advert.
    const QString source = maker("source");
    const QStringList titles = {QStringLiteral("第一回 开篇"), QStringLiteral("第二回 相逢"),
                                QStringLiteral("第十回 离别")};
    const QStringList files = {QStringLiteral("1.html"), QStringLiteral("2.html"),
                               QStringLiteral("10.html"), QStringLiteral("ad.html")};
    const auto chapter = [](const QString& title, const char* charset, int i) {
        return QStringLiteral("<html><head>%1<title>t</title></head><body><H1>%2</H1><p>正文%3"
                              "</p></body></html>\r\n")
            .arg(charset ? QStringLiteral("<meta charset=\"%1\">").arg(QLatin1String(charset))
                         : QString())
            .arg(title)
            .arg(i);
    };
    writeAnsi(source + QStringLiteral("/1.html"), chapter(titles[0], "gb2312", 1).toStdString());
    writeRaw(source + QStringLiteral("/2.html"), chapter(titles[1], "utf-8", 2).toUtf8());
    writeRaw(source + QStringLiteral("/10.html"), chapter(titles[2], nullptr, 10).toUtf8());
    writeAnsi(source + QStringLiteral("/ad.html"),
              chapter(QStringLiteral("广告"), "gbk", 0).toStdString());
    QFile::remove(maker("Pro.ini"));
    Frmmain& w = open();

    // A new project: its book is named after it.
    child<QLineEdit>("TxtTitle")->setText(QStringLiteral("路书"));
    child<QLineEdit>("TxtAuthor")->setText(QStringLiteral("某人"));
    child<QPushButton>("Command7")->click();
    QCOMPARE(child<QComboBox>("ComProPath")->currentText(), QStringLiteral("路书"));
    QCOMPARE(child<QLineEdit>("TxtoutFile")->text(), QStringLiteral("路书"));
    QVERIFY(QFile::exists(maker("路书/路书.ini")));

    // Copy the pages into it through the explorer.
    w.showExplorerFolder(source);
    child<QListWidget>("List1")->selectAll();
    w.toolbars().action(OutputButton::CopyFiles)->trigger();
    for (const QString& f : files) {
        QVERIFY(QFile::exists(maker(QStringLiteral("路书/") + f)));
    }

    // Entries from the H1 titles in the pages' own encodings, in natural order.
    w.toolbars().action(PagesButton::HomeEntry)->trigger(); // the home entry first
    w.contentsPanel()->clickGridRow(1);                     // the chapters hang under it
    w.toolbars().action(ContentsButton::Builder)->trigger();
    QVERIFY(w.frmtree());
    w.frmtree()->setTitleSource(folio::generators::TitleSource::HtmlH1);
    w.frmtree()->generate();
    const auto captions = [&w] {
        QStringList c;
        for (int r = 1; r <= w.contents().rowCount() - 2; ++r) {
            c << QString::fromStdString(w.contents().cell(r, 3));
        }
        return c;
    };
    QCOMPARE(captions(), (QStringList{QStringLiteral("路书"), titles[0], titles[1], titles[2],
                                      QStringLiteral("广告")}));

    // Put in order: the advert goes, the last chapter up and back down again.
    folio::maker::ContentsPanel* panel = w.contentsPanel();
    panel->selectRows({5});
    child<QPushButton>("CommandDelete")->click();
    panel->selectRows({4});
    child<QPushButton>("CommandMoveUp")->click();
    QCOMPARE(captions(), (QStringList{QStringLiteral("路书"), titles[0], titles[2], titles[1]}));
    child<QPushButton>("CommandMoveDown")->click();
    QCOMPARE(captions(), (QStringList{QStringLiteral("路书"), titles[0], titles[1], titles[2]}));

    // The contents page and the home page; the page list shows them at once.
    w.toolbars().action(ContentsButton::GenerateContents)->trigger();
    QVERIFY(QFile::exists(maker("路书/tree.html")));
    QVERIFY(QFile::exists(maker("路书/路书.hhp")));
    w.contentsPanel()->action(GridButton::GenerateHomePage)->trigger();
    QVERIFY(QFile::exists(maker("路书/index.html")));
    auto* list2 = child<QListWidget>("List2");
    QVERIFY(!list2->findItems(QStringLiteral("index.html"), Qt::MatchExactly).isEmpty());

    // "编译文件" with nothing selected asks, and Yes compiles every page, the project's own
    // files left out.
    list2->clearSelection();
    child<QCheckBox>("Check1")->setChecked(true);
    child<QCheckBox>("Check2")->setChecked(true);
    m_messages.answer = folio::Answer::Yes;
    const std::size_t askedBefore = m_messages.questions().size();
    w.toolbars().action(OutputButton::Compile)->trigger();
    QCOMPARE(m_messages.questions().size(), askedBefore + 1);
    QVERIFY2(lastQuestion().contains(QStringLiteral("要编译工程中的全部")),
             qPrintable(lastQuestion()));
    const QString book = maker("out/路书.exe");
    QVERIFY2(QFile::exists(book), qPrintable(book));
    QVERIFY(lastMessage().contains(QStringLiteral("个页面。")));
    QVERIFY(QFile::exists(maker("路书/路书.chm")));

    // Tools no one here wrote read the book's resources.
    QProcess pefile;
    pefile.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import pefile,sys; p=pefile.PE(sys.argv[1]); "
                                 "t=[e for e in p.DIRECTORY_ENTRY_RESOURCE.entries if e.id==2110];"
                                 "print(sorted(str(x.name) for x in t[0].directory.entries))"),
                  book});
    QVERIFY(pefile.waitForFinished(folio::testing::WaitBoundMs));
    QVERIFY2(pefile.exitCode() == 0, pefile.readAllStandardError().constData());
    const QString names = QString::fromUtf8(pefile.readAllStandardOutput());
    for (const char* n : {"'TREE.HTML'", "'INDEX.HTML'", "'1.HTML'", "'2.HTML'", "'10.HTML'"}) {
        QVERIFY2(names.contains(QString::fromLatin1(n)), qPrintable(names));
    }
    QVERIFY2(!names.contains(QStringLiteral("路书")), qPrintable(names)); // its own files
    QProcess wrestool;
    wrestool.start(QStringLiteral("wrestool"), {QStringLiteral("-l"), book});
    QVERIFY(wrestool.waitForFinished(folio::testing::WaitBoundMs));
    QCOMPARE(wrestool.exitCode(), 0);
    QVERIFY(wrestool.readAllStandardOutput().contains("--type=2110 --name='2.HTML'"));
    // Windows' own resource loader, under Wine, finds a page byte for byte (through an ASCII
    // copy: the reader program takes its arguments in the Windows code page).
    const QString asciiCopy = maker("out/road.exe");
    QVERIFY(QFile::copy(book, asciiCopy));
    std::string wineError;
    const std::string page =
        folio::check::wineReadResource(asciiCopy.toStdString(), "#2110", "2.HTML", &wineError);
    QVERIFY2(wineError.empty(), wineError.c_str());
    QFile second(maker("路书/2.html"));
    QVERIFY(second.open(QIODevice::ReadOnly));
    QCOMPARE(QByteArray::fromStdString(page), second.readAll());
    second.close();

    // A picture that is missing: "检查" lists it, a double-click shows its line in the code
    // view, and the compile asks first; No keeps the book and shows the report.
    QVERIFY(second.open(QIODevice::Append));
    second.write("\r\n<img src=\"gone.png\">\r\n");
    second.close();
    w.toolbars().action(OutputButton::Check)->trigger();
    FOLIO_WAIT_VERIFY(w.frmCheck() && w.frmCheck()->isVisible());
    QList<QTreeWidgetItem*> found;
    for (QTreeWidgetItem* item :
         w.frmCheck()->list()->findItems(QStringLiteral("gone.png"), Qt::MatchContains, 3))
        if (item->text(1) == QStringLiteral("2.html") && item->text(0) == QStringLiteral("错误"))
            found.push_back(item);
    QCOMPARE(found.size(), 1);
    emit w.frmCheck()->list()->itemDoubleClicked(found[0], 0);
    auto* code = child<QPlainTextEdit>("RichTextBox1");
    FOLIO_WAIT_COMPARE(code->textCursor().blockNumber() + 1, found[0]->text(2).toInt());
    QVERIFY(code->textCursor().block().text().contains(QStringLiteral("gone.png")));
    w.frmCheck()->hide();
    const QDateTime built = QFileInfo(book).lastModified();
    m_messages.answer = folio::Answer::No;
    w.toolbars().action(OutputButton::Compile)->trigger();
    QVERIFY2(lastQuestion().contains(QStringLiteral("仍要编译吗")), qPrintable(lastQuestion()));
    QVERIFY(w.frmCheck()->isVisible());
    QCOMPARE(QFileInfo(book).lastModified(), built);
    m_messages.answer = folio::Answer::Yes;

    // The reader opens it: its contents pane lists every chapter.
    folio::readerui::ReaderOptions options;
    options.bookPath = book;
    options.dialogs = &m_messages;
    folio::readerui::FrmEBook reader(options);
    reader.load();
    reader.show();
    FOLIO_WAIT_VERIFY(!reader.webTree()->url().isEmpty());
    QString text;
    FOLIO_WAIT_VERIFY(
        (text = evaluate(reader.webTree(), QStringLiteral("document.body ? "
                                                          "document.body.innerText : ''"))
                    .toString(),
         text.contains(titles[2])));
    for (const QString& t : titles) {
        QVERIFY2(text.contains(t), qPrintable(text));
    }
    QVERIFY(!text.contains(QStringLiteral("广告")));
    QCOMPARE(reader.windowTitle(), QStringLiteral("folioPage-路书-某人"));
    // ... and its page pane opens at the home page.
    FOLIO_WAIT_VERIFY(reader.webBook()->url().toString().endsWith(QStringLiteral("/index.html")));
}

int main(int argc, char** argv) {
    folio::qt::ResSchemeHandler::registerScheme();
    QApplication app(argc, argv);
    FrmmainTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "frmmain_test.moc"
