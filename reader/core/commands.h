// The reading window's command layer, one for both faces: the toolbar buttons by position
// with their captions and pictures, the keys, and what each command does, driven through the
// face (ReaderFace: panes, buttons, player, companion windows) and the observer (boxes,
// questions, the caption). A face builds its bars from these tables, forwards every click and
// key here and draws what it is told.
#pragma once

#include "core/observer.h"
#include "reader/core/readerrules.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace folio::reader {

enum class Command {
    Back,
    Forward,
    Refresh,
    Stop,
    Home,
    Bookmark,
    AddBookmark, // adds the page shown to the bookmarks, then shows them
    Find,
    FindNext,
    FindPrevious,
    CloseFind,
    ZoomIn,
    ZoomOut,
    ZoomNormal,
    FullScreen,
    ReadAloud,
    StopReading,
    VoiceSettings,
    Play,
    Pause,
    StopPlayer,
    About,
    Exit,
    CloseContents,
    ExpandContents,
    Copy,
    Save,
    Update,
    Bookshelf,
    Download,           // folioNet's Toolbar3: the page's links to the download window
    OpenBook,           // another Book image, in a reader of its own
    Search,             // the whole-book search panel, its text box ready for typing
    NextChapter,        // the next page of the reading order
    PreviousChapter,    // the previous one
    PreviousChapterEnd, // the previous one, at its end (PageUp at a page's top)
    ReadingSettings,    // the reading settings panel
};

// ---- toolbars ----------------------------------------------------------------------------

// Toolbar1's buttons by their 1-based position, separators counted (the language file and the
// tests address them by position, so the order never changes).
enum class Toolbar1Button {
    Back = 2,
    Forward = 3,
    Refresh = 4,
    Stop = 5,
    Home = 6,
    Bookmark = 8,
    Find = 9,
    ZoomIn = 10,
    ZoomOut = 11,
    FullScreen = 13,
    ReadAloud = 14,
    StopReading = 15,
    Settings = 16,
    Play = 18,
    Pause = 19,
    StopPlayer = 20,
    About = 22,
    Exit = 23,
};

// Toolbar2's buttons by position.
enum class Toolbar2Button {
    Close = 2,
    Expand = 3,
    Copy = 4,
    Save = 5,
    Update = 6,
    Bookshelf = 7,
    // The reading order's steps and the reading settings, after the contents pane's own.
    PreviousChapter = 9,
    NextChapter = 10,
    ReadingSettings = 11,
};

struct ToolbarButton {
    const char* caption; // the built-in caption; nullptr for a separator
    int picture;         // 1-based, in toolbarpictures.h
    Command command;     // what a click does (a separator does nothing)
    bool separator() const { return caption == nullptr; }
};

// Toolbar1 (23 positions) and Toolbar2 (11), separators included, in position order.
std::span<const ToolbarButton> toolbar1Buttons();
std::span<const ToolbarButton> toolbar2Buttons();
// folioNet's Toolbar3 holds this one button.
inline constexpr ToolbarButton DownloadButton{"下载到本地", 20, Command::Download};

// The command of the button at a 1-based position of Toolbar1 or Toolbar2; none for a
// separator or a position outside the bar.
std::optional<Command> toolbarCommand(int toolbar, int position);

// ---- keys --------------------------------------------------------------------------------

struct KeyBinding {
    Command command;
    const char* keys; // one key chord, as Qt writes it in its portable form: "Ctrl+F", "Esc"
};
// The reading window's keys, a command's first key first; OpenBook only offline.
std::vector<KeyBinding> keyMap(Variant variant);

// ---- the face --------------------------------------------------------------------------

enum class FindStep { Open, Next, Previous, Close };

// What the commands do to a face: each face implements it over its own widgets or controls.
class ReaderFace {
  public:
    virtual ~ReaderFace() = default;

    // The page pane.
    virtual void pageBack() = 0;
    virtual void pageForward() = 0;
    virtual void pageStop() = 0;
    virtual void refreshPanes() = 0; // the page pane, then the contents pane
    virtual void showPage(const std::string& address) = 0;
    virtual void showPageDocument(const std::string& html) = 0;
    virtual void copySelection() = 0;
    virtual int zoom() const = 0;
    virtual void setZoom(int percent) = 0;
    virtual void find(FindStep step) = 0;
    // The addresses the book gave: home (empty without a book) and the bookshelf.
    virtual std::string homeAddress() const = 0;
    virtual std::string shelfAddress() const = 0;

    // The contents pane laid out `width` twips wide.
    virtual void layoutContents(int width) = 0;
    virtual void setButtonVisible(Toolbar1Button button, bool visible) = 0;
    virtual void setButtonVisible(Toolbar2Button button, bool visible) = 0;

    // Companion windows.
    virtual void openBookmarks(bool addCurrent) = 0;
    virtual void openFullScreen() = 0;
    virtual void openVoiceSettings() = 0;
    virtual void openAbout() = 0;
    virtual void openAnotherBook() {}
    virtual void openSearch() {}
    virtual void openReadingSettings() {}

    // The reading order: the page shown, as a book path ("" for none or another address); a
    // page of the book to show, at its top or its end; a note for the status line.
    virtual std::string currentBookPage() const { return {}; }
    virtual void showBookPage(const std::string& /*page*/, bool /*atEnd*/) {}
    virtual void showStatus(const std::string& /*text*/) {}

    // Reading aloud and the player.
    virtual void readAloud() = 0;
    virtual void stopReading() = 0;
    virtual bool playerHasMedia() const = 0;
    virtual void playerPlay() = 0;
    virtual void playerPause() = 0;
    virtual void playerStop() = 0;
    // Plays the book's page resource `name`; false when nothing plays.
    virtual bool playBookSound(const std::string& name) = 0;

    // The clipboard, as UTF-8.
    virtual std::string clipboardText() = 0;
    virtual void clearClipboard() = 0;
    // The folder the save dialog opens in, with its trailing separator.
    virtual std::string saveFolder() const = 0;

    // folioNet's online library.
    virtual void updateContents() {}
    virtual void updateIndex() {}
    virtual void downloadChapters() {}

    virtual void closeWindow() = 0;
};

// ---- the commands ------------------------------------------------------------------------

class ReadingCommands {
  public:
    // `programName` ("folioPage", "folioNet") titles the reader's own boxes.
    ReadingCommands(Variant variant, std::string programName, ReaderFace& face,
                    folio::Observer& observer);

    void run(Command command);
    // An entry of the zoom button's drop-down list.
    void zoomTo(int percent);
    // A sound link of the page pane (see isSoundLink): the sound it names plays, and the pause
    // button shows instead of play once it does.
    void playSoundLink(std::string_view url);

    // Saves the clipboard's text into a file the user names: an empty clipboard is told and
    // writes nothing, an existing file is replaced only on Yes (No is the default), the caption
    // shows the path, and success is reported only once the whole file is written.
    void saveClipboardText();

    // The book's reading order (see readingOrder), which the chapter commands step along.
    void setReadingOrder(std::vector<std::string> order) { m_order = std::move(order); }
    const std::vector<std::string>& readingOrder() const { return m_order; }

  private:
    void home();
    void play();
    void pause();
    void setContentsOpen(bool open);
    void bookshelf();
    void stepChapter(bool forward, bool atEnd);

    Variant m_variant;
    std::string m_programName;
    ReaderFace& m_face;
    folio::Observer& m_observer;
    std::vector<std::string> m_order;
};

} // namespace folio::reader
