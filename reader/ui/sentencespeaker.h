// Speaks a book one sentence at a time with the reading window's voice: each sentence rendered
// into a sound file by the synthesiser while the one before it plays, so sentence follows
// sentence without a gap; pause and resume in the player itself, and a volume that a sleep timer
// can lower.
#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <string>

class QAudioOutput;
class QMediaPlayer;
class QTemporaryDir;

namespace folio::readerui {

class ProcessSpeechEngine;

class SentenceSpeaker : public QObject {
    Q_OBJECT
  public:
    // `voices` gives the voice for each sentence, the rate and the volume as they are when the
    // sentence is rendered or played.
    explicit SentenceSpeaker(ProcessSpeechEngine* voices, QObject* parent = nullptr);
    ~SentenceSpeaker() override;

    // Plays `sentence` (at once when it was rendered ahead) and renders `next` ahead ("" when
    // none follows).
    void speak(const std::string& sentence, const std::string& next);
    // Renders `next` ahead while the sentence plays (one learnt after speak(), as the first of
    // the next page).
    void renderAhead(const std::string& next);
    // Stops the sound where it is; the reading goes on with speak(), the sentence again.
    void pause();
    void stop();
    // 0 to 1, over the voice's own volume: the sleep timer's fade.
    void setVolumeFactor(double factor);

    // Why the machine cannot play sound, or "" when it can.
    static QString noAudioReason();

  signals:
    // The sentence's sound has begun; it has played to its end; it could not be rendered or
    // played (the reason names the program or the device).
    void started();
    void ended();
    void failed(const QString& why);

  private:
    struct Rendering;
    std::unique_ptr<Rendering> render(const std::string& text);
    void rendered(Rendering* rendering, int exitCode, bool crashed);
    void play();
    QString settingsKey() const;

    ProcessSpeechEngine* m_voices;
    std::unique_ptr<QTemporaryDir> m_dir;
    unsigned m_files = 0;
    std::unique_ptr<Rendering> m_current;
    std::unique_ptr<Rendering> m_ahead;
    QMediaPlayer* m_player = nullptr;
    QAudioOutput* m_audio = nullptr;
    double m_factor = 1.0;
    bool m_paused = false;
    bool m_playing = false;
};

} // namespace folio::readerui
