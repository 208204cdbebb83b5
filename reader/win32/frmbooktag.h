// The bookmarks window of the Windows reader: the named page addresses kept in BookTag.ini
// beside the book.
//
// How to call it (from the reading window's bookmark button):
//     folio::win32::ShowFrmBookTag(hwnd, programFolder(), webBookLocation,
//                                  [&](const std::wstring& address) { webBook->navigate(address);
//                                  });
// It is modal and returns when the window closes; the list is written back to BookTag.ini
// whichever way it closed. A double-clicked bookmark calls `navigate` before the window closes.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace folio::win32 {

// Control ids (the names are the window's control names).
namespace booktag {
inline constexpr int Text1 = 101;    // name for the next bookmark
inline constexpr int List1 = 102;    // bookmark names
inline constexpr int Text2 = 103;    // address for the next bookmark, out of sight
inline constexpr int List2 = 104;    // bookmark addresses, out of sight
inline constexpr int Command1 = 105; // 取消
inline constexpr int Command2 = 106; // 添加
inline constexpr int Command3 = 107; // 删除
} // namespace booktag

void ShowFrmBookTag(HWND owner, const std::wstring& programFolder,
                    const std::wstring& currentAddress,
                    const std::function<void(const std::wstring&)>& navigate);

} // namespace folio::win32
