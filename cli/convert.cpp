// folio convert commands.
#include "console.h"

namespace folio::cli {

int txt2htmlCommand(const std::vector<std::string>&) {
    return usageError("not built yet");
}

int html2txtCommand(const std::vector<std::string>&) {
    return usageError("not built yet");
}

int renameCommand(const std::vector<std::string>&) {
    return usageError("not built yet");
}

} // namespace folio::cli
