// FrmEBook, the reading window of the Windows reader: the two toolbars, the contents pane
// WebTree and the page pane WebBook with the splitter Pic between them, and the speech and
// player panel Picture1.
#pragma once

#include "reader/core/commands.h"
#include "reader/core/placestore.h"
#include "reader/core/readaloud.h"
#include "reader/core/reading.h"
#include "reader/core/voice.h"
#include "reader/win32/findpanes.h"
#include "reader/win32/language.h"
#include "reader/win32/sound.h"
#include "reader/win32/toolbar.h"
#include "reader/win32/webpane.h"
#include "reader/win32/windowobserver.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace folio::win32 {

// The window draws and forwards: its buttons and keys run reader/core's commands, which work it
// through ReaderFace and report through its WindowObserver.
class FrmEBook : private folio::reader::ReaderFace {
  public:
    static constexpr const wchar_t* ClassName = L"FrmEBook";

    // Registers the window class and creates the window; runs the load sequence.
    static std::unique_ptr<FrmEBook> create(HINSTANCE instance, int show);
    ~FrmEBook() override;

    HWND hwnd() const { return m_hwnd; }

    // Caption and both panes from the program's own descriptor; the about page on failure.
    void LoadHtml();

    const std::wstring& HomeAddress() const { return m_homeAddress; }
    int ZoomLevel() const { return m_zoomLevel; }

    // The window's own keys first, then the browser panes' keys, before the message loop
    // dispatches the message.
    bool translateAccelerator(MSG* msg);

  private:
    FrmEBook() = default;
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
    void onLoad();
    void attachSkin();
    void buildToolbars();
    void buildPanel();
    void buildPanes();
    void loadVoice();
    std::vector<LanguageTarget> languageTargets();
    void selectLanguage();

    // Layout: toolbars and panel at the top, then the panes with the contents pane
    // `treeTwips` wide.
    void layout(int treeTwips);
    int toolbarHeight() const;
    void placePanel(int left, int top, int width, int height);
    void releaseSplitter(int xTwips);

    void toolbarClicked(int toolbar, int position);
    void zoomDropDown();
    void sleepDropDown();
    void sleepTick();
    void ApplyZoom(int percent);
    void playerTick();

    // The place kept: found for the book at start-up, written when the page changes and when
    // the window closes.
    void openBookState();
    bool restorePlace();
    void savePlace();
    std::string pageName(const std::wstring& url) const;
    void pageCompleted();
    void showStartPanel(const std::string& why);
    // The reading order from the book's contents page; the reading settings of reading.ini.
    void loadReading();
    // Lays `settings` over the pages shown and the next ones, and over the status line.
    void applyReading(const folio::reader::ReadingSettings& settings);
    // Opens an address in the page pane and, where no browser will report the page, logs it.
    void navigateBook(const std::wstring& url);

    // ReaderFace: what the commands do to this window.
    void pageBack() override;
    void pageForward() override;
    void pageStop() override;
    void refreshPanes() override;
    void showPage(const std::string& address) override;
    void showPageDocument(const std::string& html) override;
    void copySelection() override;
    int zoom() const override { return m_zoomLevel; }
    void setZoom(int percent) override;
    void find(folio::reader::FindStep step) override;
    std::string homeAddress() const override;
    std::string shelfAddress() const override;
    void layoutContents(int width) override { layout(width); }
    void setButtonVisible(folio::reader::Toolbar1Button button, bool visible) override;
    void setButtonVisible(folio::reader::Toolbar2Button button, bool visible) override;
    void openBookmarks(bool addCurrent) override;
    void openFullScreen() override;
    void openVoiceSettings() override;
    void openReadingSettings() override;
    void openAbout() override;
    void openSearch() override;
    std::string currentBookPage() const override;
    void showBookPage(const std::string& page, bool atEnd) override;
    void pageShown();
    void readingTick();
    int statusHeight() const;
    void updateStatus();
    void markContents();
    void showStatus(const std::string& text) override;
    void readAloud() override;
    void stopReading() override;
    // Reading aloud: the page's sentences from the one in view (or its first), each step the
    // walk asks for, and SAPI's word that a sentence has been spoken.
    void readPageAloud(bool fromView);
    void takeSpeech(const folio::reader::ReadAloud::Step& step);
    void stopSpeech();
    void speechEvent(bool refused);
    bool playerHasMedia() const override { return !m_player.url().empty(); }
    void playerPlay() override { m_player.play(); }
    void playerPause() override { m_player.pause(); }
    void playerStop() override { m_player.stop(); }
    bool playBookSound(const std::string& name) override;
    std::string clipboardText() override;
    void clearClipboard() override;
    std::string saveFolder() const override;
    void closeWindow() override { DestroyWindow(m_hwnd); }
    void writeAbout(std::unique_ptr<WebPane>& pane, const wchar_t* name);

    HWND m_hwnd = nullptr;
    HACCEL m_accelerators = nullptr;
    std::unique_ptr<FindBar> m_findBar;
    std::unique_ptr<SearchPanel> m_search;
    HWND m_startPanel = nullptr;
    std::optional<WindowObserver> m_observer;
    std::optional<folio::reader::ReadingCommands> m_commands;
    HWND m_pic = nullptr;
    HWND m_picture1 = nullptr;
    HWND m_check1 = nullptr, m_comVoice = nullptr, m_slider1 = nullptr, m_volume = nullptr,
         m_rate = nullptr, m_label7 = nullptr, m_label8 = nullptr;
    HWND m_labels[6] = {}; // Label1 .. Label6, the panel's captions
    HFONT m_font = nullptr;
    HIMAGELIST m_images = nullptr;
    std::unique_ptr<Toolbar> m_toolbar1;
    std::unique_ptr<Toolbar> m_toolbar2;
    std::unique_ptr<WebPane> m_webTree;
    std::unique_ptr<WebPane> m_webBook;
    std::unique_ptr<folio::reader::SpeechEngine> m_speech;
    folio::reader::ReadAloud m_walk;
    std::vector<std::string> m_walkOrder; // the reading order, kept for the whole reading
    std::string m_walkAwaiting;           // the page the walk asked for, until it has loaded
    bool m_walkPage = false;              // reading the page pane, not a selection
    unsigned long m_stream = 0;           // SAPI's stream of the sentence being spoken
    Player m_player;

    std::wstring m_programPath;
    std::wstring m_homeAddress;
    std::string m_prefix;        // the book's resource prefix; empty without a book
    std::string m_missingPage;   // the page the book lacks, to show the reader's page for
    std::wstring m_shelfAddress; // nothing sets it: the bookshelf button stays idle
    std::wstring m_currentLanguage;
    std::wstring m_recordedFolder; // the recorded-voice folder of Voice.ini
    int m_zoomLevel = 100;
    // The book's place: its key and lineage, and the book itself for the pages' stamps.
    std::unique_ptr<folio::book::BookImage> m_book;
    std::string m_bookKey;
    std::string m_lineage;
    std::optional<std::pair<int, int>> m_pendingScroll; // restored once the kept page loads
    std::string m_pendingPage;
    std::wstring m_pendingFind;   // a search result's text, marked once its page has loaded
    bool m_pendingEnd = false;    // the page asked for opens at its end
    std::wstring m_readingScript; // the reading settings' script, run on every page
    std::wstring m_themeScript;   // the theme alone, for the contents pane
    folio::reader::ReadingSettings m_reading;
    ThemePaint m_themePaint; // the theme's colours on the status line
    // Where one is in the book: its reading order and weights, the page of it shown and since
    // when, how far down it is read, and the line that says so.
    folio::reader::BookReading m_bookReading;
    std::optional<std::size_t> m_shownIndex;
    unsigned long long m_shownSince = 0; // GetTickCount64
    double m_depth = 0;
    HWND m_status = nullptr;
    bool m_statusShown = true;
    unsigned m_ticks = 0;
    std::vector<std::string> m_pagesRead; // marked dim in the contents pane
    int m_treeTwips = 3000;
    int m_picLeftTwips = 3000;
    HBRUSH m_background = nullptr; // from the skin, when one is attached
};

// The running program's own file name (full path) and its folder with a trailing '\'.
std::wstring programPath();
std::wstring programFolder();

} // namespace folio::win32
