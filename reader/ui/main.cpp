// folioPage and folioNet: `folioPage book.exe` reads a Book image as its own file (no argument:
// the program's own file); `folioNet [folder]` shows the book kept in its folder.
#include "qt/resschemehandler.h"
#include "reader/ui/frmebook.h"

#include <QApplication>
#include <QFileInfo>

#include <unistd.h>

int main(int argc, char** argv) {
    // The browser's sandbox cannot run as root; the reader then runs without it.
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    folio::qt::ResSchemeHandler::registerScheme();

    QApplication app(argc, argv);
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

    folio::readerui::FrmEBook window(options);
    window.load();
    window.show();
    return app.exec();
}
