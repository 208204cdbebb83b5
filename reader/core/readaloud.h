// Reading the book aloud, as both readers do it: the page's readable text, cut into sentences;
// the scripts that read the text out of the page, mark the sentence being spoken and turn a
// click into a place to read from; and the walk from sentence to sentence and page to page along
// the reading order, with the sleep timer. The faces only speak, load pages and run scripts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace folio::reader {

// ---- the page's readable text --------------------------------------------------------------

// A link's text (or a row of them: "上一章 | 目录 | 下一章", "« Previous", "【下一页】") that only
// moves about the site: the previous and next chapter, the contents, bookmarks, the home page.
// Arrows, brackets and bars around and between the words do not count; Latin letters are
// compared without regard to case.
bool isNavigationText(std::string_view utf8);

// The window property where readableTextScript leaves its answer.
inline constexpr std::string_view ReadableTextProperty = "__folioReadable";

// A script that reads the page's text as a reader hears it, in document order: text only (no
// scripts, styles, forms, frames, hidden elements, <nav> or role="navigation" elements, nor the
// site's navigation links and bars of them), "\n\n" between blocks (paragraphs, headings, list
// items, rows ...), "\n" for each <br>; tabs and line breaks outside <pre> read as spaces. Its
// value, and the window's ReadableTextProperty, is "<firstVisible>|<text>": firstVisible is the
// offset of the first text in view now (0 when none is). Offsets are the page's own string
// indices (UTF-16 code units). Plain ES5 for every document mode from IE9 on.
std::string readableTextScript();

struct ReadableText {
    std::string text; // UTF-8
    std::size_t firstVisible = 0;
};
// Reads the script's answer; nullopt when malformed.
std::optional<ReadableText> parseReadableText(std::string_view answer);

// ---- sentences -------------------------------------------------------------------------------

// The code points of a UTF-8 text (through the text layer's UTF-16 form, which replaces
// malformed bytes); one past U+FFFF is two UTF-16 offsets.
std::u32string codePoints(std::string_view utf8);

struct SpokenSentence {
    std::string text; // UTF-8, without surrounding white space
    // UTF-16 offsets into the text cut, of the sentence as `text` holds it: [start, end).
    std::size_t start = 0, end = 0;
};

// The sentences of a page's readable text. A sentence ends at 。！？；!?;, at a run of "…", at a
// "." before white space (the marks and closing quotes after these belong to it), always at a
// blank line, and at a single line break once it has run past 120 characters. One that runs on
// past 300 characters is cut after its last comma (，、,) or space, or else right there.
// Runs of white space inside a sentence's text read as one space; sentences of nothing but
// punctuation are dropped.
std::vector<SpokenSentence> pageSentences(std::string_view pageText);

// The sentences of a selection, as splitSentences cuts them: at the same marks, at every line
// break, nothing dropped but white space.
std::vector<SpokenSentence> selectionSentences(std::string_view text);

// The sentence a reading starting at `offset` begins with: the first that ends after it.
std::optional<std::size_t> sentenceAt(const std::vector<SpokenSentence>& sentences,
                                      std::size_t offset);

// ---- marking the sentence spoken, and clicks -------------------------------------------------

// The class of the marks highlightSentenceScript makes.
inline constexpr std::string_view SpeakingClass = "folio-speaking";

// A script that takes the previous sentence mark away, then marks the text in [start, end) of
// the page's readable text (offsets as readableTextScript gives them) and scrolls it into the
// upper third of the view when it is out of view. start == end only clears. Its value is the
// number of pieces marked. Plain ES5.
std::string highlightSentenceScript(std::size_t start, std::size_t end);

// A script that, once per page, makes a click on the page's text while a sentence is marked go
// to ChapterKeyScheme + ":read-at/<offset>", the clicked place in the readable text. Clicks on
// links and form fields, and a click that ends a selection, are left alone. Plain ES5.
std::string readAtClickScript();

// The offset a "read-at" address carries; nullopt for any other address.
std::optional<std::size_t> parseReadAt(std::string_view address);

// ---- the walk ----------------------------------------------------------------------------------

enum class SleepChoice { Off, Minutes15, Minutes30, Minutes60, Minutes90, EndOfChapter };
inline constexpr SleepChoice SleepChoices[] = {SleepChoice::Off,       SleepChoice::Minutes15,
                                               SleepChoice::Minutes30, SleepChoice::Minutes60,
                                               SleepChoice::Minutes90, SleepChoice::EndOfChapter};
// "不定时", "15 分钟", "30 分钟", "60 分钟", "90 分钟", "本章读完".
std::string_view sleepChoiceCaption(SleepChoice choice);

inline constexpr std::string_view SleepEndedText = "定时已到，朗读停止。";
inline constexpr std::string_view ChapterReadText = "本章读完，朗读停止。";

// One reading: what is spoken now, and what comes after it. It keeps one page's sentences at a
// time and has no clock of its own: the face passes the time (ms, any steady clock).
class ReadAloud {
  public:
    enum class Mode { Selection, Book };

    struct Step {
        enum Kind { Speak, OpenPage, Stop } kind = Stop;
        std::size_t sentence = 0; // Speak: the sentence of the page to speak (and mark)
        std::string page;         // OpenPage: the book path to load, then startPage(..., 0, ...)
        std::string message;      // Stop: what the face tells (empty: a selection read out)
        std::vector<std::string> log; // lines for the face's log, in order
    };

    // Reads a selection once. The first sentence's index, nullopt when it has none.
    std::optional<std::size_t> startSelection(std::string_view text);
    // Reads the book from sentence `first` of `page` (a book path) on through `order` (the
    // book's reading order, kept by the face for the whole reading; null without one). Called
    // again with first = 0 for each page an OpenPage step asked for, which goes on the same
    // reading (the failures in a row and the timer carry on). Nullopt when the page has nothing
    // to read from `first` on; speakCurrent() then gives the step on.
    std::optional<std::size_t> startPage(std::vector<SpokenSentence> sentences, std::size_t first,
                                         const std::vector<std::string>* order,
                                         std::string_view page);

    // The step to take now: speak the current sentence; on a page with nothing left to read,
    // the next page or the end.
    Step speakCurrent();

    Mode mode() const { return m_mode; }
    bool reading() const { return m_state != State::Idle; }
    const std::vector<SpokenSentence>& sentences() const { return m_sentences; }
    const SpokenSentence* current() const;
    std::size_t currentIndex() const { return m_index; }
    const std::string& page() const { return m_page; }

    // While paused the face has the engine stopped and ignores what it reports.
    bool paused() const { return m_paused; }
    void pause();
    // Speaks the current sentence again from its start.
    Step resume();
    // Reads from sentence `index` of the page (a click); paused or not, speaking starts there.
    Step moveTo(std::size_t index);
    void stop();

    // The engine read the current sentence to its end.
    Step sentenceEnded(std::uint64_t nowMs);
    // The engine could not read it: skipped and logged; the third failure in a row stops.
    Step sentenceFailed(std::string_view why, std::uint64_t nowMs);

    // The engine's name, for the message when it keeps failing.
    void setEngineName(std::string name) { m_engine = std::move(name); }

    // The sleep timer. A timer that runs out stops the reading at the next sentence end and
    // turns itself off; EndOfChapter stops it at the end of the page read.
    void setSleep(SleepChoice choice, std::uint64_t nowMs);
    SleepChoice sleep() const { return m_sleep; }
    // What is left of a timer of minutes (0 once run out); nullopt for Off and EndOfChapter.
    std::optional<std::uint64_t> sleepLeftMs(std::uint64_t nowMs) const;
    // The volume's share: 1, falling linearly to 0 over the timer's last 30 seconds.
    double volumeFactor(std::uint64_t nowMs) const;
    // "定时：还剩 12:34", "定时：本章读完停止"; empty when off.
    std::string sleepStatusText(std::uint64_t nowMs) const;

  private:
    enum class State { Idle, Reading, AwaitingPage };
    Step next(std::uint64_t nowMs, std::vector<std::string> log);
    Step stopWith(std::string_view message, std::vector<std::string> log);

    Mode m_mode = Mode::Selection;
    State m_state = State::Idle;
    std::vector<SpokenSentence> m_sentences;
    std::size_t m_index = 0;
    const std::vector<std::string>* m_order = nullptr;
    std::string m_page;
    bool m_paused = false;
    int m_failures = 0;
    std::string m_engine;
    SleepChoice m_sleep = SleepChoice::Off;
    std::uint64_t m_sleepEnd = 0;
};

} // namespace folio::reader
