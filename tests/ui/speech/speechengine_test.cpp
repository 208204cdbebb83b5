// The readers' speech engine: voice lists, the voice picked by the text's language, the
// synthesiser's arguments, rendering Chinese and English into real sound, playing it into a
// PulseAudio null sink, speech-dispatcher sentence by sentence, and a synthesiser that
// crashes or runs for a minute without taking the reader down.
#include "reader/ui/speechengine.h"

#include "tests/tools/independent_check.h"
#include "tests/tools/soundserver.h"
#include "tests/tools/testdir.h"
#include "tests/tools/waits.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMediaPlayer>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

using folio::readerui::ProcessSpeechEngine;
using folio::readerui::SpeechVoice;
using folio::testing::Heard;
using folio::testing::WaitBoundMs;
using folio::testing::wavLoudness;

namespace {

// The test's own sound server, and the one QCoreApplication of the tests.
class SoundServer : public ::testing::Environment {
  public:
    void SetUp() override {
        ensureApp();
        running = m_sink.start();
    }
    void TearDown() override {
        m_sink.stop();
        app.reset();
    }
    void ensureApp() {
        static int argc = 1;
        static char name[] = "speech_tests";
        static char* argv[] = {name, nullptr};
        if (!app)
            app = std::make_unique<QCoreApplication>(argc, argv);
    }

    bool running = false;
    std::unique_ptr<QCoreApplication> app;

  private:
    folio::testing::NullSink m_sink;
};

SoundServer* const g_sound =
    static_cast<SoundServer*>(::testing::AddGlobalTestEnvironment(new SoundServer));

// Runs the event loop (objects let go of included) for `ms` milliseconds, or until `done`
// holds.
bool runEvents(int ms, const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(10);
    }
    return done();
}

// Runs the event loop until `done` holds; false when the tests' wait bound passed first.
bool waitFor(const std::function<bool()>& done) {
    return runEvents(WaitBoundMs, done);
}

bool fileHas(const TempDir& dir, const std::string& name, const std::string& part) {
    return dir.read(name).find(part) != std::string::npos;
}

// The voice of a program, found by its id.
int voiceIndex(const std::vector<SpeechVoice>& voices, const QString& id) {
    for (std::size_t i = 0; i < voices.size(); ++i)
        if (voices[i].id == id)
            return static_cast<int>(i);
    return -1;
}

constexpr const char* Chinese = "道可道，非常道；名可名，非常名。";
constexpr const char* English = "The way that can be told is not the eternal way.";

} // namespace

TEST(SpeechVoices, EspeakTableAndFliteListBecomeVoices) {
    const auto espeak = folio::readerui::parseEspeakVoices(
        "Pty Language       Age/Gender VoiceName          File                 Other Languages\n"
        " 5  cmn             --/M      Chinese_(Mandarin,_latin_as_English) sit/cmn   (zh 5)\n"
        " 2  en-us           --/M      English_(America)  gmw/en-US            (en 3)\n"
        "garbage line\n");
    ASSERT_EQ(espeak.size(), 2u);
    EXPECT_EQ(espeak[0].program, "espeak-ng");
    EXPECT_EQ(espeak[0].id, "sit/cmn");
    EXPECT_EQ(espeak[0].description, "Chinese (Mandarin, latin as English)");
    EXPECT_EQ(espeak[0].language, "cmn");
    EXPECT_EQ(espeak[1].id, "gmw/en-US");
    EXPECT_EQ(espeak[1].language, "en-us");

    // speech-dispatcher speaks through espeak-ng's Mandarin and English voices, by language.
    const auto dispatcher = folio::readerui::speechDispatcherVoices(espeak);
    ASSERT_EQ(dispatcher.size(), 2u);
    EXPECT_EQ(dispatcher[0].program, "spd-say");
    EXPECT_EQ(dispatcher[0].id, "cmn");
    EXPECT_EQ(dispatcher[0].description, "speech-dispatcher: Chinese (Mandarin, latin as English)");
    EXPECT_EQ(dispatcher[1].id, "en");
    EXPECT_TRUE(folio::readerui::speechDispatcherVoices({}).empty());

    const auto flite =
        folio::readerui::parseFliteVoices("Voices available: kal awb_time kal16 slt \n");
    ASSERT_EQ(flite.size(), 3u); // the talking clock is left out
    EXPECT_EQ(flite[0].id, "kal");
    EXPECT_EQ(flite[2].description, "flite slt");
    EXPECT_TRUE(folio::readerui::parseFliteVoices("no colon here").empty());
}

TEST(SpeechVoices, TheCacheHoldsTheListForTheSynthesisersItWasMadeFor) {
    TempDir dir;
    const QString file = QString::fromStdString(dir.file("voices.txt"));
    EXPECT_TRUE(folio::readerui::readVoiceCache(file, "k").empty()); // no file yet
    const std::vector<SpeechVoice> voices = {
        {"espeak-ng", "sit/cmn", "Chinese (Mandarin, latin as English)", "cmn"},
        {"flite", "slt", "flite\tslt", "en"}};
    ASSERT_TRUE(folio::readerui::writeVoiceCache(file, "k", voices));
    const auto back = folio::readerui::readVoiceCache(file, "k");
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].id, "sit/cmn");
    EXPECT_EQ(back[0].language, "cmn");
    EXPECT_EQ(back[0].description, "Chinese (Mandarin, latin as English)");
    EXPECT_EQ(back[1].description, "flite slt"); // a TAB cannot break the line apart
    // Other synthesisers (one updated, installed or removed since) or a damaged file: the
    // list is made anew.
    EXPECT_TRUE(folio::readerui::readVoiceCache(file, "other").empty());
    dir.write("voices.txt", "folio voices 1\r\nk\r\nespeak-ng\tsit/cmn\r\n");
    EXPECT_TRUE(folio::readerui::readVoiceCache(file, "k").empty());
    // The key names each program found with its size and time.
    EXPECT_NE(folio::readerui::synthesiserKey(), "");
}

TEST(SpeechVoices, RateMapsOntoEachProgramsOwnScale) {
    const SpeechVoice espeak{"espeak-ng", "sit/cmn", "Chinese", "cmn"};
    auto speed = [&](int rate) {
        return folio::readerui::renderArguments(espeak, rate, "t.txt", "o.wav").at(3);
    };
    EXPECT_EQ(speed(0), "175");
    EXPECT_EQ(speed(10), "450"); // three times as fast, held at the program's top speed
    EXPECT_EQ(speed(-10), "80"); // a third, held at its lowest
    const QStringList args = folio::readerui::renderArguments(espeak, 0, "t.txt", "o.wav");
    EXPECT_TRUE(args.contains("-w") && args.contains("o.wav") && args.contains("t.txt"));

    const SpeechVoice flite{"flite", "kal", "flite kal", "en"};
    const QStringList fast = folio::readerui::renderArguments(flite, 10, "t.txt", "o.wav");
    EXPECT_TRUE(fast.contains("duration_stretch=0.333")) << fast.join(' ').toStdString();

    // speech-dispatcher: rate and volume on its -100..100 scales; the sentence after "--" so
    // that one starting with "-" is spoken, not taken for an option.
    const SpeechVoice spd{"spd-say", "cmn", "speech-dispatcher: Chinese", "cmn"};
    EXPECT_EQ(folio::readerui::speechDispatcherArguments(spd, -3, 100, "-1 度"),
              (QStringList{"-w", "-o", "espeak-ng", "-l", "cmn", "-r", "-30", "-i", "100", "-N",
                           "folio", "--", "-1 度"}));
    EXPECT_EQ(folio::readerui::speechDispatcherArguments(spd, 10, 0, "x").at(8), "-100");
}

namespace {

// The voices of a machine with every synthesiser, in the order installedVoices() gives.
std::vector<SpeechVoice> fakeMachine() {
    return {{"espeak-ng", "sit/cmn", "Chinese (Mandarin)", "cmn"},
            {"spd-say", "cmn", "speech-dispatcher: Chinese (Mandarin)", "cmn"},
            {"espeak-ng", "sit/yue", "Chinese (Cantonese)", "yue"},
            {"espeak-ng", "gmw/en", "English (Great Britain)", "en"},
            {"flite", "slt", "flite slt", "en"},
            {"espeak-ng", "roa/fr", "French", "fr"}};
}

} // namespace

TEST(SpeechVoices, TheTextsLanguagePicksTheVoice) {
    using folio::reader::TextLanguage;
    const auto machine = fakeMachine();
    EXPECT_EQ(folio::readerui::pickVoice(machine, TextLanguage::Chinese), 0);
    EXPECT_EQ(folio::readerui::pickVoice(machine, TextLanguage::Latin), 3);
    // Without espeak-ng's own voices speech-dispatcher's Mandarin reads Chinese.
    const std::vector<SpeechVoice> dispatcherOnly(machine.begin() + 1, machine.end());
    EXPECT_EQ(dispatcherOnly[static_cast<std::size_t>(
                                 folio::readerui::pickVoice(dispatcherOnly, TextLanguage::Chinese))]
                  .program,
              "spd-say");
    // Only English voices: Chinese text falls to the first voice rather than to silence.
    const std::vector<SpeechVoice> english(machine.begin() + 3, machine.begin() + 5);
    EXPECT_EQ(folio::readerui::pickVoice(english, TextLanguage::Chinese), 0);
    EXPECT_EQ(folio::readerui::pickVoice({}, TextLanguage::Latin), -1);

    g_sound->ensureApp();
    ProcessSpeechEngine engine(machine);
    const auto names = engine.voices();
    ASSERT_EQ(names.size(), machine.size() + 1);
    EXPECT_EQ(names[0], folio::reader::AutomaticVoiceName);
    EXPECT_EQ(names[4], "English (Great Britain)");
    // The automatic first voice reads each text in its own language ...
    EXPECT_EQ(engine.voiceFor(Chinese), 0);
    EXPECT_EQ(engine.voiceFor(English), 3);
    EXPECT_EQ(engine.voiceFor("欢迎使用folioPage！"), 0);
    // ... a voice chosen by hand reads everything.
    ASSERT_TRUE(engine.setVoice(5));
    EXPECT_EQ(engine.voiceFor(Chinese), 4);
    EXPECT_FALSE(engine.setVoice(7));
}

TEST(SpeechEngine, RefusesOutOfRangeValuesAndReportsAMissingSynthesiser) {
    g_sound->ensureApp();
    ProcessSpeechEngine none(std::vector<SpeechVoice>{});
    EXPECT_TRUE(none.outputs().empty());
    EXPECT_FALSE(none.setVoice(0));
    QStringList failures;
    QObject::connect(&none, &ProcessSpeechEngine::failed, [&](const QString& m) { failures << m; });
    none.speak("x");
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures[0].contains("espeak-ng"));

    ProcessSpeechEngine engine({{"espeak-ng", "sit/cmn", "Chinese", "cmn"}});
    EXPECT_EQ(engine.outputs().size(), 1u);
    EXPECT_TRUE(engine.setVoice(1)); // the automatic voice, then the one installed
    EXPECT_FALSE(engine.setVoice(2));
    EXPECT_FALSE(engine.setRate(11));
    EXPECT_FALSE(engine.setVolume(-1));
    EXPECT_FALSE(engine.setFormatType(40));
    EXPECT_TRUE(engine.setFormatType(38));
    EXPECT_EQ(engine.formatType(), 38);
    engine.speak(""); // only stops
    EXPECT_TRUE(engine.lastRendering().isEmpty());
}

TEST(SpeechEngine, ChineseVoicesComeFirst) {
    FOLIO_REQUIRE_TOOL("espeak-ng", "Debian package espeak-ng");
    const auto voices = folio::readerui::installedVoices();
    ASSERT_FALSE(voices.empty());
    EXPECT_EQ(voices.front().id, "sit/cmn");
}

TEST(SpeechEngine, RendersChineseAndEnglishIntoSound) {
    FOLIO_REQUIRE_TOOL("espeak-ng", "Debian package espeak-ng");
    g_sound->ensureApp();
    const auto voices = folio::readerui::installedVoices();
    ProcessSpeechEngine engine(voices);
    // The automatic voice: Mandarin for the Chinese text, an English voice for the other.
    const int mandarin = engine.voiceFor(Chinese);
    ASSERT_GE(mandarin, 0);
    EXPECT_EQ(voices[static_cast<std::size_t>(mandarin)].language, "cmn");
    EXPECT_TRUE(
        voices[static_cast<std::size_t>(engine.voiceFor(English))].language.startsWith("en"));
    for (const char* text : {Chinese, English}) {
        bool playing = false;
        QString failure;
        auto c1 = QObject::connect(&engine, &ProcessSpeechEngine::playingStarted,
                                   [&] { playing = true; });
        auto c2 = QObject::connect(&engine, &ProcessSpeechEngine::failed,
                                   [&](const QString& m) { failure = m; });
        engine.speak(text);
        ASSERT_TRUE(waitFor([&] { return playing || !failure.isEmpty(); })) << text;
        ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
        EXPECT_GT(wavLoudness(engine.lastRendering()), 0.01) << text;
        QObject::disconnect(c1);
        QObject::disconnect(c2);
    }
    engine.stop();
}

TEST(SpeechEngine, AFliteVoiceRendersEnglish) {
    FOLIO_REQUIRE_TOOL("flite", "Debian package flite");
    g_sound->ensureApp();
    const auto voices = folio::readerui::installedVoices();
    ProcessSpeechEngine engine(voices);
    const int kal = voiceIndex(voices, "kal");
    ASSERT_GE(kal, 0);
    ASSERT_TRUE(engine.setVoice(kal + 1)); // after the automatic voice
    bool playing = false;
    QObject::connect(&engine, &ProcessSpeechEngine::playingStarted, [&] { playing = true; });
    engine.speak(English);
    ASSERT_TRUE(waitFor([&] { return playing; }));
    EXPECT_GT(wavLoudness(engine.lastRendering()), 0.01);
}

TEST(SpeechEngine, ASynthesiserThatCrashesEndsOnlyThatReading) {
    g_sound->ensureApp();
    TempDir bin;
    // A stand-in for the synthesiser that dies of a segmentation fault.
    bin.write("espeak-ng", "#!/bin/sh\nkill -SEGV $$\n");
    std::filesystem::permissions(bin.file("espeak-ng"), std::filesystem::perms::owner_all);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(bin.str()) + ":" + path);
    ProcessSpeechEngine engine({{"espeak-ng", "sit/cmn", "Chinese", "cmn"}});
    QString failure;
    QObject::connect(&engine, &ProcessSpeechEngine::failed, [&](const QString& m) { failure = m; });
    engine.speak(Chinese);
    const bool reported = waitFor([&] { return !failure.isEmpty(); });
    qputenv("PATH", path);
    ASSERT_TRUE(reported);
    EXPECT_TRUE(failure.contains("异常终止")) << failure.toStdString();
}

TEST(SpeechEngine, PlaysIntoTheSoundServer) {
    FOLIO_REQUIRE_TOOL("espeak-ng", "Debian package espeak-ng");
    FOLIO_REQUIRE_TOOL("pulseaudio", "Debian package pulseaudio");
    FOLIO_REQUIRE_TOOL("parec", "Debian package pulseaudio-utils");
    ASSERT_TRUE(g_sound->running) << "the test's own PulseAudio server did not start";
    TempDir dir;
    ProcessSpeechEngine engine(folio::readerui::installedVoices());
    for (const char* text : {Chinese, English}) {
        const QString recording = QString::fromStdString(dir.file("heard.wav"));
        QProcess parec;
        parec.start("parec", {"-d", "folio_null.monitor", "--file-format=wav", recording});
        ASSERT_TRUE(parec.waitForStarted(WaitBoundMs));
        bool ended = false;
        std::vector<int> percents;
        auto c = QObject::connect(&engine, &ProcessSpeechEngine::finished, [&] { ended = true; });
        auto p = QObject::connect(&engine, &ProcessSpeechEngine::progress,
                                  [&](int, int, int percent) { percents.push_back(percent); });
        engine.speak(text);
        ASSERT_TRUE(waitFor([&] { return ended; })) << text;
        QObject::disconnect(c);
        QObject::disconnect(p);
        // The reading's progress rose from the start to its end while it was heard.
        ASSERT_GE(percents.size(), 2u) << text;
        EXPECT_EQ(percents.front(), 0);
        EXPECT_EQ(percents.back(), 100);
        EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
        EXPECT_EQ(engine.readingProgress().sentence, engine.readingProgress().sentences);
        // The sink's last buffers reach the recording in their own time.
        waitFor([&] { return wavLoudness(recording) > Heard; });
        parec.terminate();
        parec.waitForFinished(WaitBoundMs);
        EXPECT_GT(wavLoudness(recording), Heard) << text << ": the null sink heard silence";
    }
}

TEST(SpeechEngine, ReadingAgainAndAgainForAMinute) {
    FOLIO_REQUIRE_TOOL("espeak-ng", "Debian package espeak-ng");
    g_sound->ensureApp();
    const auto voices = folio::readerui::installedVoices();
    ProcessSpeechEngine engine(voices);
    int failures = 0, playing = 0;
    QObject::connect(&engine, &ProcessSpeechEngine::failed, [&] { ++failures; });
    QObject::connect(&engine, &ProcessSpeechEngine::playingStarted, [&] { ++playing; });
    QElapsedTimer clock;
    clock.start();
    // The automatic voice and the first voices that render into a file (speech-dispatcher
    // needs a sound device this test does not have).
    std::vector<int> choices = {0};
    for (std::size_t i = 0; i < voices.size() && choices.size() < 4; ++i)
        if (voices[i].program != "spd-say")
            choices.push_back(static_cast<int>(i) + 1);
    int readings = 0;
    while (clock.elapsed() < 60'000) {
        // Those voices in turn, each reading cut short by the next, as a restless user does.
        engine.setVoice(choices[static_cast<std::size_t>(readings) % choices.size()]);
        engine.speak(readings % 2 ? English : Chinese);
        ++readings;
        // Not a wait: the moment the next reading cuts in.
        runEvents(150 + (readings % 5) * 100, [] { return false; });
    }
    ASSERT_TRUE(engine.setVoice(0));
    bool last = false;
    QObject::connect(&engine, &ProcessSpeechEngine::playingStarted, [&] { last = true; });
    engine.speak(Chinese);
    ASSERT_TRUE(waitFor([&] { return last; }));
    EXPECT_GT(wavLoudness(engine.lastRendering()), 0.01);
    EXPECT_EQ(failures, 0);
    EXPECT_GT(playing, 0);
    EXPECT_GT(readings, 60);
}

// A stand-in for speech-dispatcher's client that notes each call and "speaks" at once.
TEST(SpeechEngine, SpeechDispatcherSpeaksSentenceBySentenceAndStops) {
    g_sound->ensureApp();
    TempDir bin;
    const std::string log = bin.file("calls.txt");
    bin.write("spd-say", "#!/bin/sh\nfor a in \"$@\"; do printf '%s|' \"$a\"; done >> '" + log +
                             "'\necho >> '" + log +
                             "'\ncase \"$*\" in *fail*) exit 3;; *slow*) sleep 30;; esac\n");
    std::filesystem::permissions(bin.file("spd-say"), std::filesystem::perms::owner_all);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(bin.str()) + ":" + path);

    ProcessSpeechEngine engine({{"spd-say", "cmn", "speech-dispatcher: Chinese", "cmn"}});
    std::vector<std::array<int, 3>> steps;
    bool ended = false;
    QString failure;
    QObject::connect(&engine, &ProcessSpeechEngine::progress, [&](int s, int n, int pc) {
        steps.push_back({s, n, pc});
    });
    QObject::connect(&engine, &ProcessSpeechEngine::finished, [&] { ended = true; });
    QObject::connect(&engine, &ProcessSpeechEngine::failed, [&](const QString& m) { failure = m; });
    engine.speak("道可道，非常道。名可名，非常名。-无名天地之始");
    EXPECT_TRUE(waitFor([&] { return ended || !failure.isEmpty(); }));
    EXPECT_TRUE(failure.isEmpty()) << failure.toStdString();
    EXPECT_EQ(steps,
              (std::vector<std::array<int, 3>>{{1, 3, 0}, {2, 3, 35}, {3, 3, 70}, {3, 3, 100}}));
    const std::string calls = bin.read("calls.txt");
    EXPECT_NE(calls.find("-l|cmn|"), std::string::npos);
    EXPECT_NE(calls.find("|--|道可道，非常道。|\n"), std::string::npos) << calls;
    EXPECT_NE(calls.find("|--|-无名天地之始|\n"), std::string::npos) << calls;

    // A failing client ends the reading and says so.
    engine.speak("fail now.");
    EXPECT_TRUE(waitFor([&] { return !failure.isEmpty(); }));
    EXPECT_TRUE(failure.contains("退出码 3")) << failure.toStdString();

    // Stopping mid-sentence ends the client and cancels what the server still speaks.
    failure.clear();
    engine.speak("slow one. slow two.");
    EXPECT_TRUE(waitFor([&] { return fileHas(bin, "calls.txt", "slow one"); }));
    engine.stop();
    // The cancel call has come, and the engine runs no client: one going on to the next
    // sentence would be running (each "slow" one for 30 s).
    EXPECT_TRUE(waitFor([&] {
        return fileHas(bin, "calls.txt", "-C|") && engine.findChildren<QProcess*>().isEmpty();
    }));
    qputenv("PATH", path);
    EXPECT_TRUE(failure.isEmpty());
    EXPECT_NE(bin.read("calls.txt").find("-C|"), std::string::npos);
    EXPECT_EQ(bin.read("calls.txt").find("slow two"), std::string::npos);
}
