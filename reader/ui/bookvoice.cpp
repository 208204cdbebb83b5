// Reading the book aloud in the reading window (see bookvoice.h).
#include "reader/ui/bookvoice.h"

#include "reader/ui/readerlog.h"
#include "reader/ui/sentencespeaker.h"
#include "reader/ui/speechengine.h"
#include "reader/ui/uitext.h"

#include <QPointer>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

namespace folio::readerui {

using folio::reader::ReadAloud;

namespace {
// How often the sleep timer's fade and status are brought up to date.
constexpr int TickMs = 500;
} // namespace

BookVoice::BookVoice(ProcessSpeechEngine* voices, Window window, QObject* parent)
    : QObject(parent), m_speaker(new SentenceSpeaker(voices, this)), m_voices(voices),
      m_window(std::move(window)), m_timer(new QTimer(this)) {
    m_clock.start();
    m_timer->setInterval(TickMs);
    connect(m_timer, &QTimer::timeout, this, &BookVoice::tick);
    connect(m_speaker, &SentenceSpeaker::started, this, [this] {
        if (m_endedAt >= 0)
            m_longestGap = std::max(m_longestGap, m_clock.elapsed() - m_endedAt);
        m_endedAt = -1;
    });
    connect(m_speaker, &SentenceSpeaker::ended, this, [this] {
        if (m_walk.paused())
            return;
        m_endedAt = m_clock.elapsed();
        take(m_walk.sentenceEnded(now()));
    });
    connect(m_speaker, &SentenceSpeaker::failed, this, [this](const QString& why) {
        if (m_walk.paused())
            return;
        m_endedAt = -1;
        take(m_walk.sentenceFailed(utf8(why), now()));
    });
}

BookVoice::~BookVoice() = default;

void BookVoice::readSelection(const QString& text) {
    stop();
    if (const QString noSound = SentenceSpeaker::noAudioReason(); !noSound.isEmpty()) {
        emit stopped(noSound, true);
        return;
    }
    m_reading = false;
    if (m_walk.startSelection(utf8(text)))
        take(m_walk.speakCurrent());
}

void BookVoice::readFromView() {
    stop();
    if (const QString noSound = SentenceSpeaker::noAudioReason(); !noSound.isEmpty()) {
        emit stopped(noSound, true);
        return;
    }
    m_order = m_window.order();
    m_reading = true;
    readPage(true);
}

void BookVoice::readPage(bool fromView) {
    QWebEngineView* view = m_window.pagePane();
    const int ticket = ++m_pageRead;
    const std::string page = utf8(m_window.currentPage());
    view->page()->runJavaScript(qs(reader::readAtClickScript()),
                                QWebEngineScript::ApplicationWorld);
    view->page()->runJavaScript(
        qs(reader::readableTextScript()), QWebEngineScript::ApplicationWorld,
        [self = QPointer<BookVoice>(this), ticket, fromView, page](const QVariant& answer) {
            if (!self || ticket != self->m_pageRead || !self->m_reading)
                return;
            const auto text = reader::parseReadableText(utf8(answer.toString()));
            std::vector<reader::SpokenSentence> sentences;
            if (text)
                sentences = reader::pageSentences(text->text);
            std::size_t first = 0;
            if (fromView && text)
                first =
                    reader::sentenceAt(sentences, text->firstVisible).value_or(sentences.size());
            self->m_walk.startPage(std::move(sentences), first, &self->m_order, page);
            self->take(self->m_walk.speakCurrent());
        });
}

void BookVoice::take(const ReadAloud::Step& step) {
    for (const std::string& line : step.log)
        qCDebug(readerLog).noquote() << qs(line);
    switch (step.kind) {
    case ReadAloud::Step::Speak: {
        const auto& sentences = m_walk.sentences();
        const reader::SpokenSentence& s = sentences[step.sentence];
        if (m_reading)
            mark(s.start, s.end);
        // The next sentence of this page is rendered while this one plays; the first of the
        // next page is rendered once that page is read.
        const std::string next =
            step.sentence + 1 < sentences.size() ? sentences[step.sentence + 1].text : "";
        // The failure message names the synthesiser that reads this sentence.
        if (const int voice = m_voices->voiceFor(s.text); voice >= 0)
            m_walk.setEngineName(
                utf8(m_voices->installed()[static_cast<std::size_t>(voice)].program));
        m_speaker->speak(s.text, next);
        if (!m_timer->isActive())
            m_timer->start();
        break;
    }
    case ReadAloud::Step::OpenPage:
        m_awaiting = step.page;
        m_window.openPage(step.page);
        break;
    case ReadAloud::Step::Stop:
        stop();
        if (!step.message.empty())
            // An engine that keeps failing is worth a box; the reading's own ends are not.
            emit stopped(qs(step.message), step.message.rfind("朗读已停止", 0) == 0);
        break;
    }
}

void BookVoice::mark(std::size_t start, std::size_t end) {
    if (QWebEngineView* view = m_window.pagePane())
        view->page()->runJavaScript(qs(reader::highlightSentenceScript(start, end)),
                                    QWebEngineScript::ApplicationWorld);
}

void BookVoice::pauseOrResume() {
    if (!m_walk.reading())
        return;
    if (m_walk.paused()) {
        m_speaker->stop(); // the sentence is spoken again from its start
        take(m_walk.resume());
        return;
    }
    m_walk.pause();
    m_speaker->pause();
    qCDebug(readerLog).noquote() << "speech: paused";
}

void BookVoice::stop() {
    ++m_pageRead; // a page's text still on its way is not read
    const bool marked = m_reading;
    m_walk.stop();
    m_reading = false;
    m_awaiting.clear();
    m_speaker->stop();
    m_timer->stop();
    m_speaker->setVolumeFactor(1.0);
    m_endedAt = -1;
    if (marked)
        mark(0, 0);
    emit statusChanged();
}

void BookVoice::readAt(std::size_t offset) {
    if (!m_reading || !m_walk.reading())
        return;
    if (const auto at = reader::sentenceAt(m_walk.sentences(), offset)) {
        m_speaker->stop();
        take(m_walk.moveTo(*at));
    }
}

void BookVoice::pageLoaded(bool ok) {
    if (!m_reading)
        return;
    const std::string page = utf8(m_window.currentPage());
    if (!m_awaiting.empty() && (!ok || page != m_awaiting)) {
        // The next chapter did not open: the reading ends here rather than on another page.
        if (!ok) {
            const std::string awaited = m_awaiting;
            stop();
            emit stopped(QStringLiteral("朗读停止：不能打开 ") + qs(awaited), false);
        }
        return;
    }
    if (m_awaiting.empty()) {
        // The reader went to another page himself: the voice goes with him, from its top.
        m_speaker->stop();
        m_walk.stop();
    }
    m_awaiting.clear();
    readPage(false);
}

void BookVoice::setSleep(folio::reader::SleepChoice choice) {
    m_walk.setSleep(choice, now());
    m_speaker->setVolumeFactor(1.0);
    emit statusChanged();
}

QString BookVoice::statusText() const {
    if (!m_walk.reading() && m_awaiting.empty())
        return {};
    return qs(m_walk.sleepStatusText(now()));
}

void BookVoice::tick() {
    m_speaker->setVolumeFactor(m_walk.volumeFactor(now()));
    if (m_walk.sleep() != folio::reader::SleepChoice::Off)
        emit statusChanged();
}

} // namespace folio::readerui
