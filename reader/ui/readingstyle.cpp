// Reading settings on the Linux readers (see readingstyle.h).
#include "reader/ui/readingstyle.h"

#include "core/fileio.h"
#include "reader/ui/readerlog.h"
#include "reader/ui/uitext.h"

#include <QColor>
#include <QFile>
#include <QPalette>
#include <QStandardPaths>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>
#include <QWidget>

namespace folio::readerui {

// Quiet unless asked for: QT_LOGGING_RULES="folio.reader.debug=true".
Q_LOGGING_CATEGORY(readerLog, "folio.reader", QtInfoMsg)

namespace {

void replaceScript(QWebEngineScriptCollection* scripts, const QString& name, const QString& source,
                   QWebEngineScript::InjectionPoint point) {
    for (const QWebEngineScript& old : scripts->find(name))
        scripts->remove(old);
    QWebEngineScript script;
    script.setName(name);
    script.setInjectionPoint(point);
    // A world of its own: the book's scripts can neither see nor undo it.
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(source);
    scripts->insert(script);
}

} // namespace

QString ReadingStyle::defaultFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/folio/reading.ini");
}

void ReadingStyle::load(const QString& file) {
    QFile f(file);
    reader::ReadingSettingsRead read;
    if (f.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = f.readAll();
        read = reader::parseReadingSettings(std::string_view(bytes.constData(), bytes.size()));
    }
    for (const std::string& problem : read.problems)
        qCWarning(readerLog).noquote() << "reading: " + file + ": " + qs(problem);
    setSettings(read.settings);
}

void ReadingStyle::setSettings(const reader::ReadingSettings& settings) {
    m_settings = settings;
    m_userCss.clear();
    if (!m_settings.userStyle.empty()) {
        QFile user(qs(m_settings.userStyle));
        if (user.open(QIODevice::ReadOnly))
            m_userCss = QString::fromUtf8(user.readAll());
        else
            qCWarning(readerLog).noquote()
                << "reading: the user style sheet " + user.fileName() + " cannot be read";
    }
}

Result<void> ReadingStyle::saveDefault(const reader::ReadingSettings& settings,
                                       const QString& file) {
    const std::string path = utf8(file);
    if (auto made = makeFolders(parentFolder(path)); !made)
        return made;
    return writeFileAtomic(path, reader::readingSettingsText(settings));
}

void ReadingStyle::apply(QWebEngineProfile* profile, QWebEngineView* contentsView,
                         QWebEngineView* pageView, const QList<QWidget*>& widgets) const {
    // The theme over every page of the profile; the type, the spacing and the book's own style
    // over the pages read, in a sheet of their own after it.
    const QString theme =
        qs(reader::readingStyleScript(reader::themeStyleSheet(m_settings), true, "folio-theme"));
    const QString reading = qs(reader::readingStyleScript(
        reader::readingStyleSheet(m_settings, m_userCss.toStdString()), m_settings.bookStyle));
    replaceScript(profile->scripts(), QStringLiteral("folio-theme"), theme,
                  QWebEngineScript::DocumentCreation);
    replaceScript(&pageView->page()->scripts(), QStringLiteral("folio-reading"), reading,
                  QWebEngineScript::DocumentCreation);
    const auto colours = reader::themeColours(m_settings);
    for (QWebEngineView* view : {contentsView, pageView}) {
        view->page()->setBackgroundColor(colours ? QColor(qs(colours->background)) : Qt::white);
        view->page()->runJavaScript(theme, QWebEngineScript::ApplicationWorld);
    }
    pageView->page()->runJavaScript(reading, QWebEngineScript::ApplicationWorld);
    for (QWidget* widget : widgets) {
        QPalette palette = widget->palette();
        if (colours) {
            const QColor fg(qs(colours->foreground)), bg(qs(colours->background));
            for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
                palette.setColor(role, bg);
            for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
                palette.setColor(role, fg);
        } else {
            palette = QPalette(); // the application's own again
        }
        widget->setPalette(palette);
        widget->setAutoFillBackground(true);
    }
    for (const auto& [key, value] : reader::readingSettingValues(m_settings))
        qCDebug(readerLog).noquote() << "reading: " + qs(key) + "=" + qs(value);
}

void installChapterKeys(QWebEngineProfile* profile) {
    replaceScript(profile->scripts(), QStringLiteral("folio-chapter-keys"),
                  qs(reader::chapterKeysScript()), QWebEngineScript::DocumentReady);
}

} // namespace folio::readerui
