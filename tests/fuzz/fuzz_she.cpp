// Fuzzes the skin-file parser: any text is a skin or a refusal with a reason.
#include "skin/she.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string why;
    const auto skin =
        folio::skin::parseSkin(std::string_view(reinterpret_cast<const char*>(data), size), &why);
    if (!skin && why.empty()) {
        folio::fuzz::broken("a refused skin without a reason");
    }
    return 0;
}
