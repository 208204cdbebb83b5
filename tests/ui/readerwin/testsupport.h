// What the companion windows' tests share: the test tools' recording observer, speech engine and
// HTTP server, and reading a file whole.
#pragma once

#include "tests/tools/fakespeech.h"
#include "tests/tools/localserver.h"
#include "tests/tools/recordingobserver.h"

#include <QByteArray>
#include <QString>

namespace folio::testing {

// Reads a whole file (empty when missing).
QByteArray readAll(const QString& path);

} // namespace folio::testing
