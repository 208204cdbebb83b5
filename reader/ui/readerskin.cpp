// The reading window's skin (see readerskin.h).
#include "reader/ui/readerskin.h"

#include "reader/ui/uitext.h"
#include "skin/skinloader.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QWidget>

namespace folio::readerui {

void attachReaderSkin(QWidget* window, const QString& programFolder) {
    const QString skin = QDir(programFolder).filePath(QStringLiteral("aero.she"));
    if (!QFileInfo(skin).isFile()) {
        return;
    }
    // The Linux skin library travels with the programs, not with the book: beside the reader,
    // or in the maker folder above it.
    const QString programDir = QCoreApplication::applicationDirPath();
    std::string library = skin::libraryBeside(utf8(programDir));
    if (!QFileInfo::exists(qs(library))) {
        library = skin::libraryBeside(utf8(QFileInfo(programDir).absolutePath()));
    }
    if (!skin::attachSkin(library, utf8(skin), reinterpret_cast<void*>(window->winId()), 255)) {
        return;
    }
    // The library themes native windows; Qt paints its own, so the skin's colours are taken
    // over into the application palette.
    const auto p = skin::attachedPalette(library);
    if (!p) {
        return;
    }
    QPalette pal = QApplication::palette();
    auto rgb = [](unsigned int c) { return QColor::fromRgb(QRgb(c & 0xFFFFFFu)); };
    pal.setColor(QPalette::Window, rgb(p->window));
    pal.setColor(QPalette::WindowText, rgb(p->windowText));
    pal.setColor(QPalette::Base, rgb(p->base));
    pal.setColor(QPalette::Text, rgb(p->text));
    pal.setColor(QPalette::Button, rgb(p->button));
    pal.setColor(QPalette::ButtonText, rgb(p->buttonText));
    pal.setColor(QPalette::Highlight, rgb(p->highlight));
    pal.setColor(QPalette::HighlightedText, rgb(p->highlightText));
    QApplication::setPalette(pal);
    if (p->fontFamily[0] != '\0') {
        QFont font = QApplication::font();
        font.setFamily(QString::fromUtf8(p->fontFamily));
        if (p->fontPointSize > 0) {
            font.setPointSize(p->fontPointSize);
        }
        QApplication::setFont(font);
    }
}

} // namespace folio::readerui
