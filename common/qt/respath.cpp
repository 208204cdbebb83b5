// Splitting a res: path (see respath.h).
#include "qt/respath.h"

#include "core/book.h"

namespace folio::qt {

std::optional<ResTarget> parseResPath(std::string_view path, std::string_view bookPrefixPath) {
    if (bookPrefixPath.empty() || !path.starts_with(bookPrefixPath)) {
        return std::nullopt;
    }
    const std::string_view rest = path.substr(bookPrefixPath.size());
    if (rest.empty()) {
        return std::nullopt;
    }
    const auto slash = rest.find('/');
    if (slash == std::string_view::npos) {
        return ResTarget{pe::ResourceId::fromId(book::PageType), std::string(rest)};
    }
    const std::string_view type = rest.substr(0, slash);
    const std::string_view name = rest.substr(slash + 1);
    // Pages carry no folders: a deeper path names nothing in the book.
    if (type.empty() || name.empty() || name.find('/') != std::string_view::npos) {
        return std::nullopt;
    }
    return ResTarget{pe::ResourceId::parse(type), std::string(name)};
}

} // namespace folio::qt
