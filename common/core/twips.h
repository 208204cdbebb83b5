// Twips, the unit every window size and position is given in, and pixels: the one conversion
// the maker and both readers use.
#pragma once

namespace folio {

inline constexpr int TwipsPerInch = 1440;
// The resolution a face counts pixels in when it knows no other: Qt's device-independent
// pixels are 96 to the logical inch whatever the display's scaling, so 15 twips make a pixel.
inline constexpr int StandardDpi = 96;

// Rounded to the nearest pixel, halves away from zero, so that a 10-twip pane stays visible
// as a 1-pixel line. A `dpi` of 0 or less counts as StandardDpi.
int twipsToPixels(int twips, int dpi = StandardDpi);
int pixelsToTwips(int pixels, int dpi = StandardDpi);

} // namespace folio
