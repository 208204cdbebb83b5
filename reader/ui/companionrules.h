// Small rules and helpers shared by the reader's companion windows (bookmarks, voice settings,
// full screen, advert, download): twip placement, the folder picker and the advert timing.
#pragma once

#include <QString>

#include <cstdint>
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

// A date-time value converted to a whole number: rounds to the nearest integer, halves to the
// even neighbour, and saturates at the 32-bit range instead of overflowing.
std::int32_t roundToWholeNumber(double value);

// The advert window closes once the time shown, as a difference in days, exceeds its show time
// converted to a whole number (a show time of 0 closes it as soon as any time has passed).
bool advertTimeIsUp(std::int64_t elapsedMilliseconds, double showTime);

} // namespace folio::readerui
