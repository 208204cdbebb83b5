// Fuzzes the descriptor and the Book lookup: a descriptor splits into fields that join back to
// the same text, and every page a book lists is found again by its name, in any case.
//
// Input: a page name, a descriptor text, then the Book image.
#include "core/book.h"
#include "core/fileio.h"
#include "core/text.h"
#include "tests/fuzz/fuzz_input.h"

using namespace folio;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::InputReader in(data, size);
    const std::string name(in.text(32));
    const std::string descriptor(in.text(256));
    const auto file = in.rest();

    const auto fields = book::splitDescriptor(descriptor);
    if (fields.size() == 9) {
        const book::DescriptorFieldsIn f{fields[0], fields[1], fields[2], fields[3], fields[4],
                                         fields[5], fields[6], fields[7], fields[8]};
        if (book::descriptorText(f) != descriptor) {
            fuzz::broken("descriptor fields do not join back to the text");
        }
    }
    (void)book::readerAddresses(descriptor, "RES:///books/a.exe/");
    (void)book::AnsiByteLength(descriptor);
    (void)book::pageResourceName(name);

    const std::string path = fuzz::scratchFolder() + "/book.exe";
    if (!writeFileAtomic(path, file)) {
        fuzz::broken("cannot write the scratch file");
    }
    auto opened = book::BookImage::open(path);
    if (!opened) {
        return 0;
    }
    const book::BookImage& b = **opened;
    (void)b.descriptor();
    (void)b.find(name);
    (void)b.find(pe::ResourceId::parse(name), name);
    int checked = 0;
    for (const std::string& page : b.pageNames()) {
        if (++checked > 64) {
            break;
        }
        // Page names are stored upper-cased; the reader asks in whatever case a link uses.
        for (const std::string& asked : {page, toUpperUnicode(page)}) {
            if (!b.find(asked)) {
                fuzz::broken("listed page not found by its name: " + asked);
            }
        }
    }
    return 0;
}
