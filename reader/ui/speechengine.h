// The Linux readers' speech engine: the machine's synthesisers (espeak-ng and flite render the
// text to a WAV file in a child process that a media player plays; speech-dispatcher's client
// speaks it sentence by sentence), with a first voice that picks one by the text's language.
#pragma once

#include "core/error.h"
#include "reader/core/voice.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QAudioOutput;
class QMediaPlayer;
class QProcess;
class QTemporaryDir;
class QTimer;

namespace folio::readerui {

// One voice of one synthesiser program.
struct SpeechVoice {
    QString program;     // "espeak-ng", "flite" or "spd-say"
    QString id;          // what the program's voice option takes (spd-say: its language option)
    QString description; // what the voice list shows
    QString language;    // the voice's language code: "cmn", "en-us", "en" ...
};

// The voices of every synthesiser found on the machine: Chinese voices first, then English
// ones, then the rest in the programs' own order.
std::vector<SpeechVoice> installedVoices();

// What identifies this machine's synthesisers: each program's path, size and time, and
// whether speech-dispatcher's espeak-ng module is there.
QString synthesiserKey();
// The voices a cache file holds for `key`; empty when the file is missing, was written for
// other synthesisers, or is damaged.
std::vector<SpeechVoice> readVoiceCache(const QString& file, const QString& key);
folio::Result<void> writeVoiceCache(const QString& file, const QString& key,
                                    const std::vector<SpeechVoice>& voices);
// installedVoices(), kept in the user's cache folder: listing them costs a start of the
// reader two child processes, and the list only changes when the synthesisers do.
std::vector<SpeechVoice> installedVoicesCached();

// Parses the table `espeak-ng --voices` prints.
std::vector<SpeechVoice> parseEspeakVoices(const QString& table);
// Parses the line `flite -lv` prints ("Voices available: kal slt ...").
std::vector<SpeechVoice> parseFliteVoices(const QString& line);
// The voices speech-dispatcher offers through its espeak-ng module: one for Mandarin and one
// for English when espeak-ng has them. Asking speech-dispatcher itself for its list takes
// seconds (it starts its server first), too long for a reader's start.
std::vector<SpeechVoice> speechDispatcherVoices(const std::vector<SpeechVoice>& espeak);
// Whether speech-dispatcher's client and its espeak-ng module are installed.
bool speechDispatcherInstalled();

// Whether `voice` reads text of `language`.
bool speaksLanguage(const SpeechVoice& voice, folio::reader::TextLanguage language);
// The first of `voices` that reads `language`; the first voice when none does; -1 when the
// list is empty.
int pickVoice(const std::vector<SpeechVoice>& voices, folio::reader::TextLanguage language);

// The arguments that render `textFile` into `wavFile` with `voice` (espeak-ng or flite) at a
// rate of -10..10.
QStringList renderArguments(const SpeechVoice& voice, int rate, const QString& textFile,
                            const QString& wavFile);
// The arguments that make speech-dispatcher speak one sentence and wait until it is spoken.
QStringList speechDispatcherArguments(const SpeechVoice& voice, int rate, int volume,
                                      const QString& sentence);

// A WAV header alone is 44 bytes: a rendering not longer holds no sound.
inline constexpr qint64 WavHeaderSize = 44;
// speech-dispatcher gives no sign when it cannot reach a sound device: its client then waits
// for ever. A sentence that takes far longer than any speaker would is given up.
inline int sentenceTimeoutMs(const std::string& sentence) {
    return 15'000 + static_cast<int>(sentence.size()) * 300;
}
inline const QString SpeechDispatcherProgram = QStringLiteral("spd-say");

// The synthesiser runs as a child process for each reading, so a fault inside it ends that
// reading only, never the window. Reading is asynchronous: speak() returns at once.
//
// The list voices() returns starts with folio::reader::AutomaticVoiceName, which reads each
// text with the first installed voice of its language; the installed voices follow.
class ProcessSpeechEngine : public QObject, public folio::reader::SpeechEngine {
    Q_OBJECT
  public:
    explicit ProcessSpeechEngine(QObject* parent = nullptr);
    ProcessSpeechEngine(std::vector<SpeechVoice> voices, QObject* parent = nullptr);
    ~ProcessSpeechEngine() override;

    bool isAvailable() const { return !m_voices.empty(); }

    std::vector<std::string> voices() const override;
    std::vector<std::string> outputs() const override;
    bool setVoice(int index) override;
    bool setOutput(int index) override;
    bool setFormatType(int type) override;
    bool setRate(int rate) override;
    bool setVolume(int volume) override;
    void speak(const std::string& text) override;
    void stop() override;

    int formatType() const { return m_formatType; }
    // The installed voice that reads `text` with the voice chosen now (index into the
    // installed list; -1 when there is none).
    int voiceFor(const std::string& text) const;
    const std::vector<SpeechVoice>& installed() const { return m_voices; }
    // The voice chosen (index into voices()), the rate and the volume, as set now.
    int voiceChoice() const { return m_voice; }
    int rate() const { return m_rate; }
    int volume() const { return m_volume; }
    // The player of the spoken text, made on first use.
    QMediaPlayer* player();
    // The file the last reading was rendered into (empty before the first).
    QString lastRendering() const { return m_wavFile; }
    // Where the reading stands now.
    folio::reader::ReadingProgress readingProgress() const { return m_progress; }

  signals:
    // The text is being rendered, is playing (or speaking), or has been read to its end.
    void renderingStarted();
    void playingStarted();
    void finished();
    // Which sentence is being read, of how many, and the share read, as the reading goes.
    void progress(int sentence, int sentences, int percent);
    // A reading that could not be rendered; the message names the program and the fault.
    void failed(const QString& message);

  private:
    void rendered(int exitCode, bool crashed);
    void killRenderer();
    void speakNextSentence();
    void sentenceSpoken(int exitCode, bool crashed);
    void report(double fraction);
    QString writeTextFile(const std::string& text);

    std::vector<SpeechVoice> m_voices;
    int m_voice = -1; // index into voices(): 0 is the automatic voice
    int m_rate = 0;
    int m_volume = folio::reader::DefaultVolume;
    int m_formatType = 0;
    // The renderings: their folder, how many there were (two files take turns), the last one.
    std::unique_ptr<QTemporaryDir> m_dir;
    int m_readings = 0;
    QString m_wavFile;
    // The synthesiser at work, and the watchdog that ends it when it hangs.
    QProcess* m_process = nullptr;
    QTimer* m_watchdog = nullptr;
    // What plays a rendering.
    QMediaPlayer* m_player = nullptr;
    QAudioOutput* m_audio = nullptr;
    // The reading under way: its sentences, and for speech-dispatcher the voice and the next
    // sentence to speak.
    std::vector<std::string> m_sentences;
    const SpeechVoice* m_speaking = nullptr;
    std::size_t m_nextSentence = 0;
    folio::reader::ReadingProgress m_progress;
};

} // namespace folio::readerui
