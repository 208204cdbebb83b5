// The compiler's icon step: gives the finished book the chosen icon.
#include "maker/compiler/compilebook.h"
#include "maker/compiler/icon.h"

namespace folio::compiler {

IconStep defaultIconStep() {
    return [](const std::string& iconPath, const std::string& bookPath, CompileObserver& observer) {
        return icon::ReplaceIcon(iconPath, bookPath, observer);
    };
}

} // namespace folio::compiler
