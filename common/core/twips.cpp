// Twips against pixels (see twips.h).
#include "core/twips.h"

namespace folio {

namespace {

// a * b / c rounded to the nearest whole number, halves away from zero, without overflowing.
int scaled(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : -((-product + half) / c));
}

int usable(int dpi) {
    return dpi > 0 ? dpi : StandardDpi;
}

} // namespace

int twipsToPixels(int twips, int dpi) {
    return scaled(twips, usable(dpi), TwipsPerInch);
}

int pixelsToTwips(int pixels, int dpi) {
    return scaled(pixels, TwipsPerInch, usable(dpi));
}

} // namespace folio
