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

#include <windows.h>

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

// Reading one sentence after another on SAPI's own events: each sentence is a stream of its
// own, and SAPI tells the window when a stream has been spoken to its end.
class SentenceEvents {
  public:
    virtual ~SentenceEvents() = default;
    // `window` is sent `message` whenever SAPI has an event; false when SAPI refuses.
    virtual bool watch(HWND window, unsigned message) = 0;
    // Purges what was being spoken and speaks `text`; its stream number, 0 when refused.
    virtual unsigned long speakSentence(const std::string& text) = 0;
    // On the message: whether stream `stream` has ended since the last call.
    virtual bool ended(unsigned long stream) = 0;
};
// The engine's sentence events; null for an engine that is not SAPI's.
SentenceEvents* SentenceEventsOf(folio::reader::SpeechEngine* engine);

} // namespace folio::win32
