// Reading a book aloud in the reading window, with the machine's real synthesiser playing into
// the test's own null sink: from the page in view on through the chapters, sentence by sentence
// and marked in the page, without the site's navigation links; pause and resume; the sleep timer
// that ends with the chapter.
#include "reader/ui/frmebook.h"

#include "core/text.h"
#include "qt/resschemehandler.h"
#include "reader/core/readaloud.h"
#include "reader/ui/booksession.h"
#include "tests/tools/independent_check.h"
#include "tests/tools/readerlog.h"
#include "tests/tools/soundserver.h"
#include "tests/tools/testbook.h"
#include "tests/tools/waits.h"
#include "tests/tools/webeval.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLoggingCategory>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>

using folio::readerui::FrmEBook;
using folio::readerui::ReaderOptions;
using folio::testing::evaluate;

namespace {

QStringList& g_log = folio::testing::g_readerLog;

std::string chapter(const char* title, const char* body) {
    return std::string("<html><head><meta charset='gb2312'><title>") + title +
           "</title></head><body><div class='bar'><a href='tree.html'>目录</a> | "
           "<a href='next.html'>下一章</a></div><h1>" +
           title + "</h1>" + body + "<p><a href='prev.html'>上一章</a></p></body></html>";
}

QStringList spoken() {
    QStringList lines;
    for (const QString& line : g_log)
        if (line.startsWith(QStringLiteral("speech: ")) &&
            line != QStringLiteral("speech: paused") &&
            !line.startsWith(QStringLiteral("speech: pauses")))
            lines << line.mid(8);
    return lines;
}

// Records the null sink for `ms` and says how loud it was.
double loudnessOver(int ms, const QString& file) {
    QProcess parec;
    parec.start("parec", {"-d", "folio_null.monitor", "--file-format=wav", file});
    if (!parec.waitForStarted(folio::testing::WaitBoundMs))
        return -1;
    QTest::qWait(ms);
    parec.terminate();
    parec.waitForFinished(folio::testing::WaitBoundMs);
    return folio::testing::wavLoudness(file);
}

} // namespace

class ReadAloudWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void readsOnThroughTheChaptersAndPauses();
};

void ReadAloudWindowTest::readsOnThroughTheChaptersAndPauses() {
    if (!folio::check::haveTool("espeak-ng"))
        QSKIP("espeak-ng is not installed");
    folio::testing::NullSink sink;
    QVERIFY2(sink.start(), "the test's own PulseAudio server did not start");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("novel.exe"));
    QVERIFY(folio::testing::makeTestBook(
        FOLIO_BOOK_FIXTURE, path.toStdString(),
        {{"tree.html", "<html><body><a href='c1.html'>一</a><a href='c2.html'>二</a>"
                       "<a href='c3.html'>三</a></body></html>"},
         {"index.html", "<html><body><p>首页</p></body></html>"},
         {"c1.html", chapter("第一章", "<p>天亮了。我们走吧！</p>")},
         {"c2.html", chapter("第二章", "<p>下雨了。</p>")},
         {"c3.html", chapter("第三章", "<p>山很高，路很长，我们慢慢地走上去。"
                                       "他说：你好吗？我很好。再见。</p>")}},
        "书:人:c1.html:tree.html:::::2026-12-09"));
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_STATE_HOME", dir.filePath(QStringLiteral("state")).toUtf8());
    folio::testing::ReaderLog keepLog;

    ReaderOptions options;
    options.bookPath = path;
    FrmEBook window(options);
    window.resize(900, 600);
    window.load();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window, folio::testing::WaitBoundMs));
    FOLIO_WAIT_VERIFY(
        !g_log.filter(QRegularExpression(QStringLiteral("^page: .*c1.html"))).isEmpty());
    auto readKey = [&] {
        window.activateWindow();
        QTest::keyClick(&window, Qt::Key_U, Qt::ControlModifier | Qt::ShiftModifier);
    };

    // No selection: the whole book from chapter 1, heard, marked, page after page in order.
    const QString heard = dir.filePath(QStringLiteral("heard.wav"));
    QProcess parec;
    parec.start("parec", {"-d", "folio_null.monitor", "--file-format=wav", heard});
    QVERIFY(parec.waitForStarted(folio::testing::WaitBoundMs));
    readKey();
    FOLIO_WAIT_VERIFY(spoken().size() >= 2);

    // Paused: the sentence stays marked, silence within 200 ms; resumed at the same sentence.
    readKey();
    QVERIFY(g_log.contains(QStringLiteral("speech: paused")));
    const QString pausedAt = spoken().last();
    FOLIO_WAIT_COMPARE(evaluate(window.webBook(),
                                QStringLiteral("Array.prototype.map.call(document.querySelectorAll("
                                               "'.folio-speaking'), function (e) { return "
                                               "e.textContent; }).join('')")),
                       pausedAt);
    if (const QByteArray shots = qgetenv("FOLIO_SHOT_DIR"); !shots.isEmpty())
        window.grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/readaloud.png"));
    QTest::qWait(200);
    QVERIFY2(loudnessOver(1500, dir.filePath(QStringLiteral("paused.wav"))) < folio::testing::Heard,
             "sound went on after the pause");
    const qsizetype before = spoken().size();
    readKey();
    FOLIO_WAIT_VERIFY(spoken().size() > before);
    QCOMPARE(spoken().at(before), pausedAt);

    // On through chapters 2 and 3 to the book's end, in order, heard, without the links.
    FOLIO_WAIT_COMPARE(window.statusLine()->text(), QStringLiteral("已经是最后一章"));
    parec.terminate();
    parec.waitForFinished(folio::testing::WaitBoundMs);
    QVERIFY(folio::testing::wavLoudness(heard) > folio::testing::Heard);
    QStringList all = spoken();
    all.removeAt(before); // the sentence spoken again after the pause
    const QStringList expected = {"第一章",
                                  "天亮了。",
                                  "我们走吧！",
                                  "第二章",
                                  "下雨了。",
                                  "第三章",
                                  "山很高，路很长，我们慢慢地走上去。",
                                  "他说：你好吗？",
                                  "我很好。",
                                  "再见。"};
    QVERIFY2(all == expected, qPrintable(g_log.join('\n')));
    for (const QString& line : g_log.filter(QStringLiteral("pauses between sentences")))
        qInfo().noquote() << line; // for bench/readaloud.sh
    const QStringList pages = g_log.filter(QRegularExpression(QStringLiteral("^page: .*c[23]")));
    QCOMPARE(pages.size(), 2);
    QVERIFY(pages[0].endsWith(QStringLiteral("c2.html")) &&
            pages[1].endsWith(QStringLiteral("c3.html")));

    // The sleep timer set to the end of the chapter: chapter 1 read, and no further.
    g_log.clear();
    window.webBook()->load(window.session()->addressUrl(QStringLiteral("c1.html")));
    FOLIO_WAIT_VERIFY(!g_log.filter(QStringLiteral("c1.html")).isEmpty());
    window.toolbars()
        ->action(folio::readerui::Toolbar1Button::ReadAloud)
        ->menu()
        ->findChild<QAction*>(QStringLiteral("Sleep5"))
        ->trigger();
    g_log.clear();
    readKey();
    FOLIO_WAIT_COMPARE(window.statusLine()->text(),
                       QString::fromUtf8(folio::reader::ChapterReadText.data()));
    QCOMPARE(spoken(), expected.mid(0, 3));
    QVERIFY(g_log.filter(QStringLiteral("c2.html")).isEmpty());
}

int main(int argc, char** argv) {
    folio::qt::ResSchemeHandler::registerScheme();
    QApplication app(argc, argv);
    ReadAloudWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "readaloud_window_test.moc"
