// The interface language walk.
#include "qt/language.h"

#include "core/locale.h"
#include "core/profile.h"
#include "core/text.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>

#include <optional>

namespace folio::qt {

namespace {

// What one profile-string call may return: 254 characters (CP936 bytes) of the value, and
// of the list of section names.
constexpr int BufferChars = 254;
constexpr std::size_t BufferSize = BufferChars + 1; // with its terminating NUL

QString g_currentLanguage;
QString g_languageFolder; // where SelectLanguageFromLocale looked for the file

QString languageFilePath(const QString& programFolder) {
    return QDir(programFolder).filePath(QString::fromLatin1(LanguageFileName));
}

QStringList listingMatches(const QString& programFolder) {
    // Name filters match without regard to case unless asked otherwise: this is the
    // directory search, which reports the names as stored.
    return QDir(programFolder)
        .entryList(QStringList{QString::fromLatin1(LanguageFileName)},
                   QDir::Files | QDir::Hidden | QDir::System);
}

// The language file, read once for a whole walk.
class LanguageFile {
  public:
    static LanguageFile open(const QString& programFolder) {
        LanguageFile file;
        file.m_exists = LanguageFileExists(programFolder);
        if (file.m_exists) {
            auto profile = folio::Profile::load(languageFilePath(programFolder).toStdString());
            if (profile)
                file.m_profile = std::move(*profile);
        }
        return file;
    }

    QString entry(const QString& section, const QString& key) const {
        if (!m_exists)
            return QStringLiteral("Unknow");
        if (!m_profile)
            return key.left(BufferChars); // unreadable file: the default, as the call gives it
        const std::string keyText = key.toStdString();
        return QString::fromStdString(
            m_profile->get(section.toStdString(), keyText, keyText, BufferSize));
    }

    // A control's caption: "<window>.<control>" when the section holds that key, so that
    // windows whose controls share a name can differ; otherwise the control's own name.
    QString captionFor(const QString& section, const QString& window, const QString& name) const {
        if (m_exists && m_profile && !window.isEmpty()) {
            const std::string qualified = (window + QLatin1Char('.') + name).toStdString();
            if (m_profile->contains(section.toStdString(), qualified))
                return QString::fromStdString(
                    m_profile->get(section.toStdString(), qualified, qualified, BufferSize));
        }
        return entry(section, name);
    }
    bool exists() const { return m_exists; }
    const std::optional<folio::Profile>& profile() const { return m_profile; }

  private:
    bool m_exists = false;
    std::optional<folio::Profile> m_profile;
};

// VB's Split: an empty text has no parts at all.
QStringList splitParts(const QString& value) {
    if (value.isEmpty())
        return {};
    return value.split(QLatin1Char(','));
}

std::size_t ansiLength(const QString& text) {
    return folio::toAnsi(text.toStdString()).size();
}

bool isNamedControl(const QObject* control) {
    const QString name = control->objectName();
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

void applyToControl(QObject* control, const LanguageFile& file, const QString& section) {
    if (control == nullptr || !isNamedControl(control))
        return;
    const QString name = control->objectName();
    // A label that stands for a picture box (a cover or icon preview) has no caption.
    if (control->property(PictureProperty).toBool())
        return;
    const QWidget* owner =
        control->isWidgetType() ? static_cast<QWidget*>(control)->window() : nullptr;
    const QString window = owner != nullptr && owner != control ? owner->objectName() : QString();
    auto caption = [&] { return file.captionFor(section, window, name); };

    // Caption controls. QLabel is a QFrame too, so it is tested before the frame case.
    if (auto* box = qobject_cast<QGroupBox*>(control)) {
        box->setTitle(caption());
        return;
    }
    if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(caption());
        return;
    }
    if (qobject_cast<QCheckBox*>(control) || qobject_cast<QRadioButton*>(control) ||
        qobject_cast<QPushButton*>(control)) {
        static_cast<QAbstractButton*>(control)->setText(caption());
        return;
    }
    if (auto* frame = qobject_cast<QFrame*>(control);
        frame != nullptr && frame->property("caption").isValid()) {
        frame->setProperty("caption", caption());
        return;
    }

    // Strips: the n-th part (from 0) goes to tab or button n + 1; extra parts are dropped.
    if (auto* tabs = qobject_cast<QTabWidget*>(control)) {
        const QStringList parts = splitParts(caption());
        for (int n = 0; n < parts.size() && n < tabs->count(); ++n)
            tabs->setTabText(n, parts[n]);
        return;
    }
    if (auto* bar = qobject_cast<QTabBar*>(control)) {
        const QStringList parts = splitParts(caption());
        for (int n = 0; n < parts.size() && n < bar->count(); ++n)
            bar->setTabText(n, parts[n]);
        return;
    }
    if (auto* toolbar = qobject_cast<QToolBar*>(control)) {
        // Separators are buttons of the strip too: each takes a part.
        const QList<QAction*> actions = toolbar->actions();
        const QStringList parts = splitParts(caption());
        for (int n = 0; n < parts.size() && n < actions.size(); ++n)
            actions[n]->setText(parts[n]);
        return;
    }
    // Text boxes, lists, combo boxes, pictures, browsers, menus: left alone.
}

} // namespace

bool LanguageFileExists(const QString& programFolder) {
    return listingMatches(programFolder).contains(QString::fromLatin1(LanguageFileName));
}

bool languageFilePresent(const QString& programFolder) {
    return !listingMatches(programFolder).isEmpty();
}

QString ReadLanguageEntry(const QString& programFolder, const QString& section,
                          const QString& key) {
    return LanguageFile::open(programFolder).entry(section, key);
}

QString CurrentLanguageText(const QString& programFolder, const char* key, const char* fallback) {
    const QString section = CurrentLanguage();
    if (!section.isEmpty() && LanguageFileExists(programFolder)) {
        const QString name = QString::fromLatin1(key);
        const QString value = ReadLanguageEntry(programFolder, section, name);
        if (!value.isEmpty() && value != name)
            return value;
    }
    return QString::fromUtf8(fallback);
}

QStringList ListLanguages(const QString& programFolder) {
    const LanguageFile file = LanguageFile::open(programFolder);
    if (!file.exists())
        return {QStringLiteral("None")};
    QStringList names;
    if (file.profile()) {
        // The names arrive NUL-terminated in a buffer of 254 characters: what does not fit
        // is cut, and the cut name still ends in a NUL.
        std::size_t used = 0;
        for (const std::string& section : file.profile()->sections()) {
            QString name = QString::fromStdString(section).trimmed();
            if (name.isEmpty())
                continue;
            const std::size_t room = BufferChars - 1 - used; // one NUL ends the whole list
            if (ansiLength(name) + 1 > room) {
                while (!name.isEmpty() && ansiLength(name) + 1 > room)
                    name.chop(1);
                if (!name.isEmpty())
                    names.push_back(name);
                break;
            }
            names.push_back(name);
            used += ansiLength(name) + 1;
        }
    }
    names.push_back(QString());
    return names;
}

void ApplyLanguageToControl(QObject* control, const QString& programFolder,
                            const QString& section) {
    applyToControl(control, LanguageFile::open(programFolder), section);
}

void ApplyLanguage(const QString& programFolder, const QString& section) {
    // The language applied is the current one: windows and boxes opened later follow it.
    g_currentLanguage = section;
    g_languageFolder = programFolder;
    const LanguageFile file = LanguageFile::open(programFolder);
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        // findChildren walks depth first in creation order, the window's control order.
        const QList<QWidget*> controls = window->findChildren<QWidget*>();
        for (QWidget* control : controls)
            applyToControl(control, file, section);
    }
}

QString SelectLanguageFromLocale(const QString& programFolder) {
    g_currentLanguage = QString::fromStdString(folio::languageNameFromLcid(folio::currentLcid()));
    g_languageFolder = programFolder;
    if (languageFilePresent(programFolder))
        ApplyLanguage(programFolder, g_currentLanguage);
    return g_currentLanguage;
}

QString CurrentLanguage() {
    return g_currentLanguage;
}

QString CurrentLanguageFolder() {
    return g_languageFolder;
}

void ApplyCurrentLanguage(QWidget* window) {
    if (window == nullptr || g_currentLanguage.isEmpty() || !languageFilePresent(g_languageFolder))
        return;
    const LanguageFile file = LanguageFile::open(g_languageFolder);
    const QList<QWidget*> controls = window->findChildren<QWidget*>();
    for (QWidget* control : controls)
        applyToControl(control, file, g_currentLanguage);
}

} // namespace folio::qt
