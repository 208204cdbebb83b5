// The reading window's skin: "aero.she" beside the book attaches the skin library to the
// window, and the skin's colours and font become the application's.
#pragma once

#include <QString>

class QWidget;

namespace folio::readerui {

// Attaches the skin when the program folder holds "aero.she"; without it nothing changes.
void attachReaderSkin(QWidget* window, const QString& programFolder);

} // namespace folio::readerui
