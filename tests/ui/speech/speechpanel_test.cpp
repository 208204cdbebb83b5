// The speech panel over the machine's own synthesisers: a new Voice.ini names the voice the
// engine offers first, an old file's vendor voice falls back to it, a text read aloud shows
// which sentence is being read, and the voices asked for without waiting arrive later (or at
// once for a command that needs them). speech-dispatcher's client is replaced by a script, so
// no sound device is needed. The sound player only starts the media framework for a sound.
#include "core/text.h"
#include "reader/core/voice.h"
#include "reader/ui/soundplayer.h"
#include "reader/ui/speechpanel.h"
#include "tests/tools/testdir.h"
#include "tests/tools/waits.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFutureWatcher>
#include <QLabel>
#include <QMediaPlayer>
#include <QPointer>
#include <QSignalSpy>
#include <QSlider>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <filesystem>

using folio::readerui::SoundPlayer;
using folio::readerui::SpeechPanel;

namespace {

template <class T> T* child(QObject* parent, const char* name) {
    return parent->findChild<T*>(QString::fromLatin1(name));
}

// A speech panel in a window of its own, with its program folder.
struct PanelWindow {
    TempDir folder;
    QWidget window;
    SoundPlayer sound{&window};
    SpeechPanel* panel = new SpeechPanel(&window, &sound, {});
    QString programFolder() const { return QString::fromStdString(folder.str()); }
    QComboBox* voices() { return child<QComboBox>(&window, "ComVoice"); }
};

} // namespace

class SpeechPanelTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void playerIsMadeForTheFirstSoundOnly();
    void newVoiceIniNamesTheEnginesVoice();
    void vendorVoiceFallsBackToTheLanguagePickedVoice();
    void readingShowsItsSentenceAndShare();
    void voicesAskedForLaterArriveWithoutHoldingTheWindow();
    void commandBeforeTheVoicesArriveWaitsForThem();
    void cleanupTestCase();

  private:
    void needEspeak();

    bool m_espeak = false;
    TempDir m_bin;
    QByteArray m_path;
};

void SpeechPanelTest::needEspeak() {
    if (!m_espeak)
        QSKIP("espeak-ng is not installed (Debian package espeak-ng)");
}

void SpeechPanelTest::initTestCase() {
    m_espeak = !QStandardPaths::findExecutable(QStringLiteral("espeak-ng")).isEmpty();
    // speech-dispatcher's client: notes each sentence and "speaks" it at once.
    m_bin.write("spd-say", "#!/bin/sh\nfor a in \"$@\"; do last=\"$a\"; done\necho \"$last\" >> '" +
                               m_bin.file("spoken.txt") + "'\n");
    std::filesystem::permissions(m_bin.file("spd-say"), std::filesystem::perms::owner_all);
    m_path = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(m_bin.str()) + ":" + m_path);
    // The engine keeps its voice list in the cache folder: the test's own.
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(m_bin.file("cache")));
}

void SpeechPanelTest::cleanupTestCase() {
    qputenv("PATH", m_path);
}

void SpeechPanelTest::newVoiceIniNamesTheEnginesVoice() {
    needEspeak();
    TempDir folder;
    QWidget window;
    SoundPlayer sound(&window);
    auto* panel = new SpeechPanel(&window, &sound, {});
    QVERIFY(panel->loadVoice(QString::fromStdString(folder.str())));
    const auto lines = folio::readAnsiLines(folder.file("Voice.ini"));
    QVERIFY(lines.has_value());
    QCOMPARE(QString::fromStdString(lines->at(0)), QStringLiteral("语音=按文字的语言自动选择"));
    auto* voices = child<QComboBox>(&window, "ComVoice");
    QCOMPARE(voices->currentIndex(), 0);
    QCOMPARE(voices->currentText(), QStringLiteral("按文字的语言自动选择"));
    QVERIFY(voices->count() > 1);
}

void SpeechPanelTest::vendorVoiceFallsBackToTheLanguagePickedVoice() {
    needEspeak();
    TempDir folder;
    folder.write("Voice.ini", folio::toAnsi("语音=Microsoft Sam\r\n语速=4\r\n音量=60\r\n"));
    QWidget window;
    SoundPlayer sound(&window);
    auto* panel = new SpeechPanel(&window, &sound, {});
    // Not a failure: the reading window keeps its caption and applies the lines after it.
    QVERIFY(panel->loadVoice(QString::fromStdString(folder.str())));
    QCOMPARE(child<QComboBox>(&window, "ComVoice")->currentIndex(), 0);
    QCOMPARE(child<QSlider>(&window, "Rate")->value(), 4);
    QCOMPARE(child<QSlider>(&window, "Volume")->value(), 60);
}

void SpeechPanelTest::readingShowsItsSentenceAndShare() {
    needEspeak();
    TempDir folder;
    QWidget window;
    SoundPlayer sound(&window);
    auto* panel = new SpeechPanel(&window, &sound, {});
    QVERIFY(panel->loadVoice(QString::fromStdString(folder.str())));
    auto* voices = child<QComboBox>(&window, "ComVoice");
    const int dispatcher =
        voices->findText(QStringLiteral("speech-dispatcher: Chinese"), Qt::MatchStartsWith);
    if (dispatcher < 0)
        QSKIP("speech-dispatcher's espeak-ng module is not installed "
              "(Debian package speech-dispatcher-espeak-ng)");
    voices->setCurrentIndex(dispatcher);
    // The choice is kept in Voice.ini at once.
    QVERIFY(folio::readAnsiLines(folder.file("Voice.ini"))
                ->at(0)
                .starts_with("语音=speech-dispatcher: Chinese"));

    panel->readAloud(QStringLiteral("道可道，非常道。名可名，非常名。无名天地之始。"));
    auto* sentence = child<QLabel>(&window, "Label7");
    auto* share = child<QLabel>(&window, "Label8");
    FOLIO_WAIT_COMPARE(share->text(), QStringLiteral("100%"));
    QCOMPARE(sentence->text(), QStringLiteral("3/3句"));
    QCOMPARE(child<QSlider>(&window, "Slider1")->maximum(), 3);
    QCOMPARE(QString::fromStdString(m_bin.read("spoken.txt")),
             QStringLiteral("道可道，非常道。\n名可名，非常名。\n无名天地之始。\n"));
}

void SpeechPanelTest::playerIsMadeForTheFirstSoundOnly() {
    TempDir folder;
    QWidget window;
    SoundPlayer sound(&window);
    // The control carries its name before the player exists.
    QCOMPARE(window.findChild<QObject*>(QStringLiteral("WMPlayer1")), &sound);
    // Nothing that has no sound to play starts the media framework, nor fails without it.
    sound.play(); // no media was ever given
    sound.pause();
    sound.stop();
    sound.release();
    auto* panel = new SpeechPanel(&window, &sound, {});
    QSignalSpy ticks(panel->timer(), &QTimer::timeout);
    panel->startDisplay();
    FOLIO_WAIT_VERIFY(ticks.count() >= 2); // two ticks of the panel's display have passed
    auto* slider = child<QSlider>(&window, "Slider1");
    emit slider->sliderMoved(3);
    QVERIFY(!sound.hasPlayer());
    QVERIFY(sound.url().isEmpty());

    // A sound file makes it, under the same name, and the buttons then drive it.
    folder.write("voice.wav", "RIFF");
    sound.playFile(QString::fromStdString(folder.file("voice.wav")));
    QVERIFY(sound.hasPlayer());
    QCOMPARE(sound.player()->objectName(), QStringLiteral("WMPlayer1"));
    QCOMPARE(sound.player()->source(),
             QUrl::fromLocalFile(QString::fromStdString(folder.file("voice.wav"))));
    sound.stop();
    QCOMPARE(sound.player()->playbackState(), QMediaPlayer::StoppedState);
    // Letting go of the bytes clears what the player was given.
    sound.release();
    QVERIFY(sound.player()->source().isEmpty());
}

void SpeechPanelTest::voicesAskedForLaterArriveWithoutHoldingTheWindow() {
    needEspeak();
    PanelWindow later;
    QSignalSpy ready(later.panel, &SpeechPanel::voiceReady);
    later.panel->loadVoiceLater(later.programFolder());
    // The call came back before the synthesisers were asked to answer.
    QVERIFY(!later.panel->voiceLoaded());
    QCOMPARE(later.voices()->count(), 0);
    QVERIFY(ready.wait(folio::testing::WaitBoundMs));
    QCOMPARE(ready.size(), 1);
    QCOMPARE(ready.at(0).at(0).toBool(), true);
    QVERIFY(later.panel->voiceLoaded());
    QCOMPARE(later.voices()->currentText(), QStringLiteral("按文字的语言自动选择"));
    // The same lists and Voice.ini as a load that waits.
    PanelWindow waited;
    QVERIFY(waited.panel->loadVoice(waited.programFolder()));
    QCOMPARE(later.voices()->count(), waited.voices()->count());
    QCOMPARE(later.folder.read("Voice.ini"), waited.folder.read("Voice.ini"));
    // What the user chooses afterwards is kept as before.
    child<QSlider>(&later.window, "Rate")->setValue(7);
    QVERIFY(folio::readAnsiLines(later.folder.file("Voice.ini"))->at(1) == "语速=7");
}

void SpeechPanelTest::commandBeforeTheVoicesArriveWaitsForThem() {
    needEspeak();
    PanelWindow w;
    QSignalSpy ready(w.panel, &SpeechPanel::voiceReady);
    w.panel->loadVoiceLater(w.programFolder());
    // Stop reading, before any event was handled: the voice is there for it, not skipped.
    w.panel->stopReading();
    QVERIFY(w.panel->voiceLoaded());
    QVERIFY(w.voices()->count() > 1);
    QCOMPARE(ready.size(), 1);
    // The answer arriving afterwards changes nothing. It comes through the panel's watcher of
    // the synthesisers' listing: once the watcher has told it, the panel has taken it.
    // The listing may have ended already, so its end is read, not waited for as a signal.
    QPointer<QFutureWatcherBase> listing = w.panel->findChild<QFutureWatcherBase*>();
    FOLIO_WAIT_VERIFY(!listing || listing->isFinished());
    QCoreApplication::processEvents(); // the watcher's own telling of it
    QCOMPARE(ready.size(), 1);
    QCOMPARE(w.voices()->currentIndex(), 0);
}

QTEST_MAIN(SpeechPanelTest)
#include "speechpanel_test.moc"
