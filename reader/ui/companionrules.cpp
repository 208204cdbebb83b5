// Helpers of the companion windows (see companionrules.h).
#include "reader/ui/companionrules.h"

#include "reader/ui/readerrules.h"

#include <QFileDialog>
#include <QWidget>

namespace folio::readerui {

void placeTwips(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                        twipsToPixels(height));
}

void fixClientTwips(QWidget* window, int width, int height) {
    window->setFixedSize(twipsToPixels(width), twipsToPixels(height));
}

FolderChooser defaultFolderChooser() {
    return [](QWidget* parent, const QString& title, const QString& startFolder) {
        return QFileDialog::getExistingDirectory(parent, title, startFolder,
                                                 QFileDialog::ShowDirsOnly);
    };
}

} // namespace folio::readerui
