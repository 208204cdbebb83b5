// folioPage and folioNet: `folioPage book.exe` reads a Book image as its own file (no argument:
// the program's own file); `folioNet [folder]` shows the book kept in its folder.
#include "qt/resschemehandler.h"
#include "reader/ui/frmebook.h"
#include "reader/ui/readerstart.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QWebEngineView>

#include <cstdio>
#include <ctime>
#include <memory>
#include <unistd.h>

namespace {

// Milliseconds since the kernel started this process (its start time in /proc/self/stat, in
// clock ticks since boot), so that the figure includes loading the program and its libraries.
long long msSinceProcessStart() {
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // The fields after the program's name, which is in parentheses and may hold spaces.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    constexpr int StartTimeField = 22 - 3;
    if (fields.size() <= StartTimeField)
        return -1;
    const double started =
        fields[StartTimeField].toDouble() / static_cast<double>(::sysconf(_SC_CLK_TCK));
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<long long>((static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9 - started) *
                                  1000.0);
}

// One browser renderer for both panes (they show one book from one origin); where there is
// no sandbox to keep processes apart, the GPU thread inside the browser process and no zygote
// (it only serves to fork sandboxed renderers). A reader of a local book gains nothing from
// more processes but their start-up time and memory. Flags the user set are left as they are.
void setBrowserFlags() {
    if (!qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        return;
    QByteArray flags = "--renderer-process-limit=1 --process-per-site";
    if (qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        flags += " --in-process-gpu --no-zygote";
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}

// The panes draw through the browser's own software compositor rather than OpenGL: a book's
// pages are text and pictures, which it draws as fast, while setting up OpenGL (a context and
// its shaders, on many machines a software rasteriser behind it) took the first page longer
// than everything else the reader does before it. Nothing else in the reader draws with
// OpenGL, so the X11 platform is told to leave its OpenGL libraries unloaded; the variable is
// taken back once the platform is up, so programs the reader starts draw as they would. A
// graphics back end the user chose is kept. Returns whether the platform variable was set.
bool chooseSoftwareDrawing() {
    if (!qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND") ||
        !qEnvironmentVariableIsEmpty("QSG_RHI_BACKEND")) {
        return false;
    }
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    if (!qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION")) {
        return false;
    }
    qputenv("QT_XCB_GL_INTEGRATION", "none");
    return true;
}

// For start-up measurements (FOLIO_REPORT_FIRST_PAGE=1): the milliseconds at which start-up
// reached `step`, so that a slow start shows where its time went.
void reportStep(bool report, const char* step) {
    if (report) {
        std::fprintf(stderr, "folio: reached %s %lld ms\n", step, msSinceProcessStart());
    }
}

} // namespace

int main(int argc, char** argv) {
    const bool report = qEnvironmentVariableIntValue("FOLIO_REPORT_FIRST_PAGE") == 1;
    reportStep(report, "main");
    // The browser's sandbox cannot run as root; the reader then runs without it.
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    setBrowserFlags();
    const bool noPlatformGl = chooseSoftwareDrawing();
    folio::qt::ResSchemeHandler::registerScheme();

    QApplication app(argc, argv);
    if (noPlatformGl) {
        qunsetenv("QT_XCB_GL_INTEGRATION");
    }
    reportStep(report, "application");
    folio::readerui::ReaderOptions options;
#ifdef FOLIO_NET
    options.variant = folio::readerui::Variant::Net;
    QApplication::setApplicationName(QStringLiteral("folioNet"));
#else
    options.variant = folio::readerui::Variant::Page;
    QApplication::setApplicationName(QStringLiteral("folioPage"));
#endif
    QApplication::setApplicationVersion(QStringLiteral(FOLIO_VERSION));

    const QStringList args = QApplication::arguments();
    options.bookPath = args.size() > 1 ? QFileInfo(args.at(1)).absoluteFilePath()
                                       : QApplication::applicationFilePath();

    // folioPage started by itself rather than for a book: the start page offers one.
    if (options.variant == folio::readerui::Variant::Page && args.size() <= 1 &&
        folio::readerui::needsStartPage(options.bookPath)) {
        folio::readerui::showStartPage(options);
        return app.exec();
    }

    folio::readerui::FrmEBook window(options);
    reportStep(report, "window");
    if (report) {
        // For start-up measurements: when the page pane has finished its first page.
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = QObject::connect(
            window.webBook(), &QWebEngineView::loadFinished, [connection](bool ok) {
                std::fprintf(stderr, "folio: first page %s %lld ms\n", ok ? "loaded" : "failed",
                             msSinceProcessStart());
                QObject::disconnect(*connection);
            });
    }
    window.load();
    folio::readerui::followReading(window);
    reportStep(report, "load");
    window.show();
    reportStep(report, "show");
    return app.exec();
}
