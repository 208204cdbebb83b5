// Speech settings: Voice.ini, the audio format list, LoadVoice over an abstract speech
// engine, and the recorded-voice file rule.
#pragma once

#include "core/error.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace folio::reader {

// ---- audio formats ------------------------------------------------------------------

struct AudioFormat {
    std::string_view name; // "SAFT8kHz8BitMono" ...
    int type;              // the engine's format type: 4 for the first entry, 39 for the last
};

// The 36 entries of the format list, in list order.
const std::array<AudioFormat, 36>& audioFormats();

// The list index of `name`, or -1.
int audioFormatIndex(std::string_view name);

inline constexpr std::string_view DefaultAudioFormat = "SAFT48kHz16BitMono";

// ---- the speech engine ---------------------------------------------------------------

// What the readers need from a speech engine. Indices are positions in the lists the
// engine returned.
class SpeechEngine {
  public:
    virtual ~SpeechEngine() = default;
    virtual std::vector<std::string> voices() const = 0;  // descriptions, engine order
    virtual std::vector<std::string> outputs() const = 0; // audio outputs, in order
    virtual bool setVoice(int index) = 0;
    virtual bool setOutput(int index) = 0;
    // Applies an audio format type (4..39). An engine that cannot change its format may
    // ignore it; the choice is still kept in the settings.
    virtual bool setFormatType(int type) = 0;
    virtual bool setRate(int rate) = 0;     // -10 .. 10
    virtual bool setVolume(int volume) = 0; // 0 .. 100
    // Purges what is being spoken, then speaks `text` asynchronously (an empty text only
    // stops).
    virtual void speak(const std::string& text) = 0;
    virtual void stop() = 0;
};

// ---- Voice.ini -----------------------------------------------------------------------

inline constexpr std::string_view VoiceIniName = "Voice.ini";
inline constexpr std::string_view NoAudioOutput = "没有音频输出";
inline constexpr std::string_view SettingsTestText = "欢迎使用folioPage！";

// The first voice a speech engine offers: it reads each text with a voice of the text's own
// language (Chinese with a Mandarin voice, Latin letters with an English one).
inline constexpr std::string_view AutomaticVoiceName = "按文字的语言自动选择";
// The voice older Voice.ini files name; no Linux machine has it.
inline constexpr std::string_view LegacyVoiceName = "Microsoft Sam";

inline constexpr int MinRate = -10, MaxRate = 10, DefaultRate = -3;
inline constexpr int MinVolume = 0, MaxVolume = 100, DefaultVolume = 100;

// The file the reading window writes when Voice.ini is missing, naming `voice` (the engine's
// first voice). Three keys carry a space before "=" and so are never applied: keys are
// compared exactly.
std::vector<std::string> defaultVoiceIniLines(std::string_view voice = AutomaticVoiceName);

std::string voiceIniPath(const std::string& programFolder);

// The five values the settings window saves, in file order.
struct VoiceSettings {
    std::string voice;
    int rate = DefaultRate;
    int volume = DefaultVolume;
    std::string folder;
    bool recorded = false;
};

// "语音=" + voice, "语速=" + rate, "音量=" + volume, "路径=" + folder, "真人语音=" + 0/1.
std::vector<std::string> voiceIniLines(const VoiceSettings& settings);

// Rewrites Voice.ini atomically with the five lines above.
Result<void> saveVoiceIni(const std::string& programFolder, const VoiceSettings& settings);

// Creates Voice.ini with the default lines naming `voice` when it is missing. True when it
// was created.
Result<bool> ensureVoiceIni(const std::string& programFolder,
                            std::string_view voice = AutomaticVoiceName);

enum class VoiceKey { Voice, Rate, Volume, Folder, Recorded };

struct VoiceIniEntry {
    VoiceKey key;
    std::string value;
    int line; // 1-based line number in the file
};

// The lines of a Voice.ini whose key (the text up to and including the first "=") is one
// of the five exact keys, in file order; every other line is ignored.
std::vector<VoiceIniEntry> parseVoiceIni(const std::vector<std::string>& lines);

// ---- applying settings ---------------------------------------------------------------

// The state of the speech controls of a window (the reading window or the settings
// window), as LoadVoice leaves it.
struct VoiceControls {
    std::vector<std::string> voices;  // ComVoice
    int voiceIndex = -1;              // selected voice, -1 when none
    std::vector<std::string> outputs; // ComOutput: the outputs, or the single NoAudioOutput
    bool outputEnabled = false;       // false when the engine has no output
    int outputIndex = -1;
    int formatIndex = -1; // ComFormat selection (index into audioFormats())
    int rate = DefaultRate;
    int volume = DefaultVolume;
    std::string folder; // recorded-voice folder (Text1 / Text2)
    bool recorded = false;

    std::string voiceName() const; // the selected voice's description, or ""
};

enum class ApplyMode {
    // The reading window: a line that cannot be applied ends the reading of the file there.
    StopAtFirstFailure,
    // The settings window: apply every line that can be applied and report the others,
    // so a voice that is not installed does not keep the window from opening.
    ApplyWhatCan,
};

struct VoiceLoadReport {
    bool engineFailed = false;        // a step before Voice.ini failed
    std::vector<std::string> skipped; // one message per line not applied (file and line)
    bool failed() const { return engineFailed || !skipped.empty(); }
};

// Applies one value to the controls and the engine. Rate and volume must be integers in
// range; a voice must be installed. False (nothing changed) otherwise: applyVoiceIni then
// falls back to the engine's first voice for a voice that is not installed.
bool applyVoiceEntry(SpeechEngine& engine, VoiceControls& controls, VoiceKey key,
                     const std::string& value);

// Selecting a format in ComFormat: applies its type to the engine.
bool selectAudioFormat(SpeechEngine& engine, VoiceControls& controls, int formatIndex);

// Fills the lists from the engine and selects the first voice, the default format and
// the first output (the format is applied again after the output, as a new output
// starts with its own format).
void fillVoiceControls(SpeechEngine& engine, VoiceControls& controls, VoiceLoadReport& report);

// Applies the lines of a Voice.ini to the controls, in file order. `iniPath` is only used
// to name the file in the report.
void applyVoiceIni(SpeechEngine& engine, VoiceControls& controls,
                   const std::vector<std::string>& lines, ApplyMode mode,
                   const std::string& iniPath, VoiceLoadReport& report);

// The reading window's start-up: fill the lists, create Voice.ini naming the engine's first
// voice when missing, apply it (stopping at the first line that cannot be applied; a voice
// that is not installed is no such line: the first voice is kept). A report that failed() means the
// caller sets the caption "folioPage".
VoiceLoadReport LoadVoice(SpeechEngine& engine, VoiceControls& controls,
                          const std::string& programFolder);

// The settings window's load: the same lists, then Voice.ini read (never created here)
// and applied line by line, skipping what cannot be applied. A missing file is reported.
VoiceLoadReport loadSettingsWindowVoice(SpeechEngine& engine, VoiceControls& controls,
                                        const std::string& programFolder);

// ---- reading aloud -------------------------------------------------------------------

enum class TextLanguage { Chinese, Latin };

// The language of a UTF-8 text, by the share of CJK ideographs among its letters: Chinese
// when at least a quarter of them are ideographs (a Chinese sentence naming a Latin product
// stays Chinese) or when it has no letters at all (digits are read in Chinese), Latin
// otherwise.
TextLanguage detectTextLanguage(std::string_view utf8);

// The sentences of a UTF-8 text, in order, each with its closing punctuation and quotes and
// without surrounding white space. A sentence ends at 。！？；!?; and a "." followed by white
// space, at a line break, and at the end of the text; empty sentences are dropped.
std::vector<std::string> splitSentences(std::string_view utf8);

struct ReadingProgress {
    int sentence = 0;  // 1-based number of the sentence being read, 0 when there is none
    int sentences = 0; // how many there are
    int percent = 0;   // 0 .. 100, by characters read
};

// Where a reading of `sentences` stands once `fraction` (0 .. 1) of its characters are read.
ReadingProgress progressAt(const std::vector<std::string>& sentences, double fraction);

// The share of the characters of `sentences` that come before sentence `index` (0-based).
double sentenceStart(const std::vector<std::string>& sentences, std::size_t index);

// The recorded phrase for a selected text T: folder + "/" + first character of T + "/" +
// T + ".WAV". Empty when T is empty, or when T holds a path separator or a NUL (the phrase
// must name a file inside the folder, never reach outside it).
std::string RecordedVoicePath(const std::string& folder, const std::string& text);

// What read aloud does with the selection.
struct ReadAloudAction {
    enum Kind { Nothing, Speak, Play } kind = Nothing;
    std::string text; // Speak: the text
    std::string file; // Play: the WAV file
};

// Decides read aloud: nothing without a selection; with recorded voice off, speak it;
// with recorded voice on, play the recorded phrase when that file exists.
ReadAloudAction decideReadAloud(const std::optional<std::string>& selection, bool recorded,
                                const std::string& folder,
                                const std::function<bool(const std::string&)>& exists);

} // namespace folio::reader
