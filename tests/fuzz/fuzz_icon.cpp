// Fuzzes the icon step: an .ico and an executable, both from the input. The step either gives
// the executable the icon, keeping every other resource as it was, or fails and leaves the
// executable untouched.
//
// Input: the .ico's length (2 bytes), the .ico, then the executable.
#include "core/fileio.h"
#include "core/observer.h"
#include "core/pe.h"
#include "maker/compiler/icon.h"
#include "tests/fuzz/fuzz_input.h"

#include <algorithm>

using namespace folio;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::InputReader in(data, size);
    const std::string_view ico = in.text(0xFFFF);
    const auto exe = in.rest();
    const std::string icoPath = fuzz::scratchFolder() + "/icon.ico";
    const std::string exePath = fuzz::scratchFolder() + "/book.exe";
    if (!writeFileAtomic(icoPath, std::string(ico)) || !writeFileAtomic(exePath, exe)) {
        fuzz::broken("cannot write the scratch files");
    }

    (void)icon::LoadIconFile(icoPath);

    SilentObserver quiet;
    const auto done = icon::ReplaceIcon(icoPath, exePath, quiet);
    auto after = readFileBytes(exePath);
    if (!after) {
        fuzz::broken("the executable vanished: " + after.error().message);
    }
    if (!done) {
        if (!std::equal(after->begin(), after->end(), exe.begin(), exe.end())) {
            fuzz::broken("a failed icon step changed the executable: " + done.error().message);
        }
        return 0;
    }
    auto before = pe::PeImage::parse(exe, exePath);
    if (!before) {
        return 0; // the patch reads only the headers it needs; a stricter reader may refuse
    }
    auto image = pe::PeImage::parse(*after, exePath);
    if (!image) {
        fuzz::broken("the patched executable no longer reads: " + image.error().message);
    }
    // The patch may write the icon images, the icon groups, their data entries and the
    // checksum; a fuzzed tree can let another resource share those bytes, and only a
    // resource that shares none must come through unchanged.
    auto isIcon = [](const pe::Resource& r) {
        return !r.type.isString && (r.type.id == pe::RT_ICON || r.type.id == pe::RT_GROUP_ICON);
    };
    auto overlaps = [](std::uint64_t a, std::uint64_t an, std::uint64_t b, std::uint64_t bn) {
        return a < b + bn && b < a + an;
    };
    for (const pe::Resource& r : before->resources()) {
        // Of one (type, name, language) stored twice, readers see only the first.
        if (isIcon(r) || r.size == 0 || before->find(r.type, r.name, r.language) != &r) {
            continue;
        }
        bool shared = overlaps(r.fileOffset, r.size, before->checksumOffset(), 4);
        for (const pe::Resource& i : before->resources()) {
            shared =
                shared || (isIcon(i) && (overlaps(r.fileOffset, r.size, i.fileOffset, i.size) ||
                                         overlaps(r.fileOffset, r.size, i.dataEntryOffset, 16)));
        }
        if (shared) {
            continue;
        }
        const pe::Resource* now = image->find(r.type, r.name, r.language);
        if (now == nullptr) {
            fuzz::broken("the icon step lost " + r.type.toString() + "/" + r.name.toString());
        }
        const auto a = before->resourceData(r);
        const auto b = image->resourceData(*now);
        if (!std::equal(a.begin(), a.end(), b.begin(), b.end())) {
            fuzz::broken("the icon step changed " + r.type.toString() + "/" + r.name.toString());
        }
    }
    return 0;
}
