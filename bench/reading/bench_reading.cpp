// Reading for hours, timed: building the reading order of a 10,000-page book's contents page,
// the next page shown after Ctrl+PageDown in that book, and the reading settings laid over a
// 6 KB chapter, in the reading window.
//   QTWEBENGINE_DISABLE_SANDBOX=1 xvfb-run -a bench_reading [pages] [steps]
// (under a display, as a reader runs). BENCH_DIRECT=1 loads the next page itself instead of
// pressing the key, to tell the command's cost from the browser's; BENCH_NOINI=1 reads with no
// reading settings.
#include "core/book.h"
#include "core/fileio.h"
#include "core/pe.h"
#include "core/text.h"
#include "qt/resschemehandler.h"
#include "reader/core/reading.h"
#include "reader/ui/frmebook.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// Runs the event loop until `done` holds, as the reader's own loop runs: QTest::qWaitFor sleeps
// 10 ms between its passes, and the browser engine's pump, which rides on the loop, pays that
// sleep on each of its round trips.
template <typename Done> bool waitFor(Done done, int boundMs = 60000) {
    if (done())
        return true;
    const QDeadlineTimer deadline(boundMs);
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done() || deadline.hasExpired())
            loop.quit();
    });
    tick.start(1);
    loop.exec();
    return done();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::string chapter(int n) {
    // About 6 KB of CP936 text, as a chapter of a web novel.
    std::string body;
    while (body.size() < 6000)
        body += "<p>" + folio::toAnsi("第" + std::to_string(n) + "章的正文，一段又一段地写下去。") +
                "</p>";
    return "<html><head><meta charset=gb2312><title>" + std::to_string(n) +
           "</title></head><body>" + body + "</body></html>";
}

} // namespace

int main(int argc, char** argv) {
    // The reader's own browser set-up (reader/ui/main.cpp): one renderer, software drawing.
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--renderer-process-limit=1 --process-per-site "
                                              "--in-process-gpu --no-zygote");
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    qputenv("QT_XCB_GL_INTEGRATION", "none");
    folio::qt::ResSchemeHandler::registerScheme();
    QApplication app(argc, argv);
    const int pages = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int steps = argc > 2 ? std::atoi(argv[2]) : 20;

    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("big.exe")).toStdString();
    std::string tree = "<html><body>";
    for (int i = 1; i <= pages; ++i)
        tree += "<a href='c" + std::to_string(i) + ".html'>" + std::to_string(i) + "</a><br>";
    tree += "</body></html>";

    // The reading order, as the window builds it once per book.
    std::vector<double> order;
    std::size_t found = 0;
    for (int run = 0; run < 7; ++run) {
        QElapsedTimer t;
        t.start();
        found = folio::reader::readingOrder(tree).size();
        order.push_back(t.nsecsElapsed() / 1e6);
    }
    std::printf("reading order of %d pages: %zu pages, median %.1f ms\n", pages, found,
                median(order));

    if (!folio::copyFileAtomic(FOLIO_DIST_DIR "/folioPage/folioPage.dat", path))
        return 1;
    auto u = folio::pe::ResourceUpdater::begin(path, false);
    if (!u)
        return 1;
    auto put = [&](const std::string& name, const std::string& bytes) {
        u->update(folio::pe::ResourceId::fromId(folio::book::PageType),
                  folio::book::pageResourceName(name), folio::book::ResourceLanguage,
                  folio::Bytes(bytes.begin(), bytes.end()));
    };
    put("tree.html", tree);
    put("index.html", chapter(0));
    for (int i = 1; i <= pages; ++i)
        put("c" + std::to_string(i) + ".html", chapter(i));
    const std::string descriptor = folio::toAnsi("书:人:index.html:tree.html:::::2026-12-09");
    u->update(folio::pe::ResourceId::fromName(folio::book::DescriptorType),
              folio::pe::ResourceId::fromId(folio::book::DescriptorId),
              folio::book::ResourceLanguage, folio::Bytes(descriptor.begin(), descriptor.end()));
    if (!u->end(false))
        return 1;

    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_STATE_HOME", dir.filePath(QStringLiteral("state")).toUtf8());
    QDir().mkpath(dir.filePath(QStringLiteral("config/folio")));
    QFile ini(dir.filePath(QStringLiteral("config/folio/reading.ini")));
    ini.open(QIODevice::WriteOnly);
    if (!qEnvironmentVariableIsSet("BENCH_NOINI"))
        ini.write("[Reading]\nTheme=night\nFontSize=22\nLineHeight=1.8\nMaxWidth=700\n");
    ini.close();

    folio::readerui::ReaderOptions options;
    options.bookPath = QString::fromStdString(path);
    folio::readerui::FrmEBook window(options);
    window.resize(1000, 700);
    window.load();
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window, 60000))
        return std::puts("the window did not become active"), 1;
    QWebEngineView* book = window.webBook();
    if (!waitFor([&] { return book->title() == QLatin1String("0"); }))
        return std::puts("the home page did not load"), 1;

    // Ctrl+PageDown to the page shown (its load finished), and the settings' cost on it.
    std::vector<double> next, styled;
    for (int i = 0; i < steps; ++i) {
        bool loaded = false;
        auto c = QObject::connect(book, &QWebEngineView::loadFinished, [&] { loaded = true; });
        QElapsedTimer t;
        t.start();
        if (qEnvironmentVariableIsSet("BENCH_DIRECT"))
            book->load(QUrl(window.resourcePrefix() + QStringLiteral("c%1.html").arg(i + 1)));
        else
            QTest::keyClick(&window, Qt::Key_PageDown, Qt::ControlModifier);
        if (!waitFor([&] { return loaded; }))
            return std::puts("a page did not load"), 1;
        next.push_back(t.nsecsElapsed() / 1e6);
        QObject::disconnect(c);
        // The style script's own run on the chapter shown, as the page's script world sees it.
        const QString script = QStringLiteral(
            "(function(){var t=performance.now();var s=document.getElementById('folio-reading');"
            "var p=s.parentNode;p.removeChild(s);p.appendChild(s);"
            "getComputedStyle(document.body).fontSize;return performance.now()-t;})()");
        double ms = -1;
        book->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                                    [&](const QVariant& v) { ms = v.toDouble(); });
        if (!waitFor([&] { return ms >= 0; }))
            return std::puts("the page did not answer"), 1;
        styled.push_back(ms);
    }
    std::printf("Ctrl+PageDown to the next page loaded, %d steps: median %.1f ms, max %.1f ms\n",
                steps, median(next), *std::max_element(next.begin(), next.end()));
    std::printf("reading settings over a 6 KB chapter (style and layout again): median %.2f ms\n",
                median(styled));
    return 0;
}
