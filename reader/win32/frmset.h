// The voice settings window of the Windows reader: edits the speech settings on its own voice
// object and stores them in Voice.ini beside the book.
//
// How to call it (from the reading window's settings button):
//     folio::win32::ShowFrmSet(hwnd, programFolder(),
//                              [&](const folio::reader::VoiceSettings& s) { /* select s.voice in
//                              ComVoice, set Rate, Volume and Check1 through the controls */ });
// It is modal. OK writes Voice.ini and then calls `applied`; cancel writes nothing. The folder
// is stored but the reading window keeps its own until the next start. A machine without the
// speech component or without voices gets a message and the window still opens, so the
// recorded-voice settings can be edited.
#pragma once

#include "reader/core/voice.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace folio::win32 {

namespace voiceset {
inline constexpr int ComVoice = 201;
inline constexpr int ComOutput = 202;
inline constexpr int ComFormat = 203;
inline constexpr int Rate = 204;
inline constexpr int Volume = 205;
inline constexpr int Text1 = 206;    // test text
inline constexpr int Command3 = 207; // 测试发音 (synthesised voice)
inline constexpr int Check1 = 208;
inline constexpr int Text2 = 209;    // recorded-voice folder
inline constexpr int Command4 = 210; // 浏览
inline constexpr int Text3 = 211;
inline constexpr int Command5 = 212; // 测试发音 (recorded voice: no action)
inline constexpr int Command1 = 213; // 确定
inline constexpr int Command2 = 214; // 取消
inline constexpr int Frame1 = 215;
inline constexpr int Frame2 = 216;
inline constexpr int Label1 = 217;  // 语音：
inline constexpr int Label10 = 218; // 输出：
inline constexpr int Label11 = 219; // 格式：
inline constexpr int Label4 = 220;  // 语速：
inline constexpr int Label3 = 221;  // 音量：
inline constexpr int Label12 = 222; // 路径：
} // namespace voiceset

using VoiceApplied = std::function<void(const folio::reader::VoiceSettings&)>;

// Creates the window's own voice with CreateSapiEngine. True when OK saved the settings.
bool ShowFrmSet(HWND owner, const std::wstring& programFolder, const VoiceApplied& applied);

// The same on a given engine (null: no speech component).
bool ShowFrmSet(HWND owner, const std::wstring& programFolder, const VoiceApplied& applied,
                std::unique_ptr<folio::reader::SpeechEngine> engine, const std::wstring& why);

} // namespace folio::win32
