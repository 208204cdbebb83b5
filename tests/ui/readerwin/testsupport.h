// Test doubles for the companion windows: answered message boxes, a recording speech engine and
// a small HTTP server on 127.0.0.1.
#pragma once

#include "qt/messageservice.h"
#include "reader/core/voice.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

class QTcpServer;

namespace folio::testing {

class FakeMessages : public folio::qt::MessageService {
  public:
    struct Shown {
        QString title, text;
    };
    std::vector<Shown> shown;
    bool answerYes = true;

    void inform(QWidget*, const QString& title, const QString& text,
                folio::qt::MessageIcon) override {
        shown.push_back({title, text});
    }
    bool askYesNo(QWidget*, const QString& title, const QString& text, folio::qt::MessageIcon,
                  bool) override {
        shown.push_back({title, text});
        return answerYes;
    }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override {
        return {};
    }
    QString askText(QWidget*, const QString&, const QString&) override { return {}; }
};

class FakeSpeech : public folio::reader::SpeechEngine {
  public:
    std::vector<std::string> voiceList{"Voice A", "Voice B"};
    std::vector<std::string> outputList{"Speakers"};
    int voice = -1, output = -1, formatType = -1, rate = 0, volume = 100;
    std::vector<std::string> spoken;

    std::vector<std::string> voices() const override { return voiceList; }
    std::vector<std::string> outputs() const override { return outputList; }
    bool setVoice(int index) override { return ok(voice, index, voiceList.size()); }
    bool setOutput(int index) override { return ok(output, index, outputList.size()); }
    bool setFormatType(int type) override {
        formatType = type;
        return true;
    }
    bool setRate(int r) override {
        rate = r;
        return true;
    }
    bool setVolume(int v) override {
        volume = v;
        return true;
    }
    void speak(const std::string& text) override { spoken.push_back(text); }
    void stop() override { spoken.push_back({}); }

  private:
    static bool ok(int& target, int index, std::size_t count) {
        if (index < 0 || static_cast<std::size_t>(index) >= count)
            return false;
        target = index;
        return true;
    }
};

// Answers GET requests from a fixed table of paths; anything else gets 404.
class LocalHttpServer : public QObject {
    Q_OBJECT
  public:
    LocalHttpServer();
    ~LocalHttpServer() override;
    bool listening() const;
    QString base() const; // "http://127.0.0.1:<port>"
    void serve(const QString& path, const QByteArray& body) { m_pages.insert(path, body); }
    QStringList requests() const { return m_requests; }

  private:
    void answer();
    QTcpServer* m_server;
    QHash<QString, QByteArray> m_pages;
    QStringList m_requests;
};

// Reads a whole file (empty when missing).
QByteArray readAll(const QString& path);

} // namespace folio::testing
