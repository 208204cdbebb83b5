// The readers' log: what they showed and applied, for users and tests to follow
// (QT_LOGGING_RULES="folio.reader.debug=true").
#pragma once

#include <QLoggingCategory>

namespace folio::readerui {
Q_DECLARE_LOGGING_CATEGORY(readerLog)
} // namespace folio::readerui
