// Qt TextToSpeech behind the readers' speech engine interface.
#include "speech.h"

#include <QTextToSpeech>

namespace folio::qt {

QString preferredSpeechEngine() {
    const QStringList engines = QTextToSpeech::availableEngines();
    if (engines.contains(QStringLiteral("flite")))
        return QStringLiteral("flite");
    return engines.isEmpty() ? QString() : engines.first();
}

QtSpeechEngine::QtSpeechEngine(const QString& engineName)
    : m_engineName(engineName.isEmpty() ? preferredSpeechEngine() : engineName) {
    if (m_engineName.isEmpty())
        return;
    m_speech = std::make_unique<QTextToSpeech>(m_engineName);
    if (m_speech->state() == QTextToSpeech::Error) {
        m_speech.reset();
        m_engineName.clear();
        return;
    }
    m_voices = m_speech->availableVoices();
}

QtSpeechEngine::~QtSpeechEngine() = default;

std::vector<std::string> QtSpeechEngine::voices() const {
    std::vector<std::string> names;
    for (const QVoice& voice : m_voices)
        names.push_back(voice.name().toStdString());
    return names;
}

std::vector<std::string> QtSpeechEngine::outputs() const {
    // Qt's engines always speak through the system's default output.
    if (!m_speech)
        return {};
    return {"默认音频输出"};
}

bool QtSpeechEngine::setVoice(int index) {
    if (!m_speech || index < 0 || index >= m_voices.size())
        return false;
    m_speech->setVoice(m_voices[index]);
    return true;
}

bool QtSpeechEngine::setOutput(int index) {
    if (!m_speech || index != 0)
        return false;
    m_output = index;
    return true;
}

bool QtSpeechEngine::setFormatType(int type) {
    // Kept for the settings; Qt's engines choose their own format.
    if (type < 4 || type > 39)
        return false;
    m_formatType = type;
    return true;
}

bool QtSpeechEngine::setRate(int rate) {
    if (!m_speech || rate < folio::reader::MinRate || rate > folio::reader::MaxRate)
        return false;
    m_speech->setRate(rate / 10.0);
    return true;
}

bool QtSpeechEngine::setVolume(int volume) {
    if (!m_speech || volume < folio::reader::MinVolume || volume > folio::reader::MaxVolume)
        return false;
    m_speech->setVolume(volume / 100.0);
    return true;
}

void QtSpeechEngine::speak(const std::string& text) {
    if (!m_speech)
        return;
    m_speech->stop();
    if (!text.empty())
        m_speech->say(QString::fromStdString(text));
}

void QtSpeechEngine::stop() {
    if (m_speech)
        m_speech->stop();
}

} // namespace folio::qt
