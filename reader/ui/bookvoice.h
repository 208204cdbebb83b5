// Reading the book aloud in the reading window: reader/core's ReadAloud decides what is spoken
// and where the reading goes; this face reads the page's text out of the page pane, speaks each
// sentence with a SentenceSpeaker, marks it in the page, opens the next chapter when the walk
// asks for it and keeps the sleep timer's clock.
#pragma once

#include "reader/core/readaloud.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QTimer;
class QUrl;
class QWebEnginePage;
class QWebEngineView;

namespace folio::readerui {

class ProcessSpeechEngine;
class SentenceSpeaker;

class BookVoice : public QObject {
    Q_OBJECT
  public:
    // What the voice needs of the window.
    struct Window {
        std::function<QWebEngineView*()> pagePane;
        std::function<QString()> currentPage;                  // the book path shown
        std::function<std::vector<std::string>()> order;       // the reading order
        std::function<void(const std::string& page)> openPage; // loads a book path
        std::function<QUrl(const std::string& page)> pageUrl;  // a book path's address
    };
    BookVoice(ProcessSpeechEngine* voices, Window window, QObject* parent = nullptr);
    ~BookVoice() override;

    bool reading() const { return m_walk.reading(); }
    bool paused() const { return m_walk.paused(); }

    // Reads a selection once.
    void readSelection(const QString& text);
    // Reads from the first sentence in view on through the reading order.
    void readFromView();
    void pauseOrResume();
    void stop();
    // A click in the page while reading: the reading goes on at that place.
    void readAt(std::size_t offset);
    // The page pane has loaded a page: the one the walk asked for, or another the reader chose.
    void pageLoaded(bool ok);

    void setSleep(folio::reader::SleepChoice choice);
    folio::reader::SleepChoice sleep() const { return m_walk.sleep(); }
    // The sleep timer's part of the status line ("" when off or not reading).
    QString statusText() const;

  signals:
    // A reading stopped with something to say: told in the status line (`boxed` false) or in a
    // message box (an engine that keeps failing, no sound device).
    void stopped(const QString& message, bool boxed);
    // The timer's status text changed.
    void statusChanged();

  private:
    void readPage(bool fromView);
    // While a page's last sentence plays, the next page is read in the background, so that its
    // first sentence follows at once.
    void readAhead();
    void makeAheadPage();
    void take(const folio::reader::ReadAloud::Step& step);
    void mark(std::size_t start, std::size_t end);
    std::uint64_t now() const { return static_cast<std::uint64_t>(m_clock.elapsed()); }
    void tick();

    SentenceSpeaker* m_speaker;
    ProcessSpeechEngine* m_voices;
    Window m_window;
    folio::reader::ReadAloud m_walk;
    std::vector<std::string> m_order; // kept for the whole reading, as the walk points into it
    std::string m_awaiting;           // the page the walk asked for, until it has loaded
    bool m_reading = false;           // a page pane reading, not a selection
    QElapsedTimer m_clock;
    QTimer* m_timer = nullptr;
    // The pauses between one sentence's end and the next one's start, told when reading stops.
    qint64 m_endedAt = -1;
    struct Gaps {
        qint64 count = 0, sum = 0, longest = 0;
    };
    Gaps m_inPage, m_turns; // within a page; from a page's last sentence to the next page's first
    bool m_turning = false;
    int m_pageRead = 0; // counts page reads, so that a late answer for an old page is dropped
    QWebEnginePage* m_aheadPage = nullptr; // the next page, read unseen
    std::string m_aheadPath;
    std::optional<std::vector<folio::reader::SpokenSentence>> m_aheadSentences;
    bool m_markOnLoad = false; // speaking a page the pane is still loading
};

} // namespace folio::readerui
