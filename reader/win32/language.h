// The interface language on Windows: Language.lng beside the book, the section chosen from the
// thread locale, and the captions of the reading window's controls replaced from it.
#pragma once

#include "reader/core/readerrules.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace folio::win32 {

// A control the language walk may caption, in the window's control order.
struct LanguageTarget {
    std::wstring window; // the window's name ("FrmEBook"), for window-qualified keys
    std::wstring name;   // the control's name ("Check1", "Toolbar1")
    // Caption controls (labels, check boxes, buttons, frames) get the whole value; toolbars
    // the value split at ",", part n to button n + 1.
    enum class Kind { Caption, Strip } kind = Kind::Caption;
    std::function<void(const std::wstring&)> setCaption;            // Caption
    std::function<void(int position, const std::wstring&)> setPart; // Strip, 1-based
    int parts = 0;                                                  // Strip: its button count
};

// Whether `folder` holds "Language.lng" under exactly that name (the walk reads it only then);
// and whether it holds it under any letter case (the readers' presence test).
bool LanguageFileExists(const std::wstring& folder);
bool languageFilePresent(const std::wstring& folder);

// The language section the thread locale names: "简体中文", "English", "繁體中文" or the
// locale identifier in hexadecimal.
std::wstring languageFromThreadLocale();

// Sets the captions of `targets` from `section` of folder + "Language.lng". A missing key gives
// the control's name; a file present only under another letter case gives "Unknow".
void ApplyLanguage(const std::wstring& folder, const std::wstring& section,
                   const std::vector<LanguageTarget>& targets);

// Reads the thread locale, applies its language when a language file is beside the program,
// and returns the language's name (CurrentLanguage).
std::wstring SelectLanguageFromLocale(const std::wstring& folder,
                                      const std::vector<LanguageTarget>& targets);

// A companion window opened after start-up gets the captions of the language the last
// SelectLanguageFromLocale chose, from the same file, as the reading window got them; nothing
// before a language was chosen or without a language file.
void ApplyCurrentLanguage(const std::vector<LanguageTarget>& targets);

// The caption target of the control `id` of `dialog`, named `name` in the window `window`.
LanguageTarget captionTarget(HWND dialog, const wchar_t* window, const wchar_t* name, int id);

// The reader's own texts (no control's caption) in the current language, for reader/core.
reader::ReaderTextLookup readerTexts();

} // namespace folio::win32
