// The readers' speech engine over the synthesiser programs (see speech.h).
#include "qt/speech.h"

#include <QAudioOutput>
#include <QFile>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace folio::qt {

namespace {

const QString Espeak = QStringLiteral("espeak-ng");
const QString Flite = QStringLiteral("flite");

// A WAV header alone is 44 bytes: anything not longer holds no sound.
constexpr qint64 WavHeaderSize = 44;

QString runForOutput(const QString& program, const QStringList& arguments) {
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return {};
    QProcess process;
    process.start(path, arguments);
    if (!process.waitForFinished(10'000)) {
        process.kill();
        process.waitForFinished(1'000);
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Chinese voices first, then English ones: a new reader of a Chinese book should hear its
// text, not letters spelled out by a voice of another language.
int languageRank(const SpeechVoice& v) {
    const QString id = v.id.toLower();
    if (id.endsWith(QStringLiteral("/cmn")) || id == QStringLiteral("cmn"))
        return 0;
    if (id.contains(QStringLiteral("/yue")) || id.contains(QStringLiteral("zh")))
        return 1;
    if (v.program == Espeak && id.contains(QStringLiteral("/en")))
        return 2;
    if (v.program == Flite)
        return 3;
    return 4;
}

// SAPI's rate runs from a third of the normal speed (-10) to three times it (10).
double speedFactor(int rate) {
    return std::pow(3.0, std::clamp(rate, folio::reader::MinRate, folio::reader::MaxRate) / 10.0);
}

} // namespace

std::vector<SpeechVoice> parseEspeakVoices(const QString& table) {
    std::vector<SpeechVoice> voices;
    const QStringList lines = table.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        // Pty Language Age/Gender VoiceName File Other-languages
        const QStringList cols = line.simplified().split(QLatin1Char(' '));
        if (cols.size() < 5 || cols[0] == QStringLiteral("Pty"))
            continue;
        bool numeric = false;
        cols[0].toInt(&numeric);
        if (!numeric)
            continue;
        QString name = cols[3];
        name.replace(QLatin1Char('_'), QLatin1Char(' '));
        voices.push_back({Espeak, cols[4], name});
    }
    return voices;
}

std::vector<SpeechVoice> parseFliteVoices(const QString& line) {
    std::vector<SpeechVoice> voices;
    const qsizetype colon = line.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return voices;
    const QStringList names =
        line.mid(colon + 1).simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& name : names) {
        // The talking-clock voice knows only the time of day.
        if (name.endsWith(QStringLiteral("_time")))
            continue;
        voices.push_back({Flite, name, QStringLiteral("flite ") + name});
    }
    return voices;
}

std::vector<SpeechVoice> installedVoices() {
    std::vector<SpeechVoice> voices = parseEspeakVoices(runForOutput(Espeak, {"--voices"}));
    const std::vector<SpeechVoice> flite = parseFliteVoices(runForOutput(Flite, {"-lv"}));
    voices.insert(voices.end(), flite.begin(), flite.end());
    std::stable_sort(voices.begin(), voices.end(), [](const SpeechVoice& a, const SpeechVoice& b) {
        return languageRank(a) < languageRank(b);
    });
    return voices;
}

QStringList renderArguments(const SpeechVoice& voice, int rate, const QString& textFile,
                            const QString& wavFile) {
    const double speed = speedFactor(rate);
    if (voice.program == Flite) {
        return {QStringLiteral("-voice"),
                voice.id,
                QStringLiteral("--setf"),
                QStringLiteral("duration_stretch=%1").arg(1.0 / speed, 0, 'f', 3),
                QStringLiteral("-f"),
                textFile,
                QStringLiteral("-o"),
                wavFile};
    }
    // espeak-ng speaks 175 words a minute by default and accepts 80 to 450.
    const int wpm = std::clamp(static_cast<int>(std::lround(175 * speed)), 80, 450);
    return {QStringLiteral("-v"), voice.id,
            QStringLiteral("-s"), QString::number(wpm),
            QStringLiteral("-b"), QStringLiteral("1"),
            QStringLiteral("-w"), wavFile,
            QStringLiteral("-f"), textFile};
}

ProcessSpeechEngine::ProcessSpeechEngine(QObject* parent)
    : ProcessSpeechEngine(installedVoices(), parent) {}

ProcessSpeechEngine::ProcessSpeechEngine(std::vector<SpeechVoice> voices, QObject* parent)
    : QObject(parent), m_voices(std::move(voices)) {
    m_player = new QMediaPlayer(this);
    m_audio = new QAudioOutput(this);
    m_player->setAudioOutput(m_audio);
    if (!m_voices.empty())
        m_voice = 0;
}

ProcessSpeechEngine::~ProcessSpeechEngine() {
    killRenderer();
    m_player->stop();
}

std::vector<std::string> ProcessSpeechEngine::voices() const {
    std::vector<std::string> names;
    for (const SpeechVoice& v : m_voices)
        names.push_back(v.description.toStdString());
    return names;
}

std::vector<std::string> ProcessSpeechEngine::outputs() const {
    // The player speaks through the sound server's default output.
    if (m_voices.empty())
        return {};
    return {"默认音频输出"};
}

bool ProcessSpeechEngine::setVoice(int index) {
    if (index < 0 || index >= static_cast<int>(m_voices.size()))
        return false;
    m_voice = index;
    return true;
}

bool ProcessSpeechEngine::setOutput(int index) {
    return !m_voices.empty() && index == 0;
}

bool ProcessSpeechEngine::setFormatType(int type) {
    // Kept for the settings; the programs choose their own format.
    if (type < 4 || type > 39)
        return false;
    m_formatType = type;
    return true;
}

bool ProcessSpeechEngine::setRate(int rate) {
    if (rate < folio::reader::MinRate || rate > folio::reader::MaxRate)
        return false;
    m_rate = rate;
    return true;
}

bool ProcessSpeechEngine::setVolume(int volume) {
    if (volume < folio::reader::MinVolume || volume > folio::reader::MaxVolume)
        return false;
    m_volume = volume;
    m_audio->setVolume(static_cast<float>(volume) / 100.0f);
    return true;
}

void ProcessSpeechEngine::killRenderer() {
    if (!m_process)
        return;
    m_process->disconnect(this);
    m_process->kill();
    m_process->waitForFinished(2'000);
    m_process->deleteLater();
    m_process = nullptr;
}

void ProcessSpeechEngine::stop() {
    killRenderer();
    m_player->stop();
    m_player->setSource(QUrl());
}

void ProcessSpeechEngine::speak(const std::string& text) {
    stop();
    if (text.empty())
        return;
    if (m_voice < 0) {
        emit failed(QStringLiteral("没有找到语音合成程序（espeak-ng 或 flite）。"));
        return;
    }
    if (!m_dir) {
        m_dir = std::make_unique<QTemporaryDir>();
        if (!m_dir->isValid()) {
            const QString reason = m_dir->errorString();
            m_dir.reset();
            emit failed(QStringLiteral("语音合成失败：不能建立临时文件夹：") + reason);
            return;
        }
    }
    const QString textFile = m_dir->filePath(QStringLiteral("speech.txt"));
    QFile file(textFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(QByteArray::fromStdString(text)) != static_cast<qint64>(text.size())) {
        emit failed(QStringLiteral("语音合成失败：不能写入 ") + textFile);
        return;
    }
    file.close();
    // Two files in turn: the player never reads a file that is being rewritten.
    m_wavFile = m_dir->filePath(QStringLiteral("speech-%1.wav").arg(m_readings++ % 2));
    QFile::remove(m_wavFile);

    const SpeechVoice& voice = m_voices[static_cast<std::size_t>(m_voice)];
    const QString program = QStandardPaths::findExecutable(voice.program);
    if (program.isEmpty()) {
        emit failed(QStringLiteral("语音合成失败：找不到程序 ") + voice.program);
        return;
    }
    m_process = new QProcess(this);
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(m_process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        rendered(code, status == QProcess::CrashExit);
    });
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            rendered(-1, false);
    });
    m_process->start(program, renderArguments(voice, m_rate, textFile, m_wavFile));
    emit renderingStarted();
}

void ProcessSpeechEngine::rendered(int exitCode, bool crashed) {
    QString program;
    if (m_process) {
        program = m_process->program();
        m_process->disconnect(this);
        m_process->deleteLater();
        m_process = nullptr;
    }
    if (crashed || exitCode != 0 || QFileInfo(m_wavFile).size() <= WavHeaderSize) {
        const QString reason = crashed         ? QStringLiteral("程序异常终止")
                               : exitCode != 0 ? QStringLiteral("退出码 %1").arg(exitCode)
                                               : QStringLiteral("没有产生声音");
        emit failed(QStringLiteral("语音合成失败：") + program + QStringLiteral("：") + reason);
        return;
    }
    m_audio->setVolume(static_cast<float>(m_volume) / 100.0f);
    m_player->setSource(QUrl::fromLocalFile(m_wavFile));
    m_player->play();
    emit playingStarted();
}

} // namespace folio::qt
