// What the companion windows' tests share (see testsupport.h).
#include "tests/ui/readerwin/testsupport.h"

#include <QFile>

namespace folio::testing {

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace folio::testing
