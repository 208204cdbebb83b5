// The reading window's media player WMPlayer1: sound links played from the book's own bytes,
// recorded voice files, and play / pause / stop. The media framework behind it is only started
// for the first sound: starting it costs a reader's launch a scan of the machine's media
// plug-ins, and most books are read without a sound.
#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <string>

class QAudioOutput;
class QIODevice;
class QMediaPlayer;

namespace folio::book {
class BookImage;
}

namespace folio::readerui {

class SoundPlayer : public QObject {
    Q_OBJECT
  public:
    explicit SoundPlayer(QObject* parent);
    ~SoundPlayer() override;

    // The player, made on first use.
    QMediaPlayer* player();
    // Whether the player was made (nothing has played while it was not).
    bool hasPlayer() const { return m_player != nullptr; }
    // The address of what the player was last given ("" while nothing was).
    QString url() const { return m_url; }

    // Plays the page resource `name` of the book (its address `url`); a name the book does
    // not hold leaves the player silent.
    void playBookSound(const std::shared_ptr<const book::BookImage>& book, const std::string& name,
                       const QString& url);
    // Plays a file (a recorded voice).
    void playFile(const QString& path);

    // The player buttons: play does nothing while no media was ever given.
    void play();
    void pause();
    void stop();
    // Lets go of the book's bytes (before the book is closed).
    void release();

  signals:
    // The media has stopped (at its end or by the stop button): the toolbar shows play again.
    // Play and pause themselves swap the buttons in reader/core's commands.
    void pauseButtonShown(bool shown);

  private:
    QMediaPlayer* m_player = nullptr;
    QAudioOutput* m_audio = nullptr;
    std::unique_ptr<QIODevice> m_sound;
    QString m_url;
};

} // namespace folio::readerui
