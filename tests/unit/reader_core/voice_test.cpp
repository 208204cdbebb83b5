#include "core/text.h"
#include "reader/core/voice.h"
#include "tests/tools/testdir.h"

#include <gtest/gtest.h>

using namespace folio::reader;

namespace {

// Records every call so the tests can check what reached the engine, and in which order.
class FakeEngine : public SpeechEngine {
  public:
    std::vector<std::string> voiceList{"Kal", "Microsoft Sam", "Slt"};
    std::vector<std::string> outputList{"Speakers"};
    std::vector<std::string> calls;

    std::vector<std::string> voices() const override { return voiceList; }
    std::vector<std::string> outputs() const override { return outputList; }
    bool setVoice(int i) override { return log("voice " + std::to_string(i)); }
    bool setOutput(int i) override { return log("output " + std::to_string(i)); }
    bool setFormatType(int t) override { return log("format " + std::to_string(t)); }
    bool setRate(int r) override { return log("rate " + std::to_string(r)); }
    bool setVolume(int v) override { return log("volume " + std::to_string(v)); }
    void speak(const std::string& text) override { log("speak " + text); }
    void stop() override { log("stop"); }

  private:
    bool log(std::string s) {
        calls.push_back(std::move(s));
        return true;
    }
};

} // namespace

TEST(AudioFormats, ThirtySixEntriesNumberedFourToThirtyNine) {
    const auto& f = audioFormats();
    ASSERT_EQ(f.size(), 36u);
    EXPECT_EQ(f[0].name, "SAFT8kHz8BitMono");
    EXPECT_EQ(f[0].type, 4);
    EXPECT_EQ(f[1].name, "SAFT8kHz8BitStereo");
    EXPECT_EQ(f[3].name, "SAFT8kHz16BitStereo");
    EXPECT_EQ(f[3].type, 7);
    EXPECT_EQ(f[34].name, "SAFT48kHz16BitMono");
    EXPECT_EQ(f[34].type, 38);
    EXPECT_EQ(f[35].name, "SAFT48kHz16BitStereo");
    EXPECT_EQ(f[35].type, 39);
    // Every name follows the rate/width/channels pattern and types rise by one.
    const char* rates[] = {"8", "11", "12", "16", "22", "24", "32", "44", "48"};
    for (std::size_t i = 0; i < f.size(); ++i) {
        const std::string expected = std::string("SAFT") + rates[i / 4] + "kHz" +
                                     (i % 4 < 2 ? "8" : "16") + "Bit" +
                                     (i % 2 == 0 ? "Mono" : "Stereo");
        EXPECT_EQ(f[i].name, expected);
        EXPECT_EQ(f[i].type, static_cast<int>(i) + 4);
    }
    EXPECT_EQ(audioFormatIndex("SAFT48kHz16BitMono"), 34);
    EXPECT_EQ(audioFormatIndex("nope"), -1);
}

TEST(VoiceIni, FirstStartWritesTheDefaultFileNamingTheEnginesFirstVoice) {
    TempDir dir;
    FakeEngine engine;
    engine.voiceList = {std::string(AutomaticVoiceName), "Kal", "Slt"};
    VoiceControls controls;
    const auto report = LoadVoice(engine, controls, dir.str());
    EXPECT_FALSE(report.failed());
    EXPECT_EQ(dir.read("Voice.ini"),
              folio::toAnsi("语音=按文字的语言自动选择\r\n语速 = -3\r\n音量 = 100\r\n路径=\r\n"
                            "真人语音 = 0\r\n"));
    // The spaced keys are not applied, so rate and volume keep their initial values and
    // never reach the engine.
    EXPECT_EQ(controls.voiceName(), AutomaticVoiceName);
    EXPECT_EQ(controls.rate, -3);
    EXPECT_EQ(controls.volume, 100);
    EXPECT_FALSE(controls.recorded);
    EXPECT_EQ(engine.calls, (std::vector<std::string>{"voice 0", "format 38", "output 0",
                                                      "format 38", "voice 0"}));
    EXPECT_EQ(controls.formatIndex, 34);
    EXPECT_TRUE(controls.outputEnabled);

    // An engine without the automatic voice gets its own first voice named.
    TempDir other;
    FakeEngine plain;
    VoiceControls c;
    EXPECT_FALSE(LoadVoice(plain, c, other.str()).failed());
    EXPECT_EQ(folio::readAnsiLines(other.file("Voice.ini"))->at(0), "语音=Kal");
}

TEST(VoiceIni, AVoiceThisMachineLacksFallsBackToTheFirstVoice) {
    TempDir dir;
    dir.write("Voice.ini", folio::toAnsi("语音=Microsoft Sam\r\n语速=5\r\n音量=40\r\n"));
    FakeEngine engine;
    engine.voiceList = {std::string(AutomaticVoiceName), "Kal"};
    engine.outputList.clear();
    {
        // The reading window: no complaint, and the lines after it still apply.
        VoiceControls controls;
        const auto report = LoadVoice(engine, controls, dir.str());
        EXPECT_FALSE(report.failed());
        EXPECT_EQ(controls.voiceName(), AutomaticVoiceName);
        EXPECT_EQ(controls.rate, 5);
        EXPECT_EQ(controls.volume, 40);
        EXPECT_EQ(controls.outputs, std::vector<std::string>{"没有音频输出"});
    }
    {
        // The settings window tells of a name the user chose, never of the old default.
        VoiceControls controls;
        EXPECT_FALSE(loadSettingsWindowVoice(engine, controls, dir.str()).failed());
        dir.write("Voice.ini", folio::toAnsi("语音=Ting-Ting\r\n语速=5\r\n"));
        const auto report = loadSettingsWindowVoice(engine, controls, dir.str());
        ASSERT_EQ(report.skipped.size(), 1u);
        EXPECT_NE(report.skipped[0].find("Voice.ini line 1"), std::string::npos);
        EXPECT_NE(report.skipped[0].find("Ting-Ting"), std::string::npos);
        EXPECT_EQ(controls.voiceIndex, 0);
        EXPECT_EQ(controls.rate, 5);
    }
}

TEST(VoiceIni, ReadingWindowStopsAtTheFirstBadLineSettingsWindowAppliesTheRest) {
    TempDir dir;
    dir.write("Voice.ini", folio::toAnsi("语速=5\r\n音量=loud\r\n语音=Slt\r\n"
                                         "路径=/voices\r\n真人语音=1\r\n"));
    {
        FakeEngine engine;
        VoiceControls controls;
        const auto report = LoadVoice(engine, controls, dir.str());
        EXPECT_TRUE(report.failed());
        EXPECT_EQ(controls.rate, 5);
        EXPECT_EQ(controls.voiceName(), "Kal"); // after the bad line: not applied
        EXPECT_EQ(controls.folder, "");
        EXPECT_FALSE(controls.recorded);
    }
    {
        FakeEngine engine;
        VoiceControls controls;
        const auto report = loadSettingsWindowVoice(engine, controls, dir.str());
        ASSERT_EQ(report.skipped.size(), 1u);
        EXPECT_NE(report.skipped[0].find("loud"), std::string::npos);
        EXPECT_EQ(controls.voiceName(), "Slt");
        EXPECT_EQ(controls.rate, 5);
        EXPECT_EQ(controls.volume, 100);
        EXPECT_EQ(controls.folder, "/voices");
        EXPECT_TRUE(controls.recorded);
        EXPECT_EQ(engine.calls.back(), "voice 2");
    }
}

TEST(VoiceIni, OutOfRangeAndNonNumbersAreNotApplied) {
    FakeEngine engine;
    VoiceControls c;
    EXPECT_FALSE(applyVoiceEntry(engine, c, VoiceKey::Rate, "11"));
    EXPECT_FALSE(applyVoiceEntry(engine, c, VoiceKey::Rate, "-11"));
    EXPECT_FALSE(applyVoiceEntry(engine, c, VoiceKey::Rate, "fast"));
    EXPECT_FALSE(applyVoiceEntry(engine, c, VoiceKey::Rate, ""));
    EXPECT_FALSE(applyVoiceEntry(engine, c, VoiceKey::Volume, "101"));
    EXPECT_FALSE(applyVoiceEntry(engine, c, VoiceKey::Volume, "5x"));
    EXPECT_FALSE(applyVoiceEntry(engine, c, VoiceKey::Recorded, "2"));
    EXPECT_TRUE(engine.calls.empty());
    EXPECT_TRUE(applyVoiceEntry(engine, c, VoiceKey::Rate, "-10"));
    EXPECT_TRUE(applyVoiceEntry(engine, c, VoiceKey::Volume, "0"));
    EXPECT_EQ(engine.calls, (std::vector<std::string>{"rate -10", "volume 0"}));
}

TEST(VoiceIni, KeysAreExactAndUnknownLinesIgnored) {
    const auto entries =
        parseVoiceIni({"语速 = -3", "语速=2", "Rate=4", "no equals", "路径=a=b", "音量=7"});
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].key, VoiceKey::Rate);
    EXPECT_EQ(entries[0].value, "2");
    EXPECT_EQ(entries[0].line, 2);
    EXPECT_EQ(entries[1].key, VoiceKey::Folder);
    EXPECT_EQ(entries[1].value, "a=b");
    EXPECT_EQ(entries[2].line, 6);
}

TEST(VoiceIni, SavingWritesTheFiveLinesAndReadsBack) {
    TempDir dir;
    ASSERT_TRUE(saveVoiceIni(dir.str(), {"Slt", 5, 80, "/home/v 1", true}));
    EXPECT_EQ(dir.read("Voice.ini"),
              folio::toAnsi("语音=Slt\r\n语速=5\r\n音量=80\r\n路径=/home/v 1\r\n真人语音=1\r\n"));
    FakeEngine engine;
    VoiceControls c;
    const auto report = LoadVoice(engine, c, dir.str());
    EXPECT_FALSE(report.failed());
    EXPECT_EQ(c.voiceName(), "Slt");
    EXPECT_EQ(c.rate, 5);
    EXPECT_EQ(c.volume, 80);
    EXPECT_EQ(c.folder, "/home/v 1");
    EXPECT_TRUE(c.recorded);
}

TEST(VoiceIni, SettingsWindowDoesNotCreateTheFileAndSaysItIsMissing) {
    TempDir dir;
    FakeEngine engine;
    VoiceControls c;
    const auto report = loadSettingsWindowVoice(engine, c, dir.str());
    EXPECT_TRUE(report.failed());
    EXPECT_FALSE(std::filesystem::exists(dir.file("Voice.ini")));
    EXPECT_EQ(c.voices.size(), 3u); // the lists are filled all the same
}

TEST(VoiceIni, AnEngineWithoutVoicesEndsTheLoadFirst) {
    TempDir dir;
    FakeEngine engine;
    engine.voiceList.clear();
    VoiceControls c;
    const auto report = LoadVoice(engine, c, dir.str());
    EXPECT_TRUE(report.engineFailed);
    EXPECT_FALSE(std::filesystem::exists(dir.file("Voice.ini")));
}

TEST(RecordedVoice, PathIsFolderFirstCharacterAndPhrase) {
    EXPECT_EQ(RecordedVoicePath("/v", "你好"), "/v/你/你好.WAV");
    EXPECT_EQ(RecordedVoicePath("/v", "ok"), "/v/o/ok.WAV");
    EXPECT_EQ(RecordedVoicePath("/v", ""), "");
    // A selection holding a separator must not name a file outside the folder.
    EXPECT_EQ(RecordedVoicePath("/v", "../../etc/x"), "");
    EXPECT_EQ(RecordedVoicePath("/v", std::string("a\0b", 3)), "");
    EXPECT_EQ(RecordedVoicePath("/v", ".."), "/v/./...WAV");
}

TEST(RecordedVoice, ReadAloudChoosesSpeechPlayOrNothing) {
    const auto always = [](const std::string&) { return true; };
    const auto never = [](const std::string&) { return false; };
    EXPECT_EQ(decideReadAloud(std::nullopt, false, "/v", always).kind, ReadAloudAction::Nothing);
    const auto speak = decideReadAloud(std::string("你好"), false, "/v", never);
    EXPECT_EQ(speak.kind, ReadAloudAction::Speak);
    EXPECT_EQ(speak.text, "你好");
    const auto play = decideReadAloud(std::string("你好"), true, "/v", always);
    EXPECT_EQ(play.kind, ReadAloudAction::Play);
    EXPECT_EQ(play.file, "/v/你/你好.WAV");
    EXPECT_EQ(decideReadAloud(std::string("你好"), true, "/v", never).kind,
              ReadAloudAction::Nothing);
}

TEST(ReadingText, LanguageByTheShareOfIdeographs) {
    EXPECT_EQ(detectTextLanguage("道可道，非常道。"), TextLanguage::Chinese);
    EXPECT_EQ(detectTextLanguage("The way that can be told."), TextLanguage::Latin);
    // A Chinese sentence naming a Latin product is still Chinese ...
    EXPECT_EQ(detectTextLanguage("欢迎使用folioPage！"), TextLanguage::Chinese);
    // ... an English one quoting a Chinese title is not.
    EXPECT_EQ(detectTextLanguage("The book 道德经 is very old indeed."), TextLanguage::Latin);
    EXPECT_EQ(detectTextLanguage("Ça coûte très cher, déjà."), TextLanguage::Latin);
    EXPECT_EQ(detectTextLanguage("2024 — 12"), TextLanguage::Chinese);
    EXPECT_EQ(detectTextLanguage(""), TextLanguage::Chinese);
    // Ideographs beyond the basic plane count too; malformed bytes are no letters.
    EXPECT_EQ(detectTextLanguage("\xF0\xA0\x80\x80\xF0\xA0\x80\x81 ab"), TextLanguage::Chinese);
    EXPECT_EQ(detectTextLanguage("\xFF\xFE abc"), TextLanguage::Latin);
}

TEST(ReadingText, SentencesKeepTheirMarksAndQuotes) {
    EXPECT_EQ(splitSentences("第一句。第二句！“第三句？”\n  第四句"),
              (std::vector<std::string>{"第一句。", "第二句！", "“第三句？”", "第四句"}));
    EXPECT_EQ(splitSentences("Li came. Did he?! Yes; 3.5 km"),
              (std::vector<std::string>{"Li came.", "Did he?!", "Yes;", "3.5 km"}));
    EXPECT_EQ(splitSentences("  \r\n 。 \n"), (std::vector<std::string>{"。"}));
    EXPECT_TRUE(splitSentences(" \t\n").empty());
}

TEST(ReadingText, ProgressNamesTheSentenceByCharactersRead) {
    const std::vector<std::string> s = {"一二三。", "ab.", "四五六七八九十。"}; // 4 + 3 + 8
    EXPECT_EQ(progressAt(s, 0.0).sentence, 1);
    EXPECT_EQ(progressAt(s, 0.0).sentences, 3);
    EXPECT_EQ(progressAt(s, 0.0).percent, 0);
    EXPECT_EQ(progressAt(s, sentenceStart(s, 1)).sentence, 2);
    EXPECT_EQ(progressAt(s, sentenceStart(s, 2)).sentence, 3);
    EXPECT_DOUBLE_EQ(sentenceStart(s, 1), 4.0 / 15.0);
    EXPECT_EQ(progressAt(s, 0.5).sentence, 3);
    EXPECT_EQ(progressAt(s, 0.5).percent, 50);
    EXPECT_EQ(progressAt(s, 1.0).sentence, 3);
    EXPECT_EQ(progressAt(s, 7.0).percent, 100); // held within 0 .. 100
    EXPECT_EQ(progressAt({}, 0.5).sentence, 0);
    EXPECT_EQ(sentenceStart(s, 99), 1.0);
}
