// Writing a book's descriptor into an existing Book image: kept apart from the reading of books
// so that a program that only reads them links no resource writer.
#include "core/book.h"

#include "core/pe.h"
#include "core/text.h"

namespace folio::book {

Result<void> writeDescriptor(const std::string& bookPath, const std::string& descriptor) {
    auto length = AnsiByteLength(descriptor);
    if (!length)
        return fail(bookPath + ": " + length.error().message);
    auto updater = pe::ResourceUpdater::begin(bookPath, false);
    FOLIO_TRY(updater);
    const std::string ansi = toAnsi(descriptor);
    updater->update(pe::ResourceId::fromName(DescriptorType), pe::ResourceId::fromId(DescriptorId),
                    ResourceLanguage,
                    Bytes(ansi.begin(), ansi.begin() + static_cast<std::ptrdiff_t>(*length)));
    return updater->end(false);
}

int WriteDescriptor(const std::string& bookPath, const std::string& descriptor, std::string* why) {
    auto written = writeDescriptor(bookPath, descriptor);
    if (!written && why)
        *why = written.error().message;
    return written ? 1 : 0;
}

} // namespace folio::book
