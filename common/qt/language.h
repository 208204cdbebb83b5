// The interface language: Language.lng beside the program (a profile file with one section
// per language, keys are controls' object names), and the caption walk over the windows.
#pragma once

#include <QString>
#include <QStringList>

class QObject;
class QWidget;

namespace folio::qt {

inline constexpr const char* LanguageFileName = "Language.lng";

// True only when the folder's listing holds a file named exactly "Language.lng" (a file
// called "language.lng" does not count).
bool LanguageFileExists(const QString& programFolder);

// True when a file of that name exists in any letter case (the readers' presence test).
bool languageFilePresent(const QString& programFolder);

// The caption for `key` (a control's name) in `section` (a language), cut to 254
// characters; the key itself when the section or key is missing; "Unknow" when
// LanguageFileExists is false.
QString ReadLanguageEntry(const QString& programFolder, const QString& section, const QString& key);

// The section names followed by one empty element; {"None"} when LanguageFileExists is
// false. The names come through a 254-character buffer, so a long list is cut short.
QStringList ListLanguages(const QString& programFolder);

// A label carrying this property set to true is a picture box (a preview), not a caption.
inline constexpr const char* PictureProperty = "folioPicture";

// Sets the captions of one control from `section`: group boxes (title), frames carrying a
// "caption" property, labels, check boxes, radio buttons and push buttons (text); tab
// bars and tab widgets (one ","-separated part per tab); toolbars (one part per action,
// separators included, in order). Anything else is left alone, as are controls without a
// name or with Qt's internal "qt_" names. The key is the control's name; a key
// "<window name>.<control name>" in the section, when present, wins for that window's control.
void ApplyLanguageToControl(QObject* control, const QString& programFolder, const QString& section);

// Applies `section` to every control of every top-level widget that exists now, each
// window's controls in creation order. Windows created later keep their built-in captions.
void ApplyLanguage(const QString& programFolder, const QString& section);

// The readers' start-up step: the language named by the user's locale (see
// folio::languageNameFromLcid) becomes the current language, and is applied when
// a language file is present in the folder. Returns the current language.
QString SelectLanguageFromLocale(const QString& programFolder);

// The language chosen by the last SelectLanguageFromLocale or applied by the last
// ApplyLanguage ("" before either), and the folder whose language file it came from.
QString CurrentLanguage();
QString CurrentLanguageFolder();

// Gives a window opened after start-up (a companion window) the captions of the current
// language, from the language file of the folder the last SelectLanguageFromLocale read, as
// the main window got them. Nothing before a language was chosen or without a language file.
void ApplyCurrentLanguage(QWidget* window);

// A text of a control the caption walk leaves alone (a status, a hint, a tool button), in the
// current language: the entry `key` of the folder's language file, or `fallback` (UTF-8) when
// there is no file, no current language or no such entry, so a file older than the control
// never shows a key's name.
QString CurrentLanguageText(const QString& programFolder, const char* key, const char* fallback);

} // namespace folio::qt
