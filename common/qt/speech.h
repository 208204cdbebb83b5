// The speech engine of the readers on Qt TextToSpeech (flite chosen when installed).
#pragma once

#include "voice.h"

#include <QList>
#include <QVoice>

#include <memory>

class QTextToSpeech;

namespace folio::qt {

class QtSpeechEngine : public folio::reader::SpeechEngine {
  public:
    // `engineName` empty: "flite" when available, else Qt's default engine.
    explicit QtSpeechEngine(const QString& engineName = {});
    ~QtSpeechEngine() override;

    // The engine in use ("" when none could be created).
    QString engineName() const { return m_engineName; }
    bool isAvailable() const { return m_speech != nullptr; }

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

  private:
    QString m_engineName;
    std::unique_ptr<QTextToSpeech> m_speech;
    QList<QVoice> m_voices;
    int m_formatType = 0;
    int m_output = -1;
};

// The engine the readers should use: flite when its plug-in is present.
QString preferredSpeechEngine();

} // namespace folio::qt
