// The reading window's keys on Windows (see keys.h).
#include "reader/win32/keys.h"

#include <algorithm>
#include <iterator>
#include <string_view>

namespace folio::win32 {
namespace {

// The virtual keys a key name of the portable chord text stands for, 0 ended.
struct KeyName {
    std::string_view name;
    WORD keys[3];
};
constexpr KeyName KeyNames[] = {
    {"Left", {VK_LEFT, 0}},
    {"Right", {VK_RIGHT, 0}},
    {"Up", {VK_UP, 0}},
    {"Down", {VK_DOWN, 0}},
    {"PgUp", {VK_PRIOR, 0}},
    {"PgDown", {VK_NEXT, 0}},
    {"Home", {VK_HOME, 0}},
    {"End", {VK_END, 0}},
    {"Space", {VK_SPACE, 0}},
    {"Backspace", {VK_BACK, 0}},
    {"Esc", {VK_ESCAPE, 0}},
    {"Return", {VK_RETURN, 0}},
    {"+", {VK_OEM_PLUS, VK_ADD, 0}},
    {"=", {VK_OEM_PLUS, 0}},
    {"-", {VK_OEM_MINUS, VK_SUBTRACT, 0}},
};

} // namespace

std::vector<ACCEL> acceleratorEntries(folio::reader::Variant variant) {
    std::vector<ACCEL> entries;
    for (const folio::reader::KeyBinding& binding : folio::reader::keyMap(variant)) {
        std::string_view chord = binding.keys;
        BYTE flags = FVIRTKEY;
        // The modifiers come first, each with its "+"; what is left is the key ("+" itself in
        // "Ctrl++").
        for (bool more = true; more;) {
            more = false;
            for (auto [prefix, flag] : {std::pair<std::string_view, BYTE>{"Ctrl+", FCONTROL},
                                        {"Shift+", FSHIFT},
                                        {"Alt+", FALT}}) {
                if (chord.size() > prefix.size() && chord.starts_with(prefix)) {
                    flags |= flag;
                    chord.remove_prefix(prefix.size());
                    more = true;
                }
            }
        }
        WORD keys[3] = {0, 0, 0};
        if (chord.size() == 1 &&
            ((chord[0] >= 'A' && chord[0] <= 'Z') || (chord[0] >= '0' && chord[0] <= '9'))) {
            keys[0] = static_cast<WORD>(chord[0]);
        } else if (chord.size() >= 2 && chord[0] == 'F' && chord.size() <= 3) {
            const int n =
                chord.size() == 2 ? chord[1] - '0' : (chord[1] - '0') * 10 + chord[2] - '0';
            if (n >= 1 && n <= 24)
                keys[0] = static_cast<WORD>(VK_F1 + n - 1);
        } else {
            for (const KeyName& k : KeyNames)
                if (k.name == chord)
                    std::copy(std::begin(k.keys), std::end(k.keys), keys);
        }
        const WORD command = static_cast<WORD>(AcceleratorBase + static_cast<int>(binding.command));
        for (WORD key : keys) {
            if (!key)
                break;
            entries.push_back(ACCEL{flags, key, command});
            // "+" is a shifted key on most keyboards: Ctrl++ is typed with Shift as well.
            if (key == VK_OEM_PLUS && chord == "+" && !(flags & FSHIFT))
                entries.push_back(ACCEL{static_cast<BYTE>(flags | FSHIFT), key, command});
        }
    }
    return entries;
}

std::optional<folio::reader::Command> acceleratorCommand(int id) {
    // Only a command that has a key: the ids are the table's own.
    for (const folio::reader::KeyBinding& binding :
         folio::reader::keyMap(folio::reader::Variant::Page))
        if (AcceleratorBase + static_cast<int>(binding.command) == id)
            return binding.command;
    return std::nullopt;
}

} // namespace folio::win32
