// The readers' speech engine over the synthesiser programs (see speechengine.h).
#include "reader/ui/speechengine.h"

#include "core/text.h"

#include <QAudioOutput>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace folio::readerui {

namespace {

using folio::reader::TextLanguage;

const QString Espeak = QStringLiteral("espeak-ng");
const QString Flite = QStringLiteral("flite");
const QString& Dispatcher = SpeechDispatcherProgram;

bool isChineseLanguage(const QString& language) {
    const QString l = language.toLower();
    return l == QStringLiteral("cmn") || l.startsWith(QStringLiteral("cmn-")) ||
           l.startsWith(QStringLiteral("zh"));
}

bool isEnglishLanguage(const QString& language) {
    const QString l = language.toLower();
    return l == QStringLiteral("en") || l.startsWith(QStringLiteral("en-"));
}

// Chinese voices first, then English ones: a new reader of a Chinese book should hear its
// text, not letters spelled out by a voice of another language. Within a language the
// synthesisers that render into a file come before speech-dispatcher, which needs a server.
int languageRank(const SpeechVoice& v) {
    const QString l = v.language.toLower();
    if (l == QStringLiteral("cmn"))
        return 0;
    if (isChineseLanguage(l) || l.startsWith(QStringLiteral("yue")))
        return 1;
    if (isEnglishLanguage(l))
        return v.program == Flite ? 3 : 2;
    return 4;
}

int programRank(const SpeechVoice& v) {
    return v.program == Dispatcher ? 1 : 0;
}

// SAPI's rate runs from a third of the normal speed (-10) to three times it (10).
double speedFactor(int rate) {
    return std::pow(3.0, std::clamp(rate, folio::reader::MinRate, folio::reader::MaxRate) / 10.0);
}

// Runs each program with its arguments at once and collects what they print: the listings
// cost a start of the reader, so they run side by side.
QStringList runAllForOutput(const std::vector<std::pair<QString, QStringList>>& runs) {
    std::vector<std::unique_ptr<QProcess>> processes;
    for (const auto& [program, arguments] : runs) {
        processes.push_back(std::make_unique<QProcess>());
        const QString path = QStandardPaths::findExecutable(program);
        if (!path.isEmpty())
            processes.back()->start(path, arguments);
    }
    QStringList outputs;
    for (auto& process : processes) {
        if (process->state() == QProcess::NotRunning && process->program().isEmpty()) {
            outputs << QString();
            continue;
        }
        if (!process->waitForFinished(10'000)) {
            process->kill();
            process->waitForFinished(1'000);
            outputs << QString();
            continue;
        }
        outputs << QString::fromUtf8(process->readAllStandardOutput());
    }
    return outputs;
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
        voices.push_back({Espeak, cols[4], name, cols[1]});
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
        voices.push_back({Flite, name, QStringLiteral("flite ") + name, QStringLiteral("en")});
    }
    return voices;
}

std::vector<SpeechVoice> speechDispatcherVoices(const std::vector<SpeechVoice>& espeak) {
    std::vector<SpeechVoice> voices;
    auto offer = [&](auto matches, const QString& language) {
        const auto found = std::find_if(espeak.begin(), espeak.end(), [&](const SpeechVoice& v) {
            return v.program == Espeak && matches(v.language);
        });
        if (found != espeak.end())
            voices.push_back({Dispatcher, language,
                              QStringLiteral("speech-dispatcher: ") + found->description,
                              language});
    };
    offer([](const QString& l) { return l.toLower() == QStringLiteral("cmn"); },
          QStringLiteral("cmn"));
    offer([](const QString& l) { return isEnglishLanguage(l); }, QStringLiteral("en"));
    return voices;
}

bool speechDispatcherInstalled() {
    if (QStandardPaths::findExecutable(Dispatcher).isEmpty())
        return false;
    for (const char* folder : {"/usr/lib/speech-dispatcher-modules",
                               "/usr/lib/x86_64-linux-gnu/speech-dispatcher-modules",
                               "/usr/local/lib/speech-dispatcher-modules"}) {
        if (QFileInfo::exists(QString::fromLatin1(folder) + QStringLiteral("/sd_espeak-ng")))
            return true;
    }
    return false;
}

std::vector<SpeechVoice> installedVoices() {
    const QStringList listed =
        runAllForOutput({{Espeak, {QStringLiteral("--voices")}}, {Flite, {QStringLiteral("-lv")}}});
    std::vector<SpeechVoice> voices = parseEspeakVoices(listed.value(0));
    const std::vector<SpeechVoice> flite = parseFliteVoices(listed.value(1));
    if (speechDispatcherInstalled()) {
        const std::vector<SpeechVoice> dispatcher = speechDispatcherVoices(voices);
        voices.insert(voices.end(), dispatcher.begin(), dispatcher.end());
    }
    voices.insert(voices.end(), flite.begin(), flite.end());
    std::stable_sort(voices.begin(), voices.end(), [](const SpeechVoice& a, const SpeechVoice& b) {
        return std::pair(languageRank(a), programRank(a)) <
               std::pair(languageRank(b), programRank(b));
    });
    return voices;
}

namespace {

const QString VoiceCacheHeader = QStringLiteral("folio voices 1");

} // namespace

QString synthesiserKey() {
    QStringList parts;
    for (const QString& program : {Espeak, Flite, Dispatcher}) {
        const QString path = QStandardPaths::findExecutable(program);
        const QFileInfo info(path);
        parts << (path.isEmpty() ? program + QStringLiteral(":-")
                                 : QStringLiteral("%1:%2:%3")
                                       .arg(path)
                                       .arg(info.size())
                                       .arg(info.lastModified().toMSecsSinceEpoch()));
    }
    parts << (speechDispatcherInstalled() ? QStringLiteral("module") : QStringLiteral("-"));
    return parts.join(QLatin1Char('|'));
}

std::vector<SpeechVoice> readVoiceCache(const QString& file, const QString& key) {
    const auto lines = folio::readAnsiLines(file.toStdString());
    if (!lines || lines->size() < 2 || QString::fromStdString((*lines)[0]) != VoiceCacheHeader ||
        QString::fromStdString((*lines)[1]) != key)
        return {};
    std::vector<SpeechVoice> voices;
    for (std::size_t i = 2; i < lines->size(); ++i) {
        const QStringList cells = QString::fromStdString((*lines)[i]).split(QLatin1Char('\t'));
        if (cells.size() != 4 || cells[0].isEmpty() || cells[1].isEmpty())
            return {};
        voices.push_back({cells[0], cells[1], cells[3], cells[2]});
    }
    return voices;
}

folio::Result<void> writeVoiceCache(const QString& file, const QString& key,
                                    const std::vector<SpeechVoice>& voices) {
    std::vector<std::string> lines = {VoiceCacheHeader.toStdString(), key.toStdString()};
    for (const SpeechVoice& v : voices) {
        QString description = v.description;
        description.replace(QLatin1Char('\t'), QLatin1Char(' '));
        lines.push_back(
            (QStringList{v.program, v.id, v.language, description}.join('\t')).toStdString());
    }
    return folio::writeAnsiLines(file.toStdString(), lines);
}

std::vector<SpeechVoice> installedVoicesCached() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                           QStringLiteral("/folio");
    const QString file = folder + QStringLiteral("/voices.txt");
    const QString key = synthesiserKey();
    std::vector<SpeechVoice> voices = readVoiceCache(file, key);
    if (!voices.empty())
        return voices;
    voices = installedVoices();
    // A cache that cannot be written only costs the next start the listing again.
    if (!voices.empty() && QDir().mkpath(folder))
        (void)writeVoiceCache(file, key, voices);
    return voices;
}

bool speaksLanguage(const SpeechVoice& voice, TextLanguage language) {
    return language == TextLanguage::Chinese ? isChineseLanguage(voice.language)
                                             : isEnglishLanguage(voice.language);
}

int pickVoice(const std::vector<SpeechVoice>& voices, TextLanguage language) {
    if (voices.empty())
        return -1;
    const auto found = std::find_if(voices.begin(), voices.end(), [&](const SpeechVoice& v) {
        return speaksLanguage(v, language);
    });
    return found == voices.end() ? 0 : static_cast<int>(found - voices.begin());
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

QStringList speechDispatcherArguments(const SpeechVoice& voice, int rate, int volume,
                                      const QString& sentence) {
    // speech-dispatcher's rate and volume both run from -100 to 100.
    const int spdRate = std::clamp(rate, folio::reader::MinRate, folio::reader::MaxRate) * 10;
    const int spdVolume =
        std::clamp(volume, folio::reader::MinVolume, folio::reader::MaxVolume) * 2 - 100;
    // "--" ends the options, so a sentence starting with "-" is spoken, not parsed.
    return {QStringLiteral("-w"),
            QStringLiteral("-o"),
            QStringLiteral("espeak-ng"),
            QStringLiteral("-l"),
            voice.id,
            QStringLiteral("-r"),
            QString::number(spdRate),
            QStringLiteral("-i"),
            QString::number(spdVolume),
            QStringLiteral("-N"),
            QStringLiteral("folio"),
            QStringLiteral("--"),
            sentence};
}

ProcessSpeechEngine::ProcessSpeechEngine(QObject* parent)
    : ProcessSpeechEngine(installedVoicesCached(), parent) {}

ProcessSpeechEngine::ProcessSpeechEngine(std::vector<SpeechVoice> voices, QObject* parent)
    : QObject(parent), m_voices(std::move(voices)) {
    if (!m_voices.empty())
        m_voice = 0;
}

ProcessSpeechEngine::~ProcessSpeechEngine() {
    stop();
}

std::vector<std::string> ProcessSpeechEngine::voices() const {
    std::vector<std::string> names;
    if (m_voices.empty())
        return names;
    names.emplace_back(folio::reader::AutomaticVoiceName);
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
    if (index < 0 || index > static_cast<int>(m_voices.size()) || m_voices.empty())
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
    if (m_audio)
        m_audio->setVolume(static_cast<float>(volume) / 100.0f);
    return true;
}

int ProcessSpeechEngine::voiceFor(const std::string& text) const {
    if (m_voice < 0 || m_voices.empty())
        return -1;
    if (m_voice == 0)
        return pickVoice(m_voices, folio::reader::detectTextLanguage(text));
    return m_voice - 1;
}

QMediaPlayer* ProcessSpeechEngine::player() {
    if (!m_player) {
        // The sound system is set up at the first reading, not when the reader starts.
        m_player = new QMediaPlayer(this);
        m_audio = new QAudioOutput(this);
        m_audio->setVolume(static_cast<float>(m_volume) / 100.0f);
        m_player->setAudioOutput(m_audio);
        connect(m_player, &QMediaPlayer::positionChanged, this, [this](qint64 position) {
            const qint64 duration = m_player->duration();
            if (duration > 0 && m_player->playbackState() == QMediaPlayer::PlayingState)
                report(static_cast<double>(position) / static_cast<double>(duration));
        });
        connect(m_player, &QMediaPlayer::mediaStatusChanged, this,
                [this](QMediaPlayer::MediaStatus status) {
                    if (status == QMediaPlayer::EndOfMedia && !m_sentences.empty()) {
                        report(1.0);
                        emit finished();
                    }
                });
    }
    return m_player;
}

void ProcessSpeechEngine::report(double fraction) {
    const folio::reader::ReadingProgress now = folio::reader::progressAt(m_sentences, fraction);
    if (now.sentence == m_progress.sentence && now.sentences == m_progress.sentences &&
        now.percent == m_progress.percent)
        return;
    m_progress = now;
    emit progress(now.sentence, now.sentences, now.percent);
}

void ProcessSpeechEngine::killRenderer() {
    if (m_watchdog)
        m_watchdog->stop();
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
    if (m_speaking && m_speaking->program == Dispatcher && m_nextSentence < m_sentences.size()) {
        // Killing the client leaves the server speaking the sentence it was given.
        QProcess::startDetached(Dispatcher, {QStringLiteral("-C")});
    }
    m_speaking = nullptr;
    m_sentences.clear();
    m_nextSentence = 0;
    m_progress = {};
    if (m_player) {
        m_player->stop();
        m_player->setSource(QUrl());
    }
}

QString ProcessSpeechEngine::writeTextFile(const std::string& text) {
    if (!m_dir) {
        m_dir = std::make_unique<QTemporaryDir>();
        if (!m_dir->isValid()) {
            const QString reason = m_dir->errorString();
            m_dir.reset();
            emit failed(QStringLiteral("语音合成失败：不能建立临时文件夹：") + reason);
            return {};
        }
    }
    const QString textFile = m_dir->filePath(QStringLiteral("speech.txt"));
    QFile file(textFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(QByteArray::fromStdString(text)) != static_cast<qint64>(text.size())) {
        emit failed(QStringLiteral("语音合成失败：不能写入 ") + textFile);
        return {};
    }
    return textFile;
}

void ProcessSpeechEngine::speak(const std::string& text) {
    stop();
    if (text.empty())
        return;
    const int chosen = voiceFor(text);
    if (chosen < 0) {
        emit failed(
            QStringLiteral("没有找到语音合成程序（espeak-ng、flite 或 speech-dispatcher）。"));
        return;
    }
    const SpeechVoice& voice = m_voices[static_cast<std::size_t>(chosen)];
    const QString program = QStandardPaths::findExecutable(voice.program);
    if (program.isEmpty()) {
        emit failed(QStringLiteral("语音合成失败：找不到程序 ") + voice.program);
        return;
    }
    m_sentences = folio::reader::splitSentences(text);
    if (m_sentences.empty())
        return;
    m_speaking = &voice;

    if (voice.program == Dispatcher) {
        emit renderingStarted();
        emit playingStarted();
        report(0.0);
        speakNextSentence();
        return;
    }

    const QString textFile = writeTextFile(text);
    if (textFile.isEmpty())
        return;
    // Two files in turn: the player never reads a file that is being rewritten.
    m_wavFile = m_dir->filePath(QStringLiteral("speech-%1.wav").arg(m_readings++ % 2));
    QFile::remove(m_wavFile);

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
        m_sentences.clear();
        emit failed(QStringLiteral("语音合成失败：") + program + QStringLiteral("：") + reason);
        return;
    }
    QMediaPlayer* p = player();
    m_audio->setVolume(static_cast<float>(m_volume) / 100.0f);
    p->setSource(QUrl::fromLocalFile(m_wavFile));
    p->play();
    emit playingStarted();
    report(0.0);
}

void ProcessSpeechEngine::speakNextSentence() {
    const std::string& sentence = m_sentences[m_nextSentence];
    m_process = new QProcess(this);
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process->setStandardOutputFile(QProcess::nullDevice());
    connect(m_process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        sentenceSpoken(code, status == QProcess::CrashExit);
    });
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            sentenceSpoken(-1, false);
    });
    if (!m_watchdog) {
        m_watchdog = new QTimer(this);
        m_watchdog->setSingleShot(true);
        connect(m_watchdog, &QTimer::timeout, this, [this] {
            killRenderer();
            m_sentences.clear();
            emit failed(QStringLiteral("语音合成失败：") + Dispatcher +
                        QStringLiteral("：speech-dispatcher 没有回应（没有可用的声音设备？）"));
        });
    }
    m_watchdog->start(sentenceTimeoutMs(sentence));
    m_process->start(
        QStandardPaths::findExecutable(Dispatcher),
        speechDispatcherArguments(*m_speaking, m_rate, m_volume, QString::fromStdString(sentence)));
}

void ProcessSpeechEngine::sentenceSpoken(int exitCode, bool crashed) {
    if (m_watchdog)
        m_watchdog->stop();
    if (m_process) {
        m_process->disconnect(this);
        m_process->deleteLater();
        m_process = nullptr;
    }
    if (crashed || exitCode != 0) {
        const QString reason =
            crashed ? QStringLiteral("程序异常终止") : QStringLiteral("退出码 %1").arg(exitCode);
        m_sentences.clear();
        emit failed(QStringLiteral("语音合成失败：") + Dispatcher + QStringLiteral("：") + reason);
        return;
    }
    ++m_nextSentence;
    if (m_nextSentence >= m_sentences.size()) {
        report(1.0);
        emit finished();
        return;
    }
    report(folio::reader::sentenceStart(m_sentences, m_nextSentence));
    speakNextSentence();
}

} // namespace folio::readerui
