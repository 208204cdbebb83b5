// Speech settings: the format list, Voice.ini, applying it to an engine, read aloud.
#include "reader/core/voice.h"

#include "core/fileio.h"
#include "core/text.h"
#include "reader/core/readaloud.h"

#include <algorithm>
#include <charconv>

namespace folio::reader {

namespace {

constexpr std::array<AudioFormat, 36> makeFormats() {
    // Rates in kHz, then 8/16 bits, then mono/stereo: the engine numbers them 4.. in this
    // order. The names are spelled out so they can be string_views into static storage.
    constexpr std::array<std::string_view, 36> names = {
        "SAFT8kHz8BitMono",  "SAFT8kHz8BitStereo",  "SAFT8kHz16BitMono",  "SAFT8kHz16BitStereo",
        "SAFT11kHz8BitMono", "SAFT11kHz8BitStereo", "SAFT11kHz16BitMono", "SAFT11kHz16BitStereo",
        "SAFT12kHz8BitMono", "SAFT12kHz8BitStereo", "SAFT12kHz16BitMono", "SAFT12kHz16BitStereo",
        "SAFT16kHz8BitMono", "SAFT16kHz8BitStereo", "SAFT16kHz16BitMono", "SAFT16kHz16BitStereo",
        "SAFT22kHz8BitMono", "SAFT22kHz8BitStereo", "SAFT22kHz16BitMono", "SAFT22kHz16BitStereo",
        "SAFT24kHz8BitMono", "SAFT24kHz8BitStereo", "SAFT24kHz16BitMono", "SAFT24kHz16BitStereo",
        "SAFT32kHz8BitMono", "SAFT32kHz8BitStereo", "SAFT32kHz16BitMono", "SAFT32kHz16BitStereo",
        "SAFT44kHz8BitMono", "SAFT44kHz8BitStereo", "SAFT44kHz16BitMono", "SAFT44kHz16BitStereo",
        "SAFT48kHz8BitMono", "SAFT48kHz8BitStereo", "SAFT48kHz16BitMono", "SAFT48kHz16BitStereo",
    };
    std::array<AudioFormat, 36> formats{};
    for (std::size_t i = 0; i < names.size(); ++i)
        formats[i] = AudioFormat{names[i], static_cast<int>(i) + 4};
    return formats;
}

constexpr std::array<AudioFormat, 36> Formats = makeFormats();

constexpr std::string_view KeyVoice = "语音=";
constexpr std::string_view KeyRate = "语速=";
constexpr std::string_view KeyVolume = "音量=";
constexpr std::string_view KeyFolder = "路径=";
constexpr std::string_view KeyRecorded = "真人语音=";

std::optional<int> parseInt(const std::string& text) {
    int value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+')
        ++first;
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || ptr != last || first == last)
        return std::nullopt;
    return value;
}

std::string keyText(VoiceKey key) {
    switch (key) {
    case VoiceKey::Voice:
        return std::string(KeyVoice);
    case VoiceKey::Rate:
        return std::string(KeyRate);
    case VoiceKey::Volume:
        return std::string(KeyVolume);
    case VoiceKey::Folder:
        return std::string(KeyFolder);
    case VoiceKey::Recorded:
        return std::string(KeyRecorded);
    }
    return {};
}

// Length in bytes of the UTF-8 character starting text[0].
std::size_t firstCharLength(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t n = 1;
    if (lead >= 0xF0)
        n = 4;
    else if (lead >= 0xE0)
        n = 3;
    else if (lead >= 0xC0)
        n = 2;
    return std::min(n, text.size());
}

} // namespace

const std::array<AudioFormat, 36>& audioFormats() {
    return Formats;
}

int audioFormatIndex(std::string_view name) {
    for (std::size_t i = 0; i < Formats.size(); ++i) {
        if (Formats[i].name == name)
            return static_cast<int>(i);
    }
    return -1;
}

std::vector<std::string> defaultVoiceIniLines(std::string_view voice) {
    return {
        std::string(KeyVoice) + std::string(voice),
        "语速 = -3",
        "音量 = 100",
        "路径=",
        "真人语音 = 0",
    };
}

std::string voiceIniPath(const std::string& programFolder) {
    return FixPath(programFolder) + std::string(VoiceIniName);
}

std::vector<std::string> voiceIniLines(const VoiceSettings& s) {
    return {
        std::string(KeyVoice) + s.voice,
        std::string(KeyRate) + std::to_string(s.rate),
        std::string(KeyVolume) + std::to_string(s.volume),
        std::string(KeyFolder) + s.folder,
        std::string(KeyRecorded) + (s.recorded ? "1" : "0"),
    };
}

Result<void> saveVoiceIni(const std::string& programFolder, const VoiceSettings& settings) {
    const std::string path = voiceIniPath(programFolder);
    if (auto written = writeAnsiLines(path, voiceIniLines(settings)); !written)
        return fail("cannot write the voice settings " + path + ": " + written.error().message);
    return {};
}

Result<bool> ensureVoiceIni(const std::string& programFolder, std::string_view voice) {
    const std::string path = voiceIniPath(programFolder);
    if (fileExists(path))
        return false;
    if (auto written = writeAnsiLines(path, defaultVoiceIniLines(voice)); !written)
        return fail("cannot create the voice settings " + path + ": " + written.error().message);
    return true;
}

std::vector<VoiceIniEntry> parseVoiceIni(const std::vector<std::string>& lines) {
    std::vector<VoiceIniEntry> entries;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string_view key(line.data(), eq + 1);
        std::optional<VoiceKey> which;
        if (key == KeyVoice)
            which = VoiceKey::Voice;
        else if (key == KeyRate)
            which = VoiceKey::Rate;
        else if (key == KeyVolume)
            which = VoiceKey::Volume;
        else if (key == KeyFolder)
            which = VoiceKey::Folder;
        else if (key == KeyRecorded)
            which = VoiceKey::Recorded;
        if (which)
            entries.push_back({*which, line.substr(eq + 1), static_cast<int>(i) + 1});
    }
    return entries;
}

std::string VoiceControls::voiceName() const {
    if (voiceIndex < 0 || static_cast<std::size_t>(voiceIndex) >= voices.size())
        return {};
    return voices[static_cast<std::size_t>(voiceIndex)];
}

bool applyVoiceEntry(SpeechEngine& engine, VoiceControls& controls, VoiceKey key,
                     const std::string& value) {
    switch (key) {
    case VoiceKey::Voice: {
        for (std::size_t i = 0; i < controls.voices.size(); ++i) {
            if (controls.voices[i] == value) {
                controls.voiceIndex = static_cast<int>(i);
                engine.setVoice(static_cast<int>(i));
                return true;
            }
        }
        return false;
    }
    case VoiceKey::Rate: {
        const auto rate = parseInt(value);
        if (!rate || *rate < MinRate || *rate > MaxRate)
            return false;
        // A slider only reports a change when its value moves.
        if (*rate != controls.rate) {
            controls.rate = *rate;
            engine.setRate(*rate);
        }
        return true;
    }
    case VoiceKey::Volume: {
        const auto volume = parseInt(value);
        if (!volume || *volume < MinVolume || *volume > MaxVolume)
            return false;
        if (*volume != controls.volume) {
            controls.volume = *volume;
            engine.setVolume(*volume);
        }
        return true;
    }
    case VoiceKey::Folder:
        controls.folder = value;
        return true;
    case VoiceKey::Recorded: {
        const auto flag = parseInt(value);
        if (!flag || (*flag != 0 && *flag != 1))
            return false;
        controls.recorded = *flag == 1;
        return true;
    }
    }
    return false;
}

bool selectAudioFormat(SpeechEngine& engine, VoiceControls& controls, int formatIndex) {
    if (formatIndex < 0 || static_cast<std::size_t>(formatIndex) >= Formats.size())
        return false;
    controls.formatIndex = formatIndex;
    engine.setFormatType(Formats[static_cast<std::size_t>(formatIndex)].type);
    return true;
}

void fillVoiceControls(SpeechEngine& engine, VoiceControls& controls, VoiceLoadReport& report) {
    controls.voices = engine.voices();
    if (controls.voices.empty()) {
        // Selecting index 0 of an empty list is the first failing step.
        report.engineFailed = true;
        report.skipped.push_back("the speech engine lists no voice");
        return;
    }
    controls.voiceIndex = 0;
    engine.setVoice(0);

    selectAudioFormat(engine, controls, audioFormatIndex(DefaultAudioFormat));

    const std::vector<std::string> outputs = engine.outputs();
    if (outputs.empty()) {
        controls.outputs = {std::string(NoAudioOutput)};
        controls.outputEnabled = false;
        controls.outputIndex = -1;
    } else {
        controls.outputs = outputs;
        controls.outputEnabled = true;
        controls.outputIndex = 0;
        engine.setOutput(0);
        selectAudioFormat(engine, controls, controls.formatIndex);
    }
}

void applyVoiceIni(SpeechEngine& engine, VoiceControls& controls,
                   const std::vector<std::string>& lines, ApplyMode mode,
                   const std::string& iniPath, VoiceLoadReport& report) {
    for (const VoiceIniEntry& entry : parseVoiceIni(lines)) {
        if (applyVoiceEntry(engine, controls, entry.key, entry.value))
            continue;
        if (entry.key == VoiceKey::Voice && !controls.voices.empty()) {
            // A voice this machine does not have (a file from another machine, an engine
            // removed since) must not leave the reader mute: the engine's first voice, the one
            // that picks by the text's language, reads instead. Only the settings window
            // tells of it, and not for the names the reader itself writes into a new file.
            controls.voiceIndex = 0;
            engine.setVoice(0);
            if (mode == ApplyMode::StopAtFirstFailure || entry.value == LegacyVoiceName ||
                entry.value == AutomaticVoiceName)
                continue;
        }
        report.skipped.push_back(iniPath + " line " + std::to_string(entry.line) + ": \"" +
                                 keyText(entry.key) + entry.value + "\" cannot be applied" +
                                 (entry.key == VoiceKey::Voice ? " (voice not installed, the first "
                                                                 "voice reads instead)"
                                                               : ""));
        if (mode == ApplyMode::StopAtFirstFailure)
            return;
    }
}

VoiceLoadReport LoadVoice(SpeechEngine& engine, VoiceControls& controls,
                          const std::string& programFolder) {
    VoiceLoadReport report;
    fillVoiceControls(engine, controls, report);
    if (report.engineFailed)
        return report;
    if (auto created = ensureVoiceIni(programFolder, controls.voiceName()); !created) {
        report.skipped.push_back(created.error().message);
        return report;
    }
    const std::string path = voiceIniPath(programFolder);
    auto lines = readAnsiLines(path);
    if (!lines) {
        report.skipped.push_back("cannot read the voice settings " + path + ": " +
                                 lines.error().message);
        return report;
    }
    applyVoiceIni(engine, controls, *lines, ApplyMode::StopAtFirstFailure, path, report);
    return report;
}

VoiceLoadReport loadSettingsWindowVoice(SpeechEngine& engine, VoiceControls& controls,
                                        const std::string& programFolder) {
    VoiceLoadReport report;
    fillVoiceControls(engine, controls, report);
    const std::string path = voiceIniPath(programFolder);
    if (!fileExists(path)) {
        report.skipped.push_back("the voice settings " + path + " do not exist");
        return report;
    }
    auto lines = readAnsiLines(path);
    if (!lines) {
        report.skipped.push_back("cannot read the voice settings " + path + ": " +
                                 lines.error().message);
        return report;
    }
    applyVoiceIni(engine, controls, *lines, ApplyMode::ApplyWhatCan, path, report);
    return report;
}

std::string RecordedVoicePath(const std::string& folder, const std::string& text) {
    // The phrase becomes the file name itself: without a separator it cannot leave the
    // folder, whatever dots it holds.
    if (text.empty() || text.find_first_of(std::string_view("/\\\0", 3)) != std::string::npos)
        return {};
    return folder + "/" + text.substr(0, firstCharLength(text)) + "/" + text + ".WAV";
}

ReadAloudAction decideReadAloud(const std::optional<std::string>& selection, bool recorded,
                                const std::string& folder,
                                const std::function<bool(const std::string&)>& exists) {
    if (!selection)
        return {};
    if (!recorded)
        return {ReadAloudAction::Speak, *selection, {}};
    const std::string path = RecordedVoicePath(folder, *selection);
    if (path.empty() || !exists(path))
        return {};
    return {ReadAloudAction::Play, {}, path};
}

namespace {

bool isIdeograph(char32_t c) {
    return (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x20000 && c <= 0x3134F);
}

bool isLatinLetter(char32_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7);
}

} // namespace

TextLanguage detectTextLanguage(std::string_view utf8) {
    std::size_t ideographs = 0, letters = 0;
    for (const char32_t c : codePoints(utf8)) {
        if (isIdeograph(c))
            ++ideographs;
        else if (isLatinLetter(c))
            ++letters;
    }
    if (ideographs + letters == 0)
        return TextLanguage::Chinese;
    return ideographs * 4 >= ideographs + letters ? TextLanguage::Chinese : TextLanguage::Latin;
}

std::vector<std::string> splitSentences(std::string_view utf8) {
    std::vector<std::string> sentences;
    for (SpokenSentence& s : selectionSentences(utf8))
        sentences.push_back(std::move(s.text));
    return sentences;
}

namespace {

// The length of each sentence in characters (at least one, so none is skipped over).
std::vector<std::size_t> sentenceLengths(const std::vector<std::string>& sentences,
                                         std::size_t& total) {
    std::vector<std::size_t> lengths;
    total = 0;
    for (const std::string& s : sentences) {
        lengths.push_back(std::max<std::size_t>(1, codePoints(s).size()));
        total += lengths.back();
    }
    return lengths;
}

} // namespace

ReadingProgress progressAt(const std::vector<std::string>& sentences, double fraction) {
    ReadingProgress progress;
    progress.sentences = static_cast<int>(sentences.size());
    if (sentences.empty())
        return progress;
    fraction = std::clamp(fraction, 0.0, 1.0);
    progress.percent = static_cast<int>(fraction * 100.0 + 0.5);
    std::size_t total = 0;
    const std::vector<std::size_t> lengths = sentenceLengths(sentences, total);
    // A reading standing exactly at a sentence's first character is reading that sentence,
    // whatever rounding did to the fraction.
    const double read = fraction * static_cast<double>(total) + 1e-6;
    std::size_t before = 0;
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        before += lengths[i];
        if (read < static_cast<double>(before) || i + 1 == lengths.size()) {
            progress.sentence = static_cast<int>(i) + 1;
            break;
        }
    }
    return progress;
}

double sentenceStart(const std::vector<std::string>& sentences, std::size_t index) {
    std::size_t total = 0;
    const std::vector<std::size_t> lengths = sentenceLengths(sentences, total);
    if (total == 0)
        return 0.0;
    std::size_t before = 0;
    for (std::size_t i = 0; i < std::min(index, lengths.size()); ++i)
        before += lengths[i];
    return static_cast<double>(before) / static_cast<double>(total);
}

} // namespace folio::reader
