// Fuzzes the link extraction of the fetch pass: any markup and base address give three lists
// of one length, and the keyword filter keeps only links it was given.
#include "fetch/links.h"
#include "tests/fuzz/fuzz_input.h"

using namespace folio;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::InputReader in(data, size);
    const std::string base(in.text(64));
    const std::string keywords(in.text(16));
    const auto rest = in.rest();
    const std::string html(reinterpret_cast<const char*>(rest.data()), rest.size());

    const fetch::LinkLists links = fetch::extractLinks(html, base);
    if (links.texts.size() != links.targets.size() || links.texts.size() != links.htmls.size()) {
        fuzz::broken("link lists of different lengths");
    }
    const fetch::LinkLists kept = fetch::filterLinksByKeywords(links, keywords);
    if (kept.texts.size() != kept.targets.size() || kept.texts.size() != kept.htmls.size()) {
        fuzz::broken("filtered link lists of different lengths");
    }
    (void)fetch::resolveUrl(base, html.substr(0, 256));
    return 0;
}
