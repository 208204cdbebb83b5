// UTF-8 (the routines' text) <-> QString (the windows' text), shared by every window.
#pragma once

#include <QString>

#include <string>

namespace folio::qt {

inline QString qs(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

inline std::string utf8(const QString& text) {
    return text.toStdString();
}

} // namespace folio::qt
