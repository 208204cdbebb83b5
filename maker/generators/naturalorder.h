// The order in which the workbench lists names and adds pages: numbers inside names compare
// by their value, so that chapter 9 comes before chapter 10 however it is written.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace folio::generators {

// Names cut into runs: a run of ASCII or full-width digits, or of Chinese numerals
// (一 … 十 百 千 万, 零 〇 两 and the financial forms 壹 … 拾 佰 仟), is a number and compares
// by value with any other number (第九章 < 第十章 < 第四十一章, 2.html < 10.html) and stands
// where a digit would among other characters (b.html < b2.html < bc.html); other text compares
// by character without regard to Latin case. Names equal by these rules keep a fixed order by their
// bytes, so the order is total.
bool naturalLess(std::string_view a, std::string_view b);

// Sorts names by naturalLess.
void sortNaturally(std::vector<std::string>& names);

} // namespace folio::generators
