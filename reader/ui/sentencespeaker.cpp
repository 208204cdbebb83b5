// Speaking sentence by sentence (see sentencespeaker.h).
#include "reader/ui/sentencespeaker.h"

#include "reader/ui/speechengine.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace folio::readerui {

// One sentence on its way to sound: rendered into `file` by a synthesiser, or, for
// speech-dispatcher, which speaks itself and renders nothing, spoken by `process` when played.
struct SentenceSpeaker::Rendering {
    std::string text;
    QString key; // the voice and rate it was rendered with
    const SpeechVoice* voice = nullptr;
    QString program;
    QString file;
    QProcess* process = nullptr;
    QTimer* watchdog = nullptr;
    bool ready = false;
    bool waiting = false; // asked to play before it was rendered
    QString error;

    bool direct() const { return voice && voice->program == SpeechDispatcherProgram; }
    void end() {
        if (watchdog)
            watchdog->deleteLater();
        watchdog = nullptr;
        if (process) {
            process->disconnect();
            process->kill();
            process->waitForFinished(1000);
            process->deleteLater();
        }
        process = nullptr;
    }
    ~Rendering() { end(); }
};

SentenceSpeaker::SentenceSpeaker(ProcessSpeechEngine* voices, QObject* parent)
    : QObject(parent), m_voices(voices) {}

SentenceSpeaker::~SentenceSpeaker() {
    m_current.reset();
    m_ahead.reset();
}

QString SentenceSpeaker::noAudioReason() {
    if (QMediaDevices::defaultAudioOutput().isNull())
        return QStringLiteral("没有可用的声音设备，不能朗读。");
    return {};
}

QString SentenceSpeaker::settingsKey() const {
    return QStringLiteral("%1/%2").arg(m_voices->voiceChoice()).arg(m_voices->rate());
}

std::unique_ptr<SentenceSpeaker::Rendering> SentenceSpeaker::render(const std::string& text) {
    auto r = std::make_unique<Rendering>();
    r->text = text;
    r->key = settingsKey();
    const int chosen = m_voices->voiceFor(text);
    if (chosen < 0) {
        r->error = QStringLiteral("没有找到语音合成程序（espeak-ng、flite 或 speech-dispatcher）");
        return r;
    }
    r->voice = &m_voices->installed()[static_cast<std::size_t>(chosen)];
    r->program = QStandardPaths::findExecutable(r->voice->program);
    if (r->program.isEmpty()) {
        r->error = QStringLiteral("找不到程序 ") + r->voice->program;
        return r;
    }
    if (r->direct()) {
        r->ready = true; // spoken when played
        return r;
    }
    if (!m_dir) {
        m_dir = std::make_unique<QTemporaryDir>();
        if (!m_dir->isValid()) {
            r->error = QStringLiteral("不能建立临时文件夹：") + m_dir->errorString();
            m_dir.reset();
            return r;
        }
    }
    // Files in turn: the one playing, the one rendered ahead and the one being let go.
    const unsigned n = m_files++ % 4;
    const QString textFile = m_dir->filePath(QStringLiteral("sentence-%1.txt").arg(n));
    r->file = m_dir->filePath(QStringLiteral("sentence-%1.wav").arg(n));
    QFile::remove(r->file);
    QFile out(textFile);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        out.write(QByteArray::fromStdString(text)) != static_cast<qint64>(text.size())) {
        r->error = QStringLiteral("不能写入 ") + textFile;
        return r;
    }
    out.close();
    Rendering* raw = r.get();
    r->process = new QProcess(this);
    r->process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(r->process, &QProcess::finished, this, [this, raw](int code, QProcess::ExitStatus s) {
        rendered(raw, code, s == QProcess::CrashExit);
    });
    connect(r->process, &QProcess::errorOccurred, this, [this, raw](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            rendered(raw, -1, false);
    });
    // A synthesiser that hangs on one sentence costs that sentence only.
    r->watchdog = new QTimer(this);
    r->watchdog->setSingleShot(true);
    connect(r->watchdog, &QTimer::timeout, this, [this, raw] { rendered(raw, -2, false); });
    r->watchdog->start(sentenceTimeoutMs(text));
    r->process->start(r->program, renderArguments(*r->voice, m_voices->rate(), textFile, r->file));
    return r;
}

void SentenceSpeaker::rendered(Rendering* r, int exitCode, bool crashed) {
    r->end();
    if (crashed || exitCode != 0 || QFileInfo(r->file).size() <= WavHeaderSize)
        r->error = r->voice->program + QStringLiteral("：") +
                   (crashed          ? QStringLiteral("程序异常终止")
                    : exitCode == -2 ? QStringLiteral("没有回应")
                    : exitCode != 0  ? QStringLiteral("退出码 %1").arg(exitCode)
                                     : QStringLiteral("没有产生声音"));
    else
        r->ready = true;
    if (r == m_current.get() && r->waiting && !m_paused) {
        r->waiting = false;
        if (r->error.isEmpty())
            play();
        else
            emit failed(r->error);
    }
}

void SentenceSpeaker::speak(const std::string& sentence, const std::string& next) {
    if (m_player)
        m_player->stop();
    m_playing = false;
    m_paused = false;
    if (m_current)
        m_current->end();
    if (m_ahead && m_ahead->text == sentence && m_ahead->key == settingsKey())
        m_current = std::move(m_ahead);
    else
        m_current = render(sentence);
    // Rendered while this one plays; a voice or rate changed since is taken from the next.
    renderAhead(next);
    if (!m_current->error.isEmpty()) {
        // Told after this call, as a rendering that fails later is.
        QTimer::singleShot(0, this, [this, why = m_current->error] { emit failed(why); });
        return;
    }
    if (m_current->ready)
        play();
    else
        m_current->waiting = true;
}

void SentenceSpeaker::renderAhead(const std::string& next) {
    if (!m_ahead || m_ahead->text != next || m_ahead->key != settingsKey())
        m_ahead = next.empty() ? nullptr : render(next);
}

void SentenceSpeaker::play() {
    Rendering* r = m_current.get();
    if (!r || m_paused)
        return;
    const int volume = static_cast<int>(m_voices->volume() * m_factor);
    if (r->direct()) {
        r->process = new QProcess(this);
        r->process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        r->process->setStandardOutputFile(QProcess::nullDevice());
        connect(r->process, &QProcess::finished, this, [this, r](int code, QProcess::ExitStatus s) {
            const bool ok = code == 0 && s == QProcess::NormalExit;
            r->end();
            m_playing = false;
            if (ok)
                emit ended();
            else
                emit failed(SpeechDispatcherProgram + QStringLiteral("：退出码 %1").arg(code));
        });
        r->process->start(r->program, speechDispatcherArguments(*r->voice, m_voices->rate(), volume,
                                                                QString::fromStdString(r->text)));
        m_playing = true;
        emit started();
        return;
    }
    if (!m_player) {
        // The sound system is set up at the first sentence, not when the reader starts.
        m_player = new QMediaPlayer(this);
        m_audio = new QAudioOutput(this);
        m_player->setAudioOutput(m_audio);
        connect(m_player, &QMediaPlayer::playbackStateChanged, this,
                [this](QMediaPlayer::PlaybackState state) {
                    if (state == QMediaPlayer::PlayingState && !m_playing) {
                        m_playing = true;
                        emit started();
                    }
                });
        connect(m_player, &QMediaPlayer::mediaStatusChanged, this,
                [this](QMediaPlayer::MediaStatus status) {
                    if (status == QMediaPlayer::EndOfMedia && m_playing) {
                        m_playing = false;
                        emit ended();
                    }
                });
        connect(m_player, &QMediaPlayer::errorOccurred, this,
                [this](QMediaPlayer::Error, const QString& message) {
                    if (!m_current)
                        return;
                    m_playing = false;
                    emit failed(QStringLiteral("播放失败：") + message);
                });
    }
    m_audio->setVolume(static_cast<float>(volume) / 100.0f);
    m_player->setSource(QUrl::fromLocalFile(r->file));
    m_player->play();
}

void SentenceSpeaker::pause() {
    if (m_paused || !m_current)
        return;
    m_paused = true;
    if (m_current->direct()) {
        m_current->end(); // speech-dispatcher's client cannot pause: the sentence starts again
        m_playing = false;
    } else if (m_player) {
        m_player->pause();
    }
}

void SentenceSpeaker::stop() {
    if (m_player)
        m_player->stop();
    m_playing = false;
    m_paused = false;
    m_current.reset();
    m_ahead.reset();
}

void SentenceSpeaker::setVolumeFactor(double factor) {
    m_factor = std::clamp(factor, 0.0, 1.0);
    if (m_audio)
        m_audio->setVolume(static_cast<float>(m_voices->volume() * m_factor) / 100.0f);
}

} // namespace folio::readerui
