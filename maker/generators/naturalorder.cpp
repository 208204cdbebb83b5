// Natural order of names: numbers by value, Chinese numerals too, Latin letters without case.
#include "maker/generators/naturalorder.h"

#include "core/text.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace folio::generators {

namespace {

// A name as the comparison sees it: numbers (decimal digits without leading zeros) and single
// characters (case folded).
struct Token {
    bool number = false;
    char32_t ch = 0;
    std::string digits;
};
using Key = std::vector<Token>;

// The next code point of UTF-8 text; a byte that starts no valid sequence stands for itself
// (mapped past the Unicode range, so that it never equals a real character).
char32_t nextCodePoint(std::string_view s, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b = byte(i);
    int length = b < 0x80           ? 1
                 : (b >> 5) == 0x6  ? 2
                 : (b >> 4) == 0xE  ? 3
                 : (b >> 3) == 0x1E ? 4
                                    : 0;
    if (length == 0 || i + static_cast<std::size_t>(length) > s.size()) {
        ++i;
        return 0x110000 + b;
    }
    char32_t cp = length == 1 ? b : b & (0xFF >> (length + 1));
    for (int k = 1; k < length; ++k) {
        const unsigned char c = byte(i + static_cast<std::size_t>(k));
        if ((c & 0xC0) != 0x80) {
            ++i;
            return 0x110000 + b;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    i += static_cast<std::size_t>(length);
    return cp;
}

int asciiDigit(char32_t c) {
    if (c >= U'0' && c <= U'9')
        return static_cast<int>(c - U'0');
    if (c >= U'０' && c <= U'９')
        return static_cast<int>(c - U'０');
    return -1;
}

// A Chinese numeral: a digit 0 .. 9, or a unit (10, 100, 1000, 10^4, 10^8) as a negative
// power of ten; 100 when the character is none.
int chineseNumeral(char32_t c) {
    switch (c) {
    case U'零':
    case U'〇':
        return 0;
    case U'一':
    case U'壹':
        return 1;
    case U'二':
    case U'两':
    case U'兩':
    case U'贰':
    case U'貳':
        return 2;
    case U'三':
    case U'叁':
        return 3;
    case U'四':
    case U'肆':
        return 4;
    case U'五':
    case U'伍':
        return 5;
    case U'六':
    case U'陆':
    case U'陸':
        return 6;
    case U'七':
    case U'柒':
        return 7;
    case U'八':
    case U'捌':
        return 8;
    case U'九':
    case U'玖':
        return 9;
    case U'十':
    case U'拾':
        return -1;
    case U'百':
    case U'佰':
        return -2;
    case U'千':
    case U'仟':
        return -3;
    case U'万':
    case U'萬':
        return -4;
    case U'亿':
    case U'億':
        return -8;
    default:
        return 100;
    }
}

using Value = std::uint64_t;
constexpr Value Huge = std::numeric_limits<Value>::max();

Value add(Value a, Value b) {
    return a > Huge - b ? Huge : a + b;
}

Value times(Value a, Value b) {
    return b != 0 && a > Huge / b ? Huge : a * b;
}

Value powerOfTen(int n) {
    Value v = 1;
    for (int i = 0; i < n; ++i)
        v *= 10;
    return v;
}

std::string withoutLeadingZeros(std::string digits) {
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? "0" : digits.substr(first);
}

// The value of a run of Chinese numerals: written with units (四十一, 一百零五, 两万) or digit by
// digit (二〇二四).
std::string chineseValue(const std::vector<int>& run) {
    if (std::none_of(run.begin(), run.end(), [](int n) { return n < 0; })) {
        std::string digits;
        for (int n : run)
            digits += static_cast<char>('0' + n);
        return withoutLeadingZeros(std::move(digits));
    }
    Value total = 0, section = 0, digit = 0;
    bool haveDigit = false;
    for (int n : run) {
        if (n >= 0) {
            digit = static_cast<Value>(n);
            haveDigit = n > 0;
            continue;
        }
        const Value unit = powerOfTen(-n);
        if (n >= -3) {
            // 十二 is twelve: a unit with no digit before it counts once.
            section = add(section, times(haveDigit ? digit : 1, unit));
        } else {
            section = add(section, digit);
            if (section == 0)
                section = 1;
            total = n == -4 ? add(total, times(section, unit)) : times(add(total, section), unit);
            section = 0;
        }
        digit = 0;
        haveDigit = false;
    }
    return std::to_string(add(total, add(section, digit)));
}

Key keyOf(std::string_view name) {
    Key key;
    std::size_t i = 0;
    while (i < name.size()) {
        std::size_t next = i;
        const char32_t c = nextCodePoint(name, next);
        if (asciiDigit(c) >= 0) {
            std::string digits;
            while (i < name.size()) {
                std::size_t after = i;
                const int d = asciiDigit(nextCodePoint(name, after));
                if (d < 0)
                    break;
                digits += static_cast<char>('0' + d);
                i = after;
            }
            key.push_back({true, 0, withoutLeadingZeros(std::move(digits))});
            continue;
        }
        if (chineseNumeral(c) != 100) {
            std::vector<int> run;
            while (i < name.size()) {
                std::size_t after = i;
                const int n = chineseNumeral(nextCodePoint(name, after));
                if (n == 100)
                    break;
                run.push_back(n);
                i = after;
            }
            key.push_back({true, 0, chineseValue(run)});
            continue;
        }
        const char32_t folded =
            c >= U'A' && c <= U'Z' ? c - U'A' + U'a' : (c < 0x80 ? c : toUpperChar(c));
        key.push_back({false, folded, {}});
        i = next;
    }
    return key;
}

// <0, 0, >0 as a is before, with, after b.
int compareKeys(const Key& a, const Key& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const Token& x = a[i];
        const Token& y = b[i];
        // A number stands where its first digit would: after "." and "-", before letters.
        if (x.number != y.number)
            return (x.number ? U'0' < y.ch : x.ch < U'0') ? -1 : 1;
        if (x.number) {
            if (x.digits.size() != y.digits.size())
                return x.digits.size() < y.digits.size() ? -1 : 1;
            if (const int c = x.digits.compare(y.digits); c != 0)
                return c;
        } else if (x.ch != y.ch) {
            return x.ch < y.ch ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

} // namespace

bool naturalLess(std::string_view a, std::string_view b) {
    const int c = compareKeys(keyOf(a), keyOf(b));
    return c != 0 ? c < 0 : a < b;
}

void sortNaturally(std::vector<std::string>& names) {
    // Each name is cut into its key once, not once per comparison: the explorer sorts folders
    // of ten thousand pages.
    std::vector<std::pair<Key, std::string>> keyed;
    keyed.reserve(names.size());
    for (std::string& name : names) {
        Key key = keyOf(name);
        keyed.emplace_back(std::move(key), std::move(name));
    }
    std::sort(keyed.begin(), keyed.end(), [](const auto& x, const auto& y) {
        const int c = compareKeys(x.first, y.first);
        return c != 0 ? c < 0 : x.second < y.second;
    });
    for (std::size_t i = 0; i < names.size(); ++i)
        names[i] = std::move(keyed[i].second);
}

} // namespace folio::generators
