// Small helpers shared by the reader's companion windows (bookmarks, voice settings, full
// screen, advert, download): twip placement and the folder picker.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace folio::readerui {

// Places a child widget at a rectangle given in twips (relative to its parent).
void placeTwips(QWidget* widget, int left, int top, int width, int height);

// Gives a window a client area of width x height twips that the user cannot resize.
void fixClientTwips(QWidget* window, int width, int height);

// The folder picker shared by the companion windows: the chosen folder, or an empty text when
// the user cancels. Tests replace it.
using FolderChooser =
    std::function<QString(QWidget* parent, const QString& title, const QString& startFolder)>;

inline constexpr const char* FolderPickerTitle = "选择这个文件夹：";

// The real picker: QFileDialog::getExistingDirectory.
FolderChooser defaultFolderChooser();

} // namespace folio::readerui
