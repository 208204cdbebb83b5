// Descriptor splitting and the res: address prefix of the Windows reader. Standard C++ apart
// from the code page conversion, so the native tests can hold it against the core's rules.
#include "reader/win32/descriptor.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace folio::win32 {

std::vector<std::wstring> splitFields(const std::wstring& text) {
    std::vector<std::wstring> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t colon = text.find(L':', start);
        if (colon == std::wstring::npos) {
            fields.push_back(text.substr(start));
            return fields;
        }
        fields.push_back(text.substr(start, colon - start));
        start = colon + 1;
    }
}

std::wstring resourcePrefix(const std::wstring& programPath) {
    const std::size_t slash = programPath.find_last_of(L"\\/");
    std::wstring folder =
        slash == std::wstring::npos ? std::wstring() : programPath.substr(0, slash);
    std::wstring file = slash == std::wstring::npos ? programPath : programPath.substr(slash + 1);
    if (folder.empty() || folder.back() != L'\\')
        folder += L'\\';
    const std::size_t dot = file.rfind(L'.');
    if (dot != std::wstring::npos)
        file.resize(dot);
    return L"RES://" + folder + file + L".exe/";
}

std::optional<BookStart> bookStart(const std::wstring& descriptor, const std::wstring& prefix) {
    const std::vector<std::wstring> f = splitFields(descriptor);
    if (f.size() < 4)
        return std::nullopt;
    return BookStart{L"folioPage-" + f[0] + L"-" + f[1], prefix + f[3], prefix + f[2]};
}

bool contentsLinkGoesToPagePane(const std::wstring& url) {
    std::wstring upper = url;
    for (wchar_t& c : upper)
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    return !upper.ends_with(L"TREE.HTML") && !upper.starts_with(L"JAVASCRIPT") &&
           upper != L"ABOUT:BLANK";
}

#ifdef _WIN32
std::wstring fromAnsi(const std::string& bytes) {
    if (bytes.empty())
        return {};
    const int n =
        MultiByteToWideChar(936, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(936, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}
#endif

} // namespace folio::win32
