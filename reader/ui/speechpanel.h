// The reading window's speech and player panel Picture1: voice list, rate and volume, the
// recorded-voice switch, the player's progress slider and time labels, and what they drive
// (reading aloud, the voice settings window, Voice.ini kept up to date).
#pragma once

#include "reader/ui/speechengine.h"

#include <QFrame>
#include <QFuture>
#include <QString>

#include <functional>
#include <memory>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;
class QTimer;

namespace folio::reader {
class SpeechEngine;
struct VoiceControls;
} // namespace folio::reader
namespace folio {
class Observer;
}

namespace folio::readerui {

class SoundPlayer;

struct SpeechOptions {
    // The speech engine; null means the platform's own.
    folio::reader::SpeechEngine* speech = nullptr;
    // Makes a voice for the settings window; empty means the platform's own (or, when
    // `speech` is given, that one).
    std::function<std::unique_ptr<folio::reader::SpeechEngine>()> makeSpeech;
    // Where the settings window's boxes go; null means the real ones.
    folio::Observer* dialogs = nullptr;
};

class SpeechPanel : public QFrame {
    Q_OBJECT
  public:
    SpeechPanel(QWidget* window, SoundPlayer* sound, SpeechOptions options);
    ~SpeechPanel() override;

    // Fills the lists, creates Voice.ini when missing and applies it; false when a step
    // failed (the lists may then be partly filled).
    bool loadVoice(const QString& programFolder);
    // The same without holding up the window: an engine given has its voices at hand and is
    // loaded at once; the platform's own asks the machine's synthesisers for theirs on a worker
    // thread (two child processes on a first start) and the lists fill when they have answered.
    // A command that needs the voice before then waits for the answer.
    void loadVoiceLater(const QString& programFolder);
    // Whether the lists were filled (by either of the above).
    bool voiceLoaded() const { return m_voice != nullptr; }

    // Reads `selection` aloud, or plays its recorded voice when the switch is on.
    void readAloud(const QString& selection);
    void stopReading();
    // The machine's synthesisers, for reading the book sentence by sentence; null when the
    // recorded voice is switched on or the engine is not ours.
    ProcessSpeechEngine* sentenceVoices();
    // The voice settings window, modal.
    void openSettings(QWidget* parent);

    // Starts the player display (every 100 ms).
    void startDisplay();
    QTimer* timer() const { return m_timer1; }

  signals:
    // A reading that cannot be rendered, told once rather than left as a silent button.
    void speechFailed(const QString& message);
    // loadVoiceLater() has filled the lists; false as for loadVoice().
    void voiceReady(bool ok);

  private:
    void useOwnEngine(std::unique_ptr<ProcessSpeechEngine> engine);
    bool applyVoice();
    // Finishes a loadVoiceLater() still waiting for the synthesisers' answer.
    void finishVoice();
    void showSpeechControls();
    void keepVoiceSettings();
    void timerTick();

    SoundPlayer* m_sound;
    SpeechOptions m_options;
    QString m_programFolder;
    std::unique_ptr<folio::reader::SpeechEngine> m_ownSpeech;
    ProcessSpeechEngine* m_processSpeech = nullptr; // m_ownSpeech, when it is ours
    folio::reader::SpeechEngine* m_speech = nullptr;
    std::unique_ptr<folio::reader::VoiceControls> m_voice;
    QFuture<std::vector<SpeechVoice>> m_voiceListing; // loadVoiceLater(), until used
    bool m_filling = false;
    std::string m_savedFolder; // the folder Voice.ini holds (Text1 keeps the one in use)

    QCheckBox* m_check1 = nullptr;
    QComboBox* m_comVoice = nullptr;
    QComboBox* m_comOutput = nullptr;
    QComboBox* m_comFormat = nullptr;
    QLineEdit* m_text1 = nullptr;
    QSlider* m_slider1 = nullptr;
    QSlider* m_volume = nullptr;
    QSlider* m_rate = nullptr;
    QLabel* m_label7 = nullptr;
    QLabel* m_label8 = nullptr;
    QTimer* m_timer1 = nullptr;
};

} // namespace folio::readerui
