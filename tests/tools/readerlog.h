// The reading window's log ("folio.reader": "page: ...", "reading: ...", "speech: ..."), kept
// line by line for a test while it is installed; other messages go on as before.
#pragma once

#include <QLoggingCategory>
#include <QStringList>

namespace folio::testing {

inline QStringList g_readerLog;

class ReaderLog {
  public:
    ReaderLog() {
        QLoggingCategory::setFilterRules(QStringLiteral("folio.reader.debug=true"));
        previous() = qInstallMessageHandler(&ReaderLog::keep);
    }
    ~ReaderLog() { qInstallMessageHandler(previous()); }
    ReaderLog(const ReaderLog&) = delete;
    ReaderLog& operator=(const ReaderLog&) = delete;

  private:
    static QtMessageHandler& previous() {
        static QtMessageHandler handler = nullptr;
        return handler;
    }
    static void keep(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (context.category && QLatin1String(context.category) == QLatin1String("folio.reader"))
            g_readerLog << text;
        else if (previous())
            previous()(type, context, text);
    }
};

} // namespace folio::testing
