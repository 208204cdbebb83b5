// folio contents commands.
#include "console.h"

namespace folio::cli {

int contentsCommand(const std::vector<std::string>&) {
    return usageError("not built yet");
}

int generateCommand(const std::vector<std::string>&) {
    return usageError("not built yet");
}

} // namespace folio::cli
