// Wiring of the reader's companion windows: bookmarks, voice settings, full screen, advert and
// the online reader's download window.
#include "core/text.h"
#include "qt/language.h"
#include "reader/ui/companionrules.h"
#include "reader/ui/frmadshow.h"
#include "reader/ui/frmbooktag.h"
#include "reader/ui/frmdownload.h"
#include "reader/ui/frmfullscreen.h"
#include "reader/ui/frmfullscreenb.h"
#include "reader/ui/frmset.h"
#include "tests/tools/waits.h"
#include "tests/ui/readerwin/testsupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QWebEngineView>

#include <optional>

using namespace folio::readerui;
using folio::testing::FakeSpeech;
using folio::testing::readAll;
using folio::testing::RecordingObserver;

namespace {

template <class T> T* child(QWidget* window, const char* name) {
    return window->findChild<T*>(QString::fromLatin1(name));
}

// The bytes a file holds for these lines: CP936, each line ended by CR LF.
QByteArray ansiLines(std::initializer_list<const char*> lines) {
    QByteArray bytes;
    for (const char* line : lines)
        bytes += QByteArray::fromStdString(folio::toAnsi(line)) + "\r\n";
    return bytes;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class ReaderWinTest : public QObject {
    Q_OBJECT
  private slots:

    void bookmarksFirstOpening();
    void bookmarksAddDeleteOpen();
    void bookmarksUnwritableFolderIsReported();

    void settingsOpenWithMissingVoice();
    void settingsOkWritesFileAndHandsOver();
    void settingsCancelBrowseAndTest();
    void settingsWithoutOutput();

    void fullScreenExitWindow();
    void companionsFollowTheInterfaceLanguage();
    void advertWindowCloses();

    void downloadListsKeepInStep();
    void downloadNeedsFolder();
    void downloadFetchesSelectedChapters();
    void downloadNovelSiteRewritesLinks();
    void downloadFailureWaitsForStop();
};

void ReaderWinTest::bookmarksFirstOpening() {
    QTemporaryDir dir;
    QString shown;
    {
        RecordingObserver messages;
        FrmBookTag window(
            nullptr, dir.path(), QStringLiteral("res://book/ch1.html"),
            [&](QString a) { shown = a; }, &messages);
        // No bookmark the reader did not make, and no file until the window closes.
        QCOMPARE(child<QListWidget>(&window, "List1")->count(), 0);
        QVERIFY(!QFile::exists(dir.filePath("BookTag.ini")));
        QCOMPARE(child<QLineEdit>(&window, "Text1")->text(), QStringLiteral("书签0"));
        QCOMPARE(child<QLineEdit>(&window, "Text2")->text(), QStringLiteral("res://book/ch1.html"));
        // The address box and its list lie outside the visible client area.
        QVERIFY(child<QLineEdit>(&window, "Text2")->x() >= window.width());
        QVERIFY(child<QListWidget>(&window, "List2")->x() >= window.width());
        QCOMPARE(window.windowTitle(), QStringLiteral("书签"));
        QVERIFY(messages.boxes.empty());
        window.reject();
    }
    QCOMPARE(readAll(dir.filePath("BookTag.ini")), QByteArray());
    QVERIFY(shown.isEmpty());
}

void ReaderWinTest::bookmarksAddDeleteOpen() {
    QTemporaryDir dir;
    writeFile(dir.filePath("BookTag.ini"),
              ansiLines({"首页=index.html", "a=b=c", "", "第二章=res://x/ch2.html"}));
    RecordingObserver messages;
    {
        FrmBookTag window(nullptr, dir.path(), QStringLiteral("http://127.0.0.1/p?a=1"), {},
                          &messages);
        auto* list1 = child<QListWidget>(&window, "List1");
        auto* list2 = child<QListWidget>(&window, "List2");
        QCOMPARE(list1->count(), 3); // the blank line is not a bookmark
        QCOMPARE(list1->item(1)->text(), QStringLiteral("a"));
        QCOMPARE(list2->item(1)->text(), QStringLiteral("b=c"));
        QCOMPARE(child<QLineEdit>(&window, "Text1")->text(), QStringLiteral("书签3"));

        // Delete with nothing selected removes nothing.
        QTest::mouseClick(child<QPushButton>(&window, "Command3"), Qt::LeftButton);
        QCOMPARE(list1->count(), 3);

        // Two adds without touching the name box are renumbered after each add.
        auto* add = child<QPushButton>(&window, "Command2");
        QTest::mouseClick(add, Qt::LeftButton);
        QTest::mouseClick(add, Qt::LeftButton);
        QCOMPARE(list1->count(), 5);
        QCOMPARE(list1->item(3)->text(), QStringLiteral("书签3"));
        QCOMPARE(list1->item(4)->text(), QStringLiteral("书签4"));
        QCOMPARE(list2->item(4)->text(), QStringLiteral("http://127.0.0.1/p?a=1"));
        QCOMPARE(child<QLineEdit>(&window, "Text1")->text(), QStringLiteral("书签5"));

        // Selecting a name selects its address; delete removes both.
        list1->setCurrentRow(0);
        QCOMPARE(list2->currentRow(), 0);
        QTest::mouseClick(child<QPushButton>(&window, "Command3"), Qt::LeftButton);
        QCOMPARE(list1->count(), 4);
        QCOMPARE(list2->count(), 4);
        QCOMPARE(list1->item(0)->text(), QStringLiteral("a"));
        QCOMPARE(list2->item(0)->text(), QStringLiteral("b=c"));

        // Cancel still saves.
        QTest::mouseClick(child<QPushButton>(&window, "Command1"), Qt::LeftButton);
        QVERIFY(!window.isVisible());
    }
    QCOMPARE(readAll(dir.filePath("BookTag.ini")),
             ansiLines({"a=b=c", "第二章=res://x/ch2.html", "书签3=http://127.0.0.1/p?a=1",
                        "书签4=http://127.0.0.1/p?a=1"}));

    // Opening again and double-clicking a bookmark shows it in the page pane and closes.
    QString shown;
    FrmBookTag window(
        nullptr, dir.path(), QString(), [&](QString a) { shown = a; }, &messages);
    window.show();
    auto* list1 = child<QListWidget>(&window, "List1");
    QCOMPARE(list1->count(), 4);
    emit list1->itemDoubleClicked(list1->item(1));
    QCOMPARE(shown, QStringLiteral("res://x/ch2.html"));
    QCOMPARE(child<QListWidget>(&window, "List2")->currentRow(), 1);
    QVERIFY(!window.isVisible());
    QCOMPARE(window.result(), int(QDialog::Accepted));
    QVERIFY(messages.boxes.empty());
}

void ReaderWinTest::bookmarksUnwritableFolderIsReported() {
    QTemporaryDir dir;
    const QString missing = dir.filePath("no/such/folder");
    RecordingObserver messages;
    FrmBookTag window(nullptr, missing, QStringLiteral("index.html"), {}, &messages);
    // The window opens, empty; losing the new bookmark is reported.
    QCOMPARE(child<QListWidget>(&window, "List1")->count(), 0);
    QTest::mouseClick(child<QPushButton>(&window, "Command2"), Qt::LeftButton);
    window.reject();
    QCOMPARE(messages.boxes.size(), std::size_t(1));
    QVERIFY(messages.shown("BookTag.ini"));
}

void ReaderWinTest::settingsOpenWithMissingVoice() {
    QTemporaryDir dir;
    writeFile(dir.filePath("Voice.ini"),
              ansiLines({"语音=Voice Z", "语速=5", "音量=40", "路径=/data/voice", "真人语音=1"}));
    FakeSpeech engine;
    RecordingObserver messages;
    FrmSet window(nullptr, engine, dir.path(), {}, &messages);
    // The missing voice is skipped; every other line is applied.
    QCOMPARE(child<QComboBox>(&window, "ComVoice")->count(), 2);
    QCOMPARE(child<QComboBox>(&window, "ComVoice")->currentIndex(), 0);
    QCOMPARE(child<QSlider>(&window, "Rate")->value(), 5);
    QCOMPARE(child<QSlider>(&window, "Volume")->value(), 40);
    QCOMPARE(child<QLineEdit>(&window, "Text2")->text(), QStringLiteral("/data/voice"));
    QVERIFY(child<QCheckBox>(&window, "Check1")->isChecked());
    QCOMPARE(engine.rate, 5);
    QCOMPARE(engine.volume, 40);
    QCOMPARE(window.loadProblems().size(), 1);
    QVERIFY(window.loadProblems()[0].contains(QStringLiteral("Voice Z")));

    // The problem is told once the window shows.
    window.show();
    FOLIO_WAIT_COMPARE(messages.boxes.size(), std::size_t(1));
    QVERIFY(messages.shown("Voice Z"));
    window.hide();
    window.show();
    QCoreApplication::processEvents();
    QCOMPARE(messages.boxes.size(), std::size_t(1));

    // The voice the reader itself names in a new file is no complaint of the user's.
    QTemporaryDir fresh;
    QVERIFY(folio::reader::ensureVoiceIni(fresh.path().toStdString()).has_value());
    FrmSet first(nullptr, engine, fresh.path(), {}, &messages);
    QVERIFY2(first.loadProblems().isEmpty(), qPrintable(first.loadProblems().join('\n')));
}

void ReaderWinTest::settingsOkWritesFileAndHandsOver() {
    QTemporaryDir dir;
    writeFile(dir.filePath("Voice.ini"),
              ansiLines({"语音=Voice A", "语速 = -3", "音量 = 100", "路径=", "真人语音 = 0"}));
    FakeSpeech engine;
    RecordingObserver messages;
    std::optional<folio::reader::VoiceSettings> handed;
    FrmSet window(
        nullptr, engine, dir.path(), [&](const folio::reader::VoiceSettings& s) { handed = s; },
        &messages);
    QVERIFY(window.loadProblems().isEmpty());
    QCOMPARE(window.windowTitle(), QStringLiteral("语音设置"));

    auto* voices = child<QComboBox>(&window, "ComVoice");
    voices->setCurrentIndex(1);
    emit voices->activated(1);
    QCOMPARE(engine.voice, 1);
    child<QSlider>(&window, "Rate")->setValue(5);
    QCOMPARE(engine.rate, 5);
    child<QSlider>(&window, "Volume")->setValue(70);
    child<QLineEdit>(&window, "Text2")->setText(QStringLiteral("/srv/声音"));
    child<QCheckBox>(&window, "Check1")->setChecked(true);
    auto* formats = child<QComboBox>(&window, "ComFormat");
    formats->setCurrentIndex(0);
    emit formats->activated(0);
    QCOMPARE(engine.formatType, 4);

    QTest::mouseClick(child<QPushButton>(&window, "Command1"), Qt::LeftButton);
    QCOMPARE(readAll(dir.filePath("Voice.ini")),
             ansiLines({"语音=Voice B", "语速=5", "音量=70", "路径=/srv/声音", "真人语音=1"}));
    QVERIFY(handed.has_value());
    QCOMPARE(handed->voice, std::string("Voice B"));
    QCOMPARE(handed->rate, 5);
    QCOMPARE(handed->volume, 70);
    QVERIFY(handed->recorded);
    QCOMPARE(window.result(), int(QDialog::Accepted));
    QVERIFY(messages.boxes.empty());
}

void ReaderWinTest::settingsCancelBrowseAndTest() {
    QTemporaryDir dir;
    // No Voice.ini: the window opens with the engine's lists and says the file is missing,
    // and it does not create it.
    FakeSpeech engine;
    RecordingObserver messages;
    QString askedTitle;
    bool handed = false;
    FrmSet window(
        nullptr, engine, dir.path(), [&](const auto&) { handed = true; }, &messages,
        [&](QWidget*, const QString& title, const QString&) {
            askedTitle = title;
            return QStringLiteral("/chosen/folder");
        });
    QCOMPARE(window.loadProblems().size(), 1);
    QVERIFY(!QFile::exists(dir.filePath("Voice.ini")));

    QCOMPARE(child<QComboBox>(&window, "ComFormat")->count(), 36);
    QCOMPARE(child<QComboBox>(&window, "ComFormat")->currentText(),
             QStringLiteral("SAFT48kHz16BitMono"));
    QCOMPARE(child<QComboBox>(&window, "ComFormat")->itemData(35).toInt(), 39);
    QCOMPARE(child<QLineEdit>(&window, "Text1")->text(), QStringLiteral("欢迎使用folioPage！"));
    QCOMPARE(child<QLineEdit>(&window, "Text3")->text(), QStringLiteral("welcome"));

    QTest::mouseClick(child<QPushButton>(&window, "Command4"), Qt::LeftButton);
    QCOMPARE(askedTitle, QStringLiteral("选择这个文件夹："));
    QCOMPARE(child<QLineEdit>(&window, "Text2")->text(), QStringLiteral("/chosen/folder"));

    QTest::mouseClick(child<QPushButton>(&window, "Command3"), Qt::LeftButton);
    QCOMPARE(engine.spoken, std::vector<std::string>{"欢迎使用folioPage！"});

    QTest::mouseClick(child<QPushButton>(&window, "Command2"), Qt::LeftButton);
    QCOMPARE(window.result(), int(QDialog::Rejected));
    QVERIFY(!handed);
    QVERIFY(!QFile::exists(dir.filePath("Voice.ini")));
}

void ReaderWinTest::settingsWithoutOutput() {
    QTemporaryDir dir;
    FakeSpeech engine;
    engine.outputList.clear();
    RecordingObserver messages;
    FrmSet window(nullptr, engine, dir.path(), {}, &messages);
    auto* outputs = child<QComboBox>(&window, "ComOutput");
    QCOMPARE(outputs->count(), 1);
    QCOMPARE(outputs->itemText(0), QStringLiteral("没有音频输出"));
    QVERIFY(!outputs->isEnabled());
    QCOMPARE(engine.output, -1);
}

void ReaderWinTest::fullScreenExitWindow() {
    QWidget reader;
    reader.show();
    const QUrl page(QStringLiteral("data:text/html,<p>chapter</p>"));
    QPointer<FrmFullScreen> full = new FrmFullScreen(&reader, page, nullptr);
    QCOMPARE(full->webB()->url(), page);
    QCOMPARE(full->windowTitle(), QStringLiteral("全屏"));
    QVERIFY(full->windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(full->webB()->contextMenuPolicy(), Qt::NoContextMenu);
    full->open();
    QCOMPARE(full->geometry(), full->screen()->geometry()); // covers the screen
    QPointer<FrmFullScreenB> exit = full->exitWindow();
    QVERIFY(exit);
    QVERIFY(exit->isVisible());
    // Before the first tick the exit window is not yet kept on top, but has no close box.
    QVERIFY(!exit->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(!exit->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(full->timer1()->isActive());
    QCOMPARE(full->timer1()->interval(), 100);

    FOLIO_WAIT_VERIFY(!full->timer1()->isActive());
    QVERIFY(exit->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(!exit->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(exit->isVisible());
    QCOMPARE(exit->exitButton()->text(), QStringLiteral("退出全屏"));
    QCOMPARE(exit->toolbar()->objectName(), QStringLiteral("tbrFull"));

    // The window manager's close request is refused; only the button ends full screen.
    QVERIFY(!exit->close());
    QVERIFY(exit->isVisible());
    exit->exitButton()->trigger();
    FOLIO_WAIT_VERIFY(!full);
    QVERIFY(!exit);
    QVERIFY(reader.isVisible());
}

void ReaderWinTest::companionsFollowTheInterfaceLanguage() {
    // The readers' language file names a caption for every control of the windows opened
    // after start-up, in each of its languages: none falls back to its control's name.
    QTemporaryDir dir;
    QVERIFY(QFile::copy(QStringLiteral(FOLIO_SOURCE_DIR "/data/folioPage/Language.lng"),
                        dir.filePath("Language.lng")));
    const QByteArray locale = qgetenv("LC_ALL");
    FakeSpeech engine;
    RecordingObserver messages;
    for (const char* name : {"zh_TW.UTF-8", "zh_CN.UTF-8", "en_US.UTF-8"}) {
        qputenv("LC_ALL", name);
        folio::qt::SelectLanguageFromLocale(dir.path());
        FrmBookTag bookmarks(nullptr, dir.path(), QString(), {}, &messages);
        FrmSet settings(nullptr, engine, dir.path(), {}, &messages);
        FrmFullScreenB exit(nullptr, {});
        for (QWidget* window : {static_cast<QWidget*>(&bookmarks), static_cast<QWidget*>(&settings),
                                static_cast<QWidget*>(&exit)}) {
            for (auto* button : window->findChildren<QAbstractButton*>())
                QVERIFY2(button->objectName().isEmpty() || button->text() != button->objectName(),
                         qPrintable(button->objectName()));
            for (auto* label : window->findChildren<QLabel*>())
                QVERIFY2(label->text() != label->objectName(), qPrintable(label->objectName()));
        }
        bookmarks.reject();
    }
    qputenv("LC_ALL", locale);
    // The last in English: the bookmarks window's buttons are its own, not the voice settings
    // window's of the same names, and the exit button's tooltip follows its caption.
    FrmBookTag bookmarks(nullptr, dir.path(), QString(), {}, &messages);
    QCOMPARE(child<QPushButton>(&bookmarks, "Command1")->text(), QStringLiteral("Cancel"));
    FrmFullScreenB exit(nullptr, {});
    QCOMPARE(exit.toolbar()->actions().at(0)->toolTip(), QStringLiteral("Exit full screen"));
    bookmarks.reject();
}

void ReaderWinTest::advertWindowCloses() {
    QDateTime now = QDateTime::currentDateTime();
    const QDateTime start = now;
    {
        FrmADShow advert(nullptr, nullptr, [&] { return now; });
        QCOMPARE(advert.StartTime(), start);
        QVERIFY(advert.webBAD());
        advert.setShowTime(0);
        QSignalSpy ticks(advert.timer1(), &QTimer::timeout);
        advert.show();
        // No time has passed: the window stays, tick after tick.
        FOLIO_WAIT_VERIFY(ticks.count() >= 2);
        QVERIFY(advert.isVisible());
        now = start.addMSecs(1);
        FOLIO_WAIT_VERIFY(!advert.isVisible());
        QVERIFY(!advert.timer1()->isActive());
    }
    {
        now = start;
        FrmADShow advert(nullptr, nullptr, [&] { return now; });
        advert.setShowTime(1);
        QSignalSpy ticks(advert.timer1(), &QTimer::timeout);
        advert.show();
        now = start.addSecs(12 * 60 * 60);
        FOLIO_WAIT_VERIFY(ticks.count() >= 2);
        QVERIFY(advert.isVisible());
        now = start.addDays(1).addMSecs(1);
        FOLIO_WAIT_VERIFY(!advert.isVisible());
    }
}

void ReaderWinTest::downloadListsKeepInStep() {
    RecordingObserver messages;
    QStringList texts, targets;
    for (int i = 0; i < 60; ++i) {
        texts << QStringLiteral("第%1章").arg(i);
        targets << QStringLiteral("http://127.0.0.1:1/ch%1.html").arg(i);
    }
    FrmDownloadSettings settings;
    settings.dialogs = &messages;
    FrmDownload window(nullptr, texts, targets, settings);
    window.show();
    QCOMPARE(window.windowTitle(), QStringLiteral("更新章节"));
    QVERIFY(child<QRadioButton>(&window, "Option1")->isChecked());
    QCOMPARE(child<QRadioButton>(&window, "Option2")->text(), QStringLiteral("通用连接"));

    auto* list3 = child<QListWidget>(&window, "List3");
    auto* list4 = child<QListWidget>(&window, "List4");
    QCOMPARE(list3->count(), 60);
    QCOMPARE(list4->count(), 60);

    // A click selects the same line in both lists and moves the other list to it.
    const QRect third = list3->visualItemRect(list3->item(2));
    QTest::mouseClick(list3->viewport(), Qt::LeftButton, {}, third.center());
    QVERIFY(list3->item(2)->isSelected());
    QCOMPARE(list4->currentRow(), 2);
    QVERIFY(list4->item(2)->isSelected());
    QCOMPARE(list3->toolTip(), QStringLiteral("第2章"));
    QTest::mouseClick(list3->viewport(), Qt::LeftButton, {}, third.center());
    QVERIFY(!list3->item(2)->isSelected());
    QVERIFY(!list4->item(2)->isSelected());

    // Clicking List4 moves List3's current line.
    const QRect fifth = list4->visualItemRect(list4->item(4));
    QTest::mouseClick(list4->viewport(), Qt::LeftButton, {}, fifth.center());
    QCOMPARE(list3->currentRow(), 4);
    QCOMPARE(list4->toolTip(), QStringLiteral("http://127.0.0.1:1/ch4.html"));

    // Scrolling one list moves the other list's current item.
    list3->setCurrentRow(30, QItemSelectionModel::NoUpdate);
    list3->verticalScrollBar()->setValue(list3->verticalScrollBar()->maximum());
    QCOMPARE(list4->currentRow(), 30);
    QVERIFY(!list4->item(30)->isSelected());

    // Refilling replaces both lists.
    window.setLinks({QStringLiteral("a")}, {QStringLiteral("http://127.0.0.1:1/a")});
    QCOMPARE(list3->count(), 1);
    QCOMPARE(list4->count(), 1);
}

void ReaderWinTest::downloadNeedsFolder() {
    RecordingObserver messages;
    FrmDownloadSettings settings;
    settings.dialogs = &messages;
    QString askedTitle;
    settings.chooseFolder = [&](QWidget*, const QString& title, const QString&) {
        askedTitle = title;
        return QString();
    };
    FrmDownload window(nullptr, {QStringLiteral("a")}, {QStringLiteral("http://127.0.0.1:1/a")},
                       settings);
    QTest::mouseClick(child<QPushButton>(&window, "Command1"), Qt::LeftButton);
    QCOMPARE(messages.boxes.size(), std::size_t(1));
    QCOMPARE(messages.boxes[0].title, std::string("提示！！！"));
    QCOMPARE(messages.boxes[0].text, std::string("下载路径不存在，请选择下载路径！！"));
    QVERIFY(!window.isFetching());
    QVERIFY(child<QPushButton>(&window, "Command1")->isEnabled());

    // Cancelling the folder picker leaves the folder as it was.
    QTest::mouseClick(child<QPushButton>(&window, "Command4"), Qt::LeftButton);
    QCOMPARE(askedTitle, QStringLiteral("选择这个文件夹："));
    QVERIFY(child<QLineEdit>(&window, "Text1")->text().isEmpty());

    // A page without links: "开始" only gives the buttons back.
    QTemporaryDir dir;
    window.setLinks({}, {});
    child<QLineEdit>(&window, "Text1")->setText(dir.path());
    QSignalSpy finished(&window, &FrmDownload::fetchFinished);
    QTest::mouseClick(child<QPushButton>(&window, "Command1"), Qt::LeftButton);
    FOLIO_WAIT_COMPARE(finished.count(), 1);
    QVERIFY(child<QPushButton>(&window, "Command1")->isEnabled());
    QVERIFY(child<QPushButton>(&window, "Command2")->isEnabled());
    QCOMPARE(messages.boxes.size(), std::size_t(1));
    QVERIFY(QDir(dir.path()).isEmpty());
}

void ReaderWinTest::downloadFetchesSelectedChapters() {
    LocalServer server;
    QVERIFY(server.listening());
    server.set("/ch1.html", Reply(200, "<p>one</p>"));
    server.set("/ch2.html", Reply(200, "<p>two</p>"));
    server.set("/ch3.html", Reply(200, "<p>three</p>"));
    QTemporaryDir dir;
    RecordingObserver messages;
    FrmDownloadSettings settings;
    settings.dialogs = &messages;
    settings.download.connectTimeout = std::chrono::seconds(5);
    settings.download.totalTimeout = std::chrono::seconds(10);
    settings.chooseFolder = [&](QWidget*, const QString&, const QString&) { return dir.path(); };
    const QString b = QString::fromStdString(server.base());
    FrmDownload window(nullptr, {"第一章", "第二章", "第三章"},
                       {b + "/ch1.html", b + "/ch2.html", b + "/ch3.html"}, settings);
    window.show();
    QTest::mouseClick(child<QPushButton>(&window, "Command4"), Qt::LeftButton);
    QCOMPARE(child<QLineEdit>(&window, "Text1")->text(), dir.path());
    child<QRadioButton>(&window, "Option2")->setChecked(true);
    auto* list3 = child<QListWidget>(&window, "List3");
    list3->item(0)->setSelected(true);
    list3->item(2)->setSelected(true);

    QSignalSpy finished(&window, &FrmDownload::fetchFinished);
    QTest::mouseClick(child<QPushButton>(&window, "Command1"), Qt::LeftButton);
    QVERIFY(!child<QPushButton>(&window, "Command1")->isEnabled());
    QVERIFY(!child<QPushButton>(&window, "Command2")->isEnabled());
    FOLIO_WAIT_COMPARE(finished.count(), 1);

    QCOMPARE(readAll(dir.filePath("第一章.html")), QByteArray("<p>one</p>"));
    QCOMPARE(readAll(dir.filePath("第三章.html")), QByteArray("<p>three</p>"));
    QVERIFY(!QFile::exists(dir.filePath("第二章.html")));
    QCOMPARE(server.requests(), (std::vector<std::string>{"/ch1.html", "/ch3.html"}));
    QCOMPARE(window.lastSummary().downloaded, 2);
    QVERIFY(child<QPushButton>(&window, "Command1")->isEnabled());
    QVERIFY(child<QPushButton>(&window, "Command2")->isEnabled());
    QCOMPARE(child<QProgressBar>(&window, "ProgressBar1")->maximum(), 2);
    QCOMPARE(child<QProgressBar>(&window, "ProgressBar1")->value(), 2);
    QCOMPARE(child<QLabel>(&window, "Label1")->text(), QStringLiteral("第三章"));
    QVERIFY(messages.boxes.empty()); // no closing message in this window
}

void ReaderWinTest::downloadNovelSiteRewritesLinks() {
    LocalServer server;
    QVERIFY(server.listening());
    const QString b = QString::fromStdString(server.base());
    // The first chapter page names the server holding the text files.
    server.set("/book/12,34.aspx",
               Reply(200, ("<a href='" + b + "/Author7/x'>txt</a>").toStdString()));
    server.set("/Author7/12/34.txt", Reply(200, "chapter 34"));
    server.set("/Author7/12/35.txt", Reply(200, "chapter 35"));
    QTemporaryDir dir;
    RecordingObserver messages;
    FrmDownloadSettings settings;
    settings.dialogs = &messages;
    settings.novelSiteName = QStringLiteral("某小说站");
    settings.authorPrefix = (b + "/Author").toStdString();
    settings.download.totalTimeout = std::chrono::seconds(10);
    FrmDownload window(nullptr, {"三十四", "三十五"},
                       {b + "/book/12,34.aspx", b + "/book/12,35.aspx"}, settings);
    QCOMPARE(child<QRadioButton>(&window, "Option1")->text(), QStringLiteral("某小说站"));
    child<QLineEdit>(&window, "Text1")->setText(dir.path());
    auto* list3 = child<QListWidget>(&window, "List3");
    list3->item(0)->setSelected(true);
    list3->item(1)->setSelected(true);
    QSignalSpy finished(&window, &FrmDownload::fetchFinished);
    QTest::mouseClick(child<QPushButton>(&window, "Command1"), Qt::LeftButton);
    FOLIO_WAIT_COMPARE(finished.count(), 1);
    QCOMPARE(readAll(dir.filePath("三十四.html")), QByteArray("chapter 34"));
    QCOMPARE(readAll(dir.filePath("三十五.html")), QByteArray("chapter 35"));
    // The server number is read once per pass, from the first selected chapter.
    QCOMPARE(server.requests(), (std::vector<std::string>{"/book/12,34.aspx", "/Author7/12/34.txt",
                                                          "/Author7/12/35.txt"}));
}

void ReaderWinTest::downloadFailureWaitsForStop() {
    LocalServer server;
    QVERIFY(server.listening());
    const QString b = QString::fromStdString(server.base());
    server.set("/ok.html", Reply(200, "fine"));
    QTemporaryDir dir;
    RecordingObserver messages;
    FrmDownloadSettings settings;
    settings.dialogs = &messages;
    settings.download.totalTimeout = std::chrono::seconds(10);
    FrmDownload window(nullptr, {"缺失", "好的", "也缺失"},
                       {b + "/missing.html", b + "/ok.html", b + "/gone.html"}, settings);
    window.show();
    child<QRadioButton>(&window, "Option2")->setChecked(true);
    child<QLineEdit>(&window, "Text1")->setText(dir.path());
    auto* list3 = child<QListWidget>(&window, "List3");
    for (int i = 0; i < 3; ++i)
        list3->item(i)->setSelected(true);
    QSignalSpy finished(&window, &FrmDownload::fetchFinished);
    QTest::mouseClick(child<QPushButton>(&window, "Command1"), Qt::LeftButton);

    // The failed download holds the pass, while the window stays responsive.
    auto* label2 = child<QLabel>(&window, "Label2");
    FOLIO_WAIT_VERIFY(label2->text().startsWith(QStringLiteral("下载失败")));
    QVERIFY(label2->text().contains(QStringLiteral("missing.html")));
    QVERIFY(window.isFetching());
    QVERIFY(window.isRunning());
    QCOMPARE(finished.count(), 0);
    QCOMPARE(server.requests(), (std::vector<std::string>{"/missing.html"}));
    QVERIFY(!child<QPushButton>(&window, "Command1")->isEnabled());
    QVERIFY(!QFile::exists(dir.filePath("缺失.html")));

    // "停止": the buttons come back at once and later failures no longer wait.
    QTest::mouseClick(child<QPushButton>(&window, "Command3"), Qt::LeftButton);
    QVERIFY(child<QPushButton>(&window, "Command1")->isEnabled());
    QVERIFY(child<QPushButton>(&window, "Command2")->isEnabled());
    FOLIO_WAIT_COMPARE(finished.count(), 1);
    QCOMPARE(server.requests(),
             (std::vector<std::string>{"/missing.html", "/ok.html", "/gone.html"}));
    QCOMPARE(readAll(dir.filePath("好的.html")), QByteArray("fine"));
    QCOMPARE(window.lastSummary().failed, 2);
    QVERIFY(!window.isFetching());

    // Closing the window while a pass waits ends the wait; the window goes once the pass is
    // over, and a later opening is not closed again.
    list3->item(1)->setSelected(false);
    list3->item(2)->setSelected(false);
    QTest::mouseClick(child<QPushButton>(&window, "Command1"), Qt::LeftButton);
    FOLIO_WAIT_VERIFY(window.isRunning() && server.requests().size() == 4);
    window.close();
    QVERIFY(!window.isVisible());
    FOLIO_WAIT_COMPARE(finished.count(), 2);
    QVERIFY(!window.isFetching());
    window.show();
    list3->clearSelection();
    QTest::mouseClick(child<QPushButton>(&window, "Command1"), Qt::LeftButton);
    FOLIO_WAIT_COMPARE(finished.count(), 3);
    QVERIFY(window.isVisible());
}

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    ReaderWinTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "readerwin_test.moc"
