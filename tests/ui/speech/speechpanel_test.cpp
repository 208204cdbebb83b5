// The speech panel over the machine's own synthesisers: a new Voice.ini names the voice the
// engine offers first, an old file's vendor voice falls back to it, and a text read aloud
// shows which sentence is being read. speech-dispatcher's client is replaced by a script, so
// no sound device is needed.
#include "core/text.h"
#include "reader/core/voice.h"
#include "reader/ui/soundplayer.h"
#include "reader/ui/speechpanel.h"
#include "tests/tools/testdir.h"

#include <QComboBox>
#include <QLabel>
#include <QSlider>
#include <QStandardPaths>
#include <QTest>
#include <QWidget>

#include <filesystem>

using folio::readerui::SoundPlayer;
using folio::readerui::SpeechPanel;

namespace {

template <class T> T* child(QObject* parent, const char* name) {
    return parent->findChild<T*>(QString::fromLatin1(name));
}

} // namespace

class SpeechPanelTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void newVoiceIniNamesTheEnginesVoice();
    void vendorVoiceFallsBackToTheLanguagePickedVoice();
    void readingShowsItsSentenceAndShare();
    void cleanupTestCase();

  private:
    TempDir m_bin;
    QByteArray m_path;
};

void SpeechPanelTest::initTestCase() {
    if (QStandardPaths::findExecutable(QStringLiteral("espeak-ng")).isEmpty())
        QSKIP("espeak-ng is not installed (Debian package espeak-ng)");
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
    QTRY_COMPARE_WITH_TIMEOUT(share->text(), QStringLiteral("100%"), 20000);
    QCOMPARE(sentence->text(), QStringLiteral("3/3句"));
    QCOMPARE(child<QSlider>(&window, "Slider1")->maximum(), 3);
    QCOMPARE(QString::fromStdString(m_bin.read("spoken.txt")),
             QStringLiteral("道可道，非常道。\n名可名，非常名。\n无名天地之始。\n"));
}

QTEST_MAIN(SpeechPanelTest)
#include "speechpanel_test.moc"
