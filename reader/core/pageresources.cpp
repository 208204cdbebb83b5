// The online reader's list of what a page needs (readerrules.h), apart from the other rules:
// its regular expressions bring the standard library's locale code with them, which the
// Windows reader template, never asked for it, must not carry.
#include "reader/core/readerrules.h"

#include <algorithm>
#include <regex>

namespace folio::reader {

std::vector<std::string> pageResources(std::string_view html) {
    static const std::regex element(R"(<(link|img|script|embed|source|audio|video)\b[^>]*>)",
                                    std::regex::icase);
    static const std::regex attribute(R"re(\b(href|src)\s*=\s*("([^"]*)"|'([^']*)'|([^\s>]+)))re",
                                      std::regex::icase);
    static const std::regex scheme(R"(^[A-Za-z][A-Za-z0-9+.-]*:)");
    std::vector<std::string> found;
    const std::string text(html);
    for (auto e = std::sregex_iterator(text.begin(), text.end(), element);
         e != std::sregex_iterator(); ++e) {
        const std::string tag = e->str();
        for (auto a = std::sregex_iterator(tag.begin(), tag.end(), attribute);
             a != std::sregex_iterator(); ++a) {
            std::string value = (*a)[3].matched   ? (*a)[3].str()
                                : (*a)[4].matched ? (*a)[4].str()
                                                  : (*a)[5].str();
            value = value.substr(0, value.find_first_of("?#"));
            if (value.empty() || value[0] == '/' || value[0] == '\\' ||
                std::regex_search(value, scheme)) {
                continue;
            }
            if (std::find(found.begin(), found.end(), value) == found.end())
                found.push_back(value);
        }
    }
    return found;
}

} // namespace folio::reader
