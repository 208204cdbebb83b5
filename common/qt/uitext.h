// UTF-8 (the routines' text) <-> QString (the windows' text), shared by the reader's windows.
#pragma once

#include <QString>

#include <string>

namespace folio::readerui {

inline QString qs(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

inline std::string utf8(const QString& text) {
    return text.toStdString();
}

} // namespace folio::readerui
