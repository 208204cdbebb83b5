// Helpers of the companion windows (see companionrules.h).
#include "reader/ui/companionrules.h"

#include "reader/ui/readerrules.h"

#include <QFileDialog>
#include <QWidget>

#include <cmath>
#include <limits>

namespace folio::readerui {

void placeTwips(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                        twipsToPixels(height));
}

void fixClientTwips(QWidget* window, int width, int height) {
    window->setFixedSize(twipsToPixels(width), twipsToPixels(height));
}

FolderChooser defaultFolderChooser() {
    return [](QWidget* parent, const QString& title, const QString& startFolder) {
        return QFileDialog::getExistingDirectory(parent, title, startFolder,
                                                 QFileDialog::ShowDirsOnly);
    };
}

std::int32_t roundToWholeNumber(double value) {
    if (std::isnan(value))
        return 0;
    constexpr double low = std::numeric_limits<std::int32_t>::min();
    constexpr double high = std::numeric_limits<std::int32_t>::max();
    if (value <= low)
        return std::numeric_limits<std::int32_t>::min();
    if (value >= high)
        return std::numeric_limits<std::int32_t>::max();
    // std::nearbyint follows the default rounding mode, which rounds halves to even.
    return static_cast<std::int32_t>(std::nearbyint(value));
}

bool advertTimeIsUp(std::int64_t elapsedMilliseconds, double showTime) {
    constexpr double msPerDay = 24.0 * 60 * 60 * 1000;
    const double elapsedDays = static_cast<double>(elapsedMilliseconds) / msPerDay;
    return elapsedDays > static_cast<double>(roundToWholeNumber(showTime));
}

} // namespace folio::readerui
