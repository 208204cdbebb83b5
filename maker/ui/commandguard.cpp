// One command at a time (see commandguard.h).
#include "maker/ui/commandguard.h"

#include <QApplication>

namespace folio::maker {

bool CommandGuard::begin() {
    if (m_busy) {
        QApplication::beep();
        refuse();
        return false;
    }
    m_busy = true;
    return true;
}

void CommandGuard::refuse() {
    ++m_refused;
    emit commandRefused();
}

} // namespace folio::maker
