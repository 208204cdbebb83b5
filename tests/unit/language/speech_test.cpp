#include "speech.h"

#include <QCoreApplication>
#include <QTextToSpeech>

#include <gtest/gtest.h>
#include <memory>

using folio::qt::QtSpeechEngine;

namespace {
class AppEnvironment : public ::testing::Environment {
  public:
    void TearDown() override { app.reset(); }
    std::unique_ptr<QCoreApplication> app;
};
AppEnvironment* const g_env =
    static_cast<AppEnvironment*>(::testing::AddGlobalTestEnvironment(new AppEnvironment));

void ensureApp() {
    if (g_env->app)
        return;
    static int argc = 1;
    static char name[] = "speech_tests";
    static char* argv[] = {name, nullptr};
    g_env->app = std::make_unique<QCoreApplication>(argc, argv);
}
} // namespace

TEST(QtSpeech, PrefersFliteAndDrivesItThroughTheEngineInterface) {
    ensureApp();
    if (!QTextToSpeech::availableEngines().contains("flite"))
        GTEST_SKIP() << "the flite speech plug-in is not installed";
    QtSpeechEngine engine;
    ASSERT_EQ(engine.engineName(), "flite");
    ASSERT_TRUE(engine.isAvailable());
    const auto voices = engine.voices();
    ASSERT_FALSE(voices.empty());
    EXPECT_TRUE(engine.setVoice(0));
    EXPECT_FALSE(engine.setVoice(static_cast<int>(voices.size())));
    EXPECT_TRUE(engine.setRate(-10));
    EXPECT_FALSE(engine.setRate(11));
    EXPECT_TRUE(engine.setVolume(0));
    EXPECT_FALSE(engine.setVolume(-1));
    EXPECT_TRUE(engine.setFormatType(38));
    EXPECT_EQ(engine.formatType(), 38);
    EXPECT_FALSE(engine.setFormatType(40));
    EXPECT_EQ(engine.outputs().size(), 1u);
    engine.speak(""); // only stops; must not crash without an audio device
    engine.stop();
}

TEST(QtSpeech, AnUnknownEngineIsUnavailableAndEveryCallIsHarmless) {
    ensureApp();
    QtSpeechEngine engine("no-such-engine");
    EXPECT_FALSE(engine.isAvailable());
    EXPECT_TRUE(engine.voices().empty());
    EXPECT_TRUE(engine.outputs().empty());
    EXPECT_FALSE(engine.setVoice(0));
    engine.speak("x");
    engine.stop();
}
