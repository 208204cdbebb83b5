// The reading window's media player (see soundplayer.h).
#include "reader/ui/soundplayer.h"

#include "core/book.h"
#include "qt/resschemehandler.h"

#include <QAudioOutput>
#include <QIODevice>
#include <QMediaPlayer>
#include <QUrl>

namespace folio::readerui {

SoundPlayer::SoundPlayer(QObject* parent) : QObject(parent) {
    // The control carries the player's name from the start; the player itself comes later.
    setObjectName(QStringLiteral("WMPlayer1"));
}

QMediaPlayer* SoundPlayer::player() {
    if (!m_player) {
        m_player = new QMediaPlayer(this);
        m_player->setObjectName(QStringLiteral("WMPlayer1"));
        m_audio = new QAudioOutput(this);
        m_player->setAudioOutput(m_audio);
        connect(m_player, &QMediaPlayer::playbackStateChanged, this,
                [this](QMediaPlayer::PlaybackState state) {
                    if (state == QMediaPlayer::StoppedState) {
                        emit pauseButtonShown(false);
                    }
                });
    }
    return m_player;
}

SoundPlayer::~SoundPlayer() {
    release();
}

void SoundPlayer::release() {
    // The player may still read from the book's bytes: let it go first.
    if (m_player) {
        m_player->setSource(QUrl());
    }
    m_sound.reset();
}

void SoundPlayer::playBookSound(const std::shared_ptr<const book::BookImage>& book,
                                const std::string& name, const QString& url) {
    m_url = url;
    QMediaPlayer* p = player();
    p->stop();
    release();
    if (book) {
        if (auto data = book->find(name)) {
            m_sound = folio::qt::openBookBytes(book, *data);
            p->setSourceDevice(m_sound.get(), QUrl(m_url));
        }
    }
    p->play();
}

void SoundPlayer::playFile(const QString& path) {
    QMediaPlayer* p = player();
    p->setSource(QUrl::fromLocalFile(path));
    m_sound.reset();
    p->play();
}

void SoundPlayer::play() {
    if (m_url.isEmpty()) {
        return;
    }
    player()->play();
}

void SoundPlayer::pause() {
    if (m_player) {
        m_player->pause();
    }
}

void SoundPlayer::stop() {
    if (m_player) {
        m_player->stop();
    }
}

} // namespace folio::readerui
