// Fuzzes the PE32 reader: any bytes either parse into an image whose every reported region
// lies inside the file, or are refused with a message naming the file.
#include "core/pe.h"
#include "tests/fuzz/fuzz_input.h"

using namespace folio;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    auto image = pe::PeImage::parse(bytes, "fuzz.exe");
    if (!image) {
        if (image.error().message.find("fuzz.exe") == std::string::npos) {
            fuzz::broken("refusal without the file's name: " + image.error().message);
        }
        return 0;
    }
    for (const pe::Resource& r : image->resources()) {
        const auto d = image->resourceData(r);
        if (r.size != 0 && (d.data() < data || d.data() + d.size() > data + size)) {
            fuzz::broken("resource data outside the file");
        }
        // Every stored resource is found again by its own ids.
        const pe::Resource* found = image->find(r.type, r.name, r.language);
        if (found == nullptr) {
            fuzz::broken("stored resource not found: " + r.type.toString() + "/" +
                         r.name.toString());
        }
        (void)r.type.toString();
    }
    for (const pe::Section& s : image->sections()) {
        (void)image->rvaToOffset(s.virtualAddress);
        (void)image->rvaToOffset(s.virtualAddress + s.virtualSize);
    }
    (void)image->resourceSectionIndex();
    if (image->checksumOffset() + 4 <= size) {
        (void)pe::computeChecksum(bytes, image->checksumOffset());
    }
    return 0;
}
