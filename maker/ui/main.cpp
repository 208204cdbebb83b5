// folioMake: the maker workbench's entry point.
#include "maker/ui/frmmain.h"

#include <QApplication>

int main(int argc, char** argv) {
    // The browser's sandbox cannot start as root; the preview only shows local pages.
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("folioMake"));
    QApplication::setApplicationVersion(QStringLiteral(FOLIO_VERSION));
    folio::maker::Frmmain window;
    window.show();
    return app.exec();
}
