// Fuzzes the settings-file reader: any text reads as sections and keys, every listed key is
// found again, and no value comes back longer than the buffer the caller gave.
#include "core/profile.h"
#include "core/text.h"
#include "tests/fuzz/fuzz_input.h"

using namespace folio;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::InputReader in(data, size);
    const std::size_t buffer = 1 + in.byte(); // 1..256, as callers pass buffer sizes
    const auto rest = in.rest();
    const Profile p =
        Profile::parse(std::string_view(reinterpret_cast<const char*>(rest.data()), rest.size()));
    int asked = 0;
    for (const std::string& section : p.sections()) {
        for (const std::string& key : p.keys(section)) {
            if (++asked > 8) {
                return 0;
            }
            if (!p.contains(section, key) && !key.empty()) {
                fuzz::broken("listed key not found: [" + section + "] " + key);
            }
            const std::string value = p.get(section, key, "default", buffer);
            if (toAnsi(value).size() > buffer - 1) {
                fuzz::broken("value longer than the buffer: " + std::to_string(value.size()));
            }
        }
    }
    (void)p.get("missing section", "key", " fallback  ", buffer);
    return 0;
}
