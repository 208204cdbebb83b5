// Reading for hours: the reading order a book's contents page gives, the steps from chapter to
// chapter along it, and the reading settings (theme, type, spacing) laid over the book's pages.
// One rule for both faces; each face only shows pages and styles.
#pragma once

#include "core/error.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace folio::book {
class BookImage;
}

namespace folio::reader {

// ---- the reading order -----------------------------------------------------------------------

// The pages the contents page links to, in the order it names them: its <a href> links and the
// entries of the generated contents tree (its script's add(id, parent, 'title', 'page') calls),
// each page once (its first place), as book paths resolved from the contents page's folder
// `contentsFolder` ("" at the book's top). Script links, other sites, fragments of the page
// itself and what is no page (pictures, style sheets) are left out.
std::vector<std::string> readingOrder(std::string_view contentsHtml,
                                      std::string_view contentsFolder = {});

// The place of `page` (a book path, compared without regard to case) in the order.
std::optional<std::size_t> chapterIndex(const std::vector<std::string>& order,
                                        std::string_view page);

// Where the next and the previous chapter commands go from `page`: the neighbour in the order;
// from a page outside the order, the next is the order's first page and there is no previous.
// Nullopt at the order's end (or start), where the reader says so instead of moving.
std::optional<std::size_t> nextChapter(const std::vector<std::string>& order,
                                       std::string_view page);
std::optional<std::size_t> previousChapter(const std::vector<std::string>& order,
                                           std::string_view page);

// "第 12/480 章" for the 0-based place `index` in an order of `count` pages.
std::string chapterPlaceText(std::size_t index, std::size_t count);
inline constexpr std::string_view FirstChapterText = "已经是第一章";
inline constexpr std::string_view LastChapterText = "已经是最后一章";

// The address a page goes to when Space or PageDown is pressed at its end ("next"), or PageUp
// at its top ("previous-end"): the face turns it into the chapter command.
inline constexpr std::string_view ChapterKeyScheme = "folio-reader";
// A script for every page of the book: Space or PageDown at the page's end, PageUp (or
// Shift+Space) at its top, ask for the next or the previous chapter through ChapterKeyScheme.
// Keys typed into a form field are left alone. Plain ES5.
std::string chapterKeysScript();

// ---- where the reader is -------------------------------------------------------------------

// The lengths along the reading order, kept once per book: what each page weighs (its bytes in
// the book, markup included, which follows its text's length closely enough for a share) and
// what the pages before it weigh together.
struct ReadingLengths {
    std::vector<std::uint64_t> length;
    std::vector<std::uint64_t> before;
    std::uint64_t total = 0;
};
ReadingLengths readingLengths(const std::vector<std::string>& order,
                              const std::function<std::uint64_t(const std::string&)>& lengthOf);

// The share of the book read, 0 to 1, at `fraction` (0 to 1) of the page at `index`.
double shareRead(const ReadingLengths& lengths, std::size_t index, double fraction);

// A book's reading order (its contents page, the descriptor's fourth field) and what each page
// of it weighs (its bytes in the book), built once when the book opens; empty for a book without
// a contents page.
struct BookReading {
    std::vector<std::string> order;
    ReadingLengths lengths;
};
BookReading bookReading(const book::BookImage& image);

// The reader's own speed, in bytes of page a minute, learnt from the pages read to their end:
// a page left for the next one after `seconds` teaches `bytes / seconds`; a glance (under 5 s)
// or a pause (over 30 minutes) teaches nothing. Kept for the user across books.
class ReadingSpeed {
  public:
    static constexpr std::string_view FileName = "speed";
    // `folder` empty means stateFolder().
    explicit ReadingSpeed(std::string folder = {});
    // Bytes a minute; nullopt until a page has taught it.
    std::optional<double> bytesPerMinute() const;
    Result<void> learn(std::uint64_t bytes, double seconds) const;
    // A page of the order read for `seconds` and left for the next one in the order teaches
    // the speed; any other step (back, a jump, a page outside the order) teaches nothing.
    void learnStep(const BookReading& reading, std::optional<std::size_t> left,
                   std::optional<std::size_t> reached, double seconds) const;

  private:
    std::string m_folder;
};

// "第 12/480 章 · 已读 2.4%", with " · 本章还剩约 3 分钟 · 全书还剩约 12 小时" once the speed is
// known.
std::string whereText(std::size_t index, std::size_t count, double share,
                      std::optional<double> chapterMinutes, std::optional<double> bookMinutes);

// The status line at `fraction` (0 to 1) of the page at `index`: the place, the share read and,
// once the reader's speed is known, the time left in the chapter and in the book. Empty for a
// page outside the order.
std::string readingStatusText(const BookReading& reading, std::optional<std::size_t> index,
                              double fraction, std::optional<double> bytesPerMinute);

// ---- reading settings -----------------------------------------------------------------------

enum class Theme { Original, Sepia, Night, Black, Custom };

struct ReadingSettings {
    Theme theme = Theme::Original;
    std::string foreground = "#333333"; // #rrggbb, for the custom theme
    std::string background = "#ffffff";
    std::string font;            // a font family; empty: the book's own
    int fontSize = 0;            // px; 0: the book's own
    double lineHeight = 0;       // a factor of the font size; 0: the book's own
    double paragraphSpacing = 0; // em between paragraphs; 0: the book's own
    int margin = 0;              // px around the text; 0: the book's own
    int maxWidth = 0;            // px of text at most, centred; 0: no limit
    bool bookStyle = true;       // the book's own style sheets stay on
    std::string userStyle;       // a style sheet file of the user's, laid over everything
    bool statusLine = true;      // the line under the page pane saying where one is
    bool operator==(const ReadingSettings&) const = default;
};

// The theme's names in reading.ini, and their captions.
std::string_view themeName(Theme theme);
std::string_view themeCaption(Theme theme); // "原样", "护眼", "夜间", "纯黑", "自定义"

// The colours a theme shows: text, page, links; the custom theme's are the settings' own.
struct ThemeColours {
    std::string foreground, background, link;
};
std::optional<ThemeColours> themeColours(const ReadingSettings& settings); // none: original

struct ReadingSettingsRead {
    ReadingSettings settings;
    // One line for each value that was malformed and fell back to the built-in default
    // ("FontSize=huge: not a size in px, 0 used").
    std::vector<std::string> problems;
};

// Sets the setting of reading.ini's `key` from its text `value` as reading.ini is read: "" when
// it was taken; the problem when the value is malformed (the setting is then at its built-in
// default); nullopt for a key no setting has.
std::optional<std::string> setReadingValue(ReadingSettings& settings, std::string_view key,
                                           std::string_view value);

// The [Reading] section of a reading.ini text (UTF-8 or CP936, CR LF or LF), value by value: a
// missing key keeps the built-in default, a malformed value falls back to it and is reported.
ReadingSettingsRead parseReadingSettings(std::string_view iniText);
// The [Reading] section for `settings`, every key written, CR LF line ends.
std::string readingSettingsText(const ReadingSettings& settings);

// The settings as the log and the status report them, key by key: {"Theme", "night"}, ...
std::vector<std::pair<std::string, std::string>> readingSettingValues(const ReadingSettings& s);

// The style sheet laid over the pages read for `settings` (empty for the book as written):
// the theme, the type and the spacing, with `userCss` (the user style sheet's text) last.
std::string readingStyleSheet(const ReadingSettings& settings, std::string_view userCss = {});
// The theme alone, for the contents pane and the reader's other pages.
std::string themeStyleSheet(const ReadingSettings& settings);

// A script that puts `css` into the page as its last style sheet (the element `id`), and,
// unless `bookStyle`, switches the page's own sheets off; safe to run before the document has
// a head (it waits for the document's end for the book's sheets). Plain ES5.
std::string readingStyleScript(std::string_view css, bool bookStyle,
                               std::string_view id = "folio-reading");

// The reading settings chosen for each book, beside its place, in the state folder: a book read
// with settings of its own opens with them again; the others take the default.
class ReadingStore {
  public:
    static constexpr std::size_t DefaultCapacity = 200;
    // `folder` empty means stateFolder().
    explicit ReadingStore(std::string folder = {}, std::size_t capacity = DefaultCapacity);
    std::optional<ReadingSettings> find(std::string_view key) const;
    Result<void> remember(std::string_view key, const ReadingSettings& settings) const;

  private:
    std::string filePath() const;
    std::string m_folder;
    std::size_t m_capacity;
};

} // namespace folio::reader
