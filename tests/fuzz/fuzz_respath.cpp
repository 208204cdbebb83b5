// Fuzzes the res: path splitter: whatever a page asks for, a target is only ever a name inside
// the open book's own prefix, never a path to anything else.
#include "qt/respath.h"
#include "tests/fuzz/fuzz_input.h"

using namespace folio;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::InputReader in(data, size);
    const std::string_view prefix =
        in.byte() & 1 ? std::string_view("/books/my book.exe/") : in.text(32);
    const auto rest = in.rest();
    const std::string_view path(reinterpret_cast<const char*>(rest.data()), rest.size());
    const auto target = qt::parseResPath(path, prefix);
    if (!target) {
        return 0;
    }
    if (prefix.empty() || !path.starts_with(prefix)) {
        fuzz::broken("a target outside the book's prefix");
    }
    if (target->name.empty() || target->name.find('/') != std::string::npos) {
        fuzz::broken("a target name that is empty or holds a folder: " + target->name);
    }
    if (!path.ends_with(target->name)) {
        fuzz::broken("a target name that is not the end of the path");
    }
    return 0;
}
