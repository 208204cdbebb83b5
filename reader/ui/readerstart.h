// What surrounds a reading window in folioPage: the start page when there is no book, and the
// place kept, the contents mark, the recent books and dropped books once one is open.
#pragma once

#include "reader/ui/frmebook.h"

#include <QString>

namespace folio::readerui {

class PlaceKeeper;

// Whether folioPage started without a book should show the start page: `ownFile` (the book path
// it would read, its own file when no argument was given) is not a Book image.
bool needsStartPage(const QString& ownFile);

// Shows the start page; a book chosen there opens in a reading window of its own (made with
// `options` and the book's path) and the start page closes.
void showStartPage(ReaderOptions options);

// Gives a loaded reading window its place kept (restored now), the contents pane's mark, an
// entry among the recent books, and (folioPage) opens books dropped on it in a window of their
// own. Returns the keeper (owned by the window). `stateFolder` empty means the user's own.
PlaceKeeper* followReading(FrmEBook& window, const QString& stateFolder = {});

} // namespace folio::readerui
