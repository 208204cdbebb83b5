// The system's speech synthesiser (SAPI 5 over COM) as the readers' speech engine: installed
// voices and audio outputs by their descriptions, the audio format, rate, volume and
// asynchronous speaking.
//
// How to call it (on a thread where COM is initialised, e.g. after OleInitialize):
//     std::wstring why;
//     auto engine = folio::win32::CreateSapiEngine(&why); // null when SAPI cannot be started
//     if (engine) folio::reader::LoadVoice(*engine, controls, folder);
#pragma once

#include "reader/core/voice.h"

#include <memory>
#include <string>

namespace folio::win32 {

// A new voice object, or null (with the reason in `why` when given) when the speech
// component cannot be created.
std::unique_ptr<folio::reader::SpeechEngine> CreateSapiEngine(std::wstring* why = nullptr);

// The wave format of a SAPI audio format type (4..39: 8 kHz 8-bit mono .. 48 kHz 16-bit
// stereo); false outside that range.
struct WaveShape {
    unsigned long samplesPerSecond = 0;
    unsigned short bitsPerSample = 0;
    unsigned short channels = 0;
};
bool waveShapeOfFormatType(int type, WaveShape& shape);

} // namespace folio::win32
