// The Windows reader's language walk over the core's profile reader.
#include "reader/win32/language.h"

#include "core/locale.h"
#include "core/profile.h"
#include "reader/win32/companions.h"

#include <optional>

namespace folio::win32 {
namespace {

constexpr const wchar_t* FileName = L"Language.lng";
// What one profile-string call returns: 254 characters of the value.
constexpr std::size_t BufferSize = 255;

std::wstring g_language; // chosen by the last SelectLanguageFromLocale
std::wstring g_folder;   // where it looked for the file

// The names the folder holds that match "Language.lng" in any letter case.
std::vector<std::wstring> matches(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + FileName).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

std::optional<Profile> readProfile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string bytes;
    char buffer[8192];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return Profile::parse(bytes);
}

std::vector<std::wstring> splitParts(const std::wstring& value) {
    std::vector<std::wstring> parts;
    if (value.empty())
        return parts; // an empty value has no parts at all
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = value.find(L',', start);
        parts.push_back(value.substr(start, comma == std::wstring::npos ? comma : comma - start));
        if (comma == std::wstring::npos)
            return parts;
        start = comma + 1;
    }
}

} // namespace

bool LanguageFileExists(const std::wstring& folder) {
    for (const std::wstring& name : matches(folder))
        if (name == FileName)
            return true;
    return false;
}

bool languageFilePresent(const std::wstring& folder) {
    return !matches(folder).empty();
}

std::wstring languageFromThreadLocale() {
    return wide(folio::languageNameFromLcid(static_cast<int>(GetThreadLocale() & 0xFFFF)));
}

void ApplyLanguage(const std::wstring& folder, const std::wstring& section,
                   const std::vector<LanguageTarget>& targets) {
    const bool exists = LanguageFileExists(folder);
    const std::optional<Profile> profile =
        exists ? readProfile(folder + FileName) : std::optional<Profile>();
    const std::string sectionText = utf8(section);
    auto entry = [&](const LanguageTarget& t) -> std::wstring {
        if (!exists)
            return L"Unknow";
        const std::string name = utf8(t.name);
        if (!profile)
            return t.name;
        // "<window>.<control>" wins, so that windows whose controls share a name can differ.
        const std::string qualified = utf8(t.window) + "." + name;
        if (!t.window.empty() && profile->contains(sectionText, qualified))
            return wide(profile->get(sectionText, qualified, qualified, BufferSize));
        return wide(profile->get(sectionText, name, name, BufferSize));
    };
    for (const LanguageTarget& t : targets) {
        const std::wstring value = entry(t);
        if (t.kind == LanguageTarget::Kind::Caption) {
            if (t.setCaption)
                t.setCaption(value);
            continue;
        }
        const std::vector<std::wstring> parts = splitParts(value);
        for (std::size_t n = 0; n < parts.size() && static_cast<int>(n) < t.parts; ++n)
            if (t.setPart)
                t.setPart(static_cast<int>(n) + 1, parts[n]);
    }
}

std::wstring SelectLanguageFromLocale(const std::wstring& folder,
                                      const std::vector<LanguageTarget>& targets) {
    const std::wstring language = languageFromThreadLocale();
    g_language = language;
    g_folder = folder;
    if (languageFilePresent(folder))
        ApplyLanguage(folder, language, targets);
    return language;
}

void ApplyCurrentLanguage(const std::vector<LanguageTarget>& targets) {
    if (!g_language.empty() && languageFilePresent(g_folder))
        ApplyLanguage(g_folder, g_language, targets);
}

LanguageTarget captionTarget(HWND dialog, const wchar_t* window, const wchar_t* name, int id) {
    LanguageTarget t;
    t.window = window;
    t.name = name;
    t.setCaption = [dialog, id](const std::wstring& text) {
        SetDlgItemTextW(dialog, id, text.c_str());
    };
    return t;
}

reader::ReaderTextLookup readerTexts() {
    return [](const reader::ReaderText& text) -> std::string {
        if (g_language.empty() || !LanguageFileExists(g_folder))
            return text.fallback;
        const std::optional<Profile> profile = readProfile(g_folder + FileName);
        if (!profile)
            return text.fallback;
        const std::string value = profile->get(utf8(g_language), text.key, "", BufferSize);
        return value.empty() ? std::string(text.fallback) : value;
    };
}

} // namespace folio::win32
