// The readers' speech engine: the machine's synthesiser programs (espeak-ng, flite) render the
// text to a WAV file in a child process, and a media player plays it.
#pragma once

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

namespace folio::qt {

// One voice of one synthesiser program.
struct SpeechVoice {
    QString program;     // "espeak-ng" or "flite"
    QString id;          // what the program's voice option takes
    QString description; // what the voice list shows
};

// The voices of every synthesiser program found on the PATH: Chinese voices first, then
// English ones, then the rest in the programs' own order.
std::vector<SpeechVoice> installedVoices();

// Parses the table `espeak-ng --voices` prints.
std::vector<SpeechVoice> parseEspeakVoices(const QString& table);
// Parses the line `flite -lv` prints ("Voices available: kal slt ...").
std::vector<SpeechVoice> parseFliteVoices(const QString& line);

// The arguments that render `textFile` into `wavFile` with `voice` at a rate of -10..10.
QStringList renderArguments(const SpeechVoice& voice, int rate, const QString& textFile,
                            const QString& wavFile);

// The synthesiser runs as a child process for each reading, so a fault inside it ends that
// reading only, never the window. Reading is asynchronous: speak() returns at once.
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
    // The player of the spoken text: its position and duration are the reading's progress.
    QMediaPlayer* player() const { return m_player; }
    // The file the last reading was rendered into (empty before the first).
    QString lastRendering() const { return m_wavFile; }

  signals:
    // The text is being rendered, is playing, or has ended.
    void renderingStarted();
    void playingStarted();
    // A reading that could not be rendered; the message names the program and the fault.
    void failed(const QString& message);

  private:
    void rendered(int exitCode, bool crashed);
    void killRenderer();

    std::vector<SpeechVoice> m_voices;
    int m_voice = -1;
    int m_rate = 0;
    int m_volume = folio::reader::DefaultVolume;
    int m_formatType = 0;
    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess* m_process = nullptr;
    QMediaPlayer* m_player = nullptr;
    QAudioOutput* m_audio = nullptr;
    QString m_wavFile;
    int m_readings = 0;
};

} // namespace folio::qt
