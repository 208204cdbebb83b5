// Reading the book aloud in the reading window (see bookvoice.h).
#include "reader/ui/bookvoice.h"

#include "reader/core/reading.h"
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
        if (m_endedAt >= 0) {
            Gaps& gaps = m_turning ? m_turns : m_inPage;
            const qint64 gap = m_clock.elapsed() - m_endedAt;
            gaps.longest = std::max(gaps.longest, gap);
            gaps.sum += gap;
            ++gaps.count;
        }
        m_turning = false;
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
    makeAheadPage(); // made now, as making it costs more than a sentence's pause
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

void BookVoice::makeAheadPage() {
    if (m_aheadPage)
        return;
    m_aheadPage = new QWebEnginePage(m_window.pagePane()->page()->profile(), this);
    connect(m_aheadPage, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        if (!ok)
            return;
        m_aheadPage->runJavaScript(
            qs(reader::readableTextScript()), QWebEngineScript::ApplicationWorld,
            [self = QPointer<BookVoice>(this), path = m_aheadPath](const QVariant& answer) {
                if (!self || path != self->m_aheadPath)
                    return;
                const auto text = reader::parseReadableText(utf8(answer.toString()));
                if (!text)
                    return;
                self->m_aheadSentences = reader::pageSentences(text->text);
                if (!self->m_aheadSentences->empty())
                    self->m_speaker->renderAhead(self->m_aheadSentences->front().text);
            });
    });
}

void BookVoice::readAhead() {
    const auto at = reader::chapterIndex(m_order, m_walk.page());
    const auto next = at ? reader::nextChapter(m_order, m_walk.page()) : std::nullopt;
    if (!next)
        return;
    m_aheadPath = m_order[*next];
    m_aheadSentences.reset();
    makeAheadPage();
    m_aheadPage->load(m_window.pageUrl(m_aheadPath));
}

void BookVoice::take(const ReadAloud::Step& step) {
    for (const std::string& line : step.log)
        qCDebug(readerLog).noquote() << qs(line);
    switch (step.kind) {
    case ReadAloud::Step::Speak: {
        const auto& sentences = m_walk.sentences();
        const reader::SpokenSentence& s = sentences[step.sentence];
        if (m_reading && !m_markOnLoad)
            mark(s.start, s.end);
        // The next sentence of this page is rendered while this one plays; the first of the
        // next page is rendered once that page is read.
        const bool last = step.sentence + 1 >= sentences.size();
        const std::string next = last ? "" : sentences[step.sentence + 1].text;
        // The failure message names the synthesiser that reads this sentence.
        if (const int voice = m_voices->voiceFor(s.text); voice >= 0)
            m_walk.setEngineName(
                utf8(m_voices->installed()[static_cast<std::size_t>(voice)].program));
        m_speaker->speak(s.text, next);
        if (last && m_reading)
            readAhead();
        if (!m_timer->isActive())
            m_timer->start();
        break;
    }
    case ReadAloud::Step::OpenPage:
        m_turning = true;
        m_awaiting = step.page;
        m_window.openPage(step.page);
        if (m_aheadSentences && m_aheadPath == step.page) {
            // Read already: spoken at once, marked once the pane has the page.
            m_markOnLoad = true;
            m_walk.startPage(std::move(*m_aheadSentences), 0, &m_order, step.page);
            m_aheadSentences.reset();
            take(m_walk.speakCurrent());
        }
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
    auto told = [](const Gaps& g) {
        return QStringLiteral("%1, %2 ms on average, %3 ms at most")
            .arg(g.count)
            .arg(g.count ? g.sum / g.count : 0)
            .arg(g.longest);
    };
    if (m_inPage.count + m_turns.count > 0)
        qCDebug(readerLog).noquote()
            << QStringLiteral("speech: pauses between sentences ") + told(m_inPage) +
                   QStringLiteral("; at the turn of a page ") + told(m_turns);
    m_inPage = m_turns = {};
    m_turning = false;
    m_walk.stop();
    m_reading = false;
    m_awaiting.clear();
    m_aheadSentences.reset();
    m_aheadPath.clear();
    m_markOnLoad = false;
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
    if (m_markOnLoad) {
        // The page being spoken has come: its sentence marked, its clicks read from.
        m_markOnLoad = false;
        m_awaiting.clear();
        m_window.pagePane()->page()->runJavaScript(qs(reader::readAtClickScript()),
                                                   QWebEngineScript::ApplicationWorld);
        if (const reader::SpokenSentence* s = m_walk.current())
            mark(s->start, s->end);
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
