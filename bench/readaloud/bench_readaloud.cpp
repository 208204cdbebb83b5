// Reading aloud for a long time: a book of short chapters (10,000 by default) read from the
// first on through the reading order into the bench's own PulseAudio null sink. Every
// `sample` seconds it prints the memory of the reader and its browser processes and the
// chapters read; at the end, the first minute's memory against the last and the pauses between
// sentences as the voice logs them.
//   QTWEBENGINE_DISABLE_SANDBOX=1 xvfb-run -a bench_readaloud [minutes] [pages] [sample]
#include "qt/resschemehandler.h"
#include "reader/ui/frmebook.h"
#include "tests/tools/soundserver.h"
#include "tests/tools/testbook.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>

namespace {

QStringList g_lines; // "page: ..." and the pauses' summary
QtMessageHandler g_previous = nullptr;

void keep(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (context.category && QLatin1String(context.category) == QLatin1String("folio.reader")) {
        if (text.startsWith(QStringLiteral("page: ")) || text.contains(QStringLiteral("pauses")))
            g_lines << text;
    } else if (g_previous) {
        g_previous(type, context, text);
    }
}

long rssKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

// The reader and the processes it started (the browser's renderer and helpers).
long familyRssKb() {
    long total = rssKb(getpid());
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const int pid = entry.toInt(&number);
        if (!number)
            continue;
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        std::getline(stat, line);
        const std::size_t close = line.rfind(')');
        if (close == std::string::npos)
            continue;
        int ppid = 0;
        char state = 0;
        if (std::sscanf(line.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == getpid())
            total += rssKb(pid);
    }
    return total;
}

std::string chapter(int n) {
    return "<html><head><meta charset=gb2312><title>" + std::to_string(n) +
           "</title></head><body><p><a href='tree.html'>目录</a> | <a href='next.html'>下一章</a>"
           "</p><p>第" +
           std::to_string(n) + "章。天亮了，我们走吧！路很长。</p></body></html>";
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--renderer-process-limit=1 --process-per-site "
                                              "--in-process-gpu --no-zygote");
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    qputenv("QT_XCB_GL_INTEGRATION", "none");
    folio::qt::ResSchemeHandler::registerScheme();
    QApplication app(argc, argv);
    const int minutes = argc > 1 ? std::atoi(argv[1]) : 60;
    const int pages = argc > 2 ? std::atoi(argv[2]) : 10000;
    const int sample = argc > 3 ? std::atoi(argv[3]) : 60;
    folio::testing::NullSink sink;
    if (!sink.start())
        return std::puts("no PulseAudio server of the bench's own"), 1;

    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("long.exe")).toStdString();
    std::map<std::string, std::string> book;
    std::string tree = "<html><body>";
    for (int i = 1; i <= pages; ++i) {
        tree += "<a href='c" + std::to_string(i) + ".html'>" + std::to_string(i) + "</a><br>";
        book["c" + std::to_string(i) + ".html"] = chapter(i);
    }
    book["tree.html"] = tree + "</body></html>";
    if (!folio::testing::makeTestBook(FOLIO_DIST_DIR "/folioPage/folioPage.dat", path, book,
                                      "书:人:c1.html:tree.html:::::2026-12-09"))
        return std::puts("the book could not be made"), 1;
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_STATE_HOME", dir.filePath(QStringLiteral("state")).toUtf8());
    QLoggingCategory::setFilterRules(QStringLiteral("folio.reader.debug=true"));
    g_previous = qInstallMessageHandler(keep);

    folio::readerui::ReaderOptions options;
    options.bookPath = QString::fromStdString(path);
    folio::readerui::FrmEBook window(options);
    window.resize(1000, 700);
    window.load();
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window, 60000))
        return std::puts("the window did not become active"), 1;
    if (!QTest::qWaitFor([] { return !g_lines.filter(QStringLiteral("c1.html")).isEmpty(); },
                         60000))
        return std::puts("the first chapter did not open"), 1;
    QTest::keyClick(&window, Qt::Key_U, Qt::ControlModifier | Qt::ShiftModifier);

    QElapsedTimer clock;
    clock.start();
    long firstMinute = 0, last = 0;
    while (clock.elapsed() < minutes * 60'000LL) {
        QTest::qWait(sample * 1000);
        last = familyRssKb();
        if (firstMinute == 0)
            firstMinute = last;
        std::printf("%5lld s: %ld KB, %lld chapters opened\n", clock.elapsed() / 1000, last,
                    static_cast<long long>(g_lines.filter(QStringLiteral("page: ")).size()));
        std::fflush(stdout);
    }
    window.toolbars()->action(folio::readerui::Toolbar1Button::StopReading)->trigger();
    std::printf("memory: %ld KB after the first sample, %ld KB at the end (%+ld KB)\n", firstMinute,
                last, last - firstMinute);
    for (const QString& line : g_lines.filter(QStringLiteral("pauses")))
        std::printf("%s\n", qPrintable(line));
    return 0;
}
