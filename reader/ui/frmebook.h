// The reading window: contents pane and page pane, toolbars, the speech and player panel, and
// (online) the address box. Its parts live in classes of their own: BookSession (the book,
// its addresses and browser profile), ReaderPanes (panes, splitter, routing, zoom),
// ReaderToolbars (named buttons), SpeechPanel, SoundPlayer and, for folioNet, OnlineLibrary.
// What a button or key does is reader/core's (ReadingCommands); the window draws and forwards.
#pragma once

#include "qt/windowobserver.h"
#include "reader/ui/readerrules.h"
#include "reader/ui/readertoolbars.h"
#include "reader/ui/readingstyle.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QComboBox;
class QMediaPlayer;
class QLabel;
class QToolBar;
class QWebEngineProfile;
class QWebEngineView;

namespace folio::reader {
class SpeechEngine;
}

namespace folio::readerui {

class FrmReading;

class BookSession;
class BookVoice;
class FindBar;
class FrmDownload;
class ImageList;
class OnlineLibrary;
class ProcessSpeechEngine;
class ReaderPanes;
class SoundPlayer;
class SearchPanel;
class SpeechPanel;

struct ReaderOptions {
    Variant variant = Variant::Page;
    // folioPage: the Book image the reader treats as its own file. folioNet: the program folder
    // (or any file in it).
    QString bookPath;
    // Where the boxes, questions and dialogs go; null means the real ones (see WindowObserver).
    folio::Observer* dialogs = nullptr;
    // The speech engine; null means the platform's own.
    folio::reader::SpeechEngine* speech = nullptr;
    // Makes a voice for the settings window; empty means the platform's own (or, when
    // `speech` is given, that one).
    std::function<std::unique_ptr<folio::reader::SpeechEngine>()> makeSpeech;
    // folioNet: the online library's base address; empty means the one from folioNet.ini.
    QString onlineBase;
    // folioNet: whether start-up, update and bookshelf really download (tests switch it off).
    bool downloads = true;
    // Ctrl+O: asks for a book (empty: cancelled) and opens it; empty functions mean the file
    // dialog and a new reader process.
    std::function<QString(QWidget* parent)> chooseBook;
    std::function<void(const QString& path)> openBook;
};

class FrmEBook : public QWidget {
    Q_OBJECT
  public:
    explicit FrmEBook(ReaderOptions options, QWidget* parent = nullptr);
    // The reading settings panel once opened (null before).
    FrmReading* readingPanel() const { return m_readingPanel; }
    ~FrmEBook() override;

    // The window's load event: skin, voice, book, language, zoom, (online) downloads.
    void load();

    Variant variant() const { return m_options.variant; }
    QString programName() const;
    QString programFolder() const;
    QString resourcePrefix() const;
    QString descriptorText() const;
    QStringList descriptorFields() const;
    QString homeAddress() const;
    QString shelfAddress() const;
    int zoomLevel() const;
    bool contentsCollapsed() const;
    QString playerUrl() const;

    // The parts, for what hooks into the window.
    BookSession* session() const { return m_session; }
    ReaderPanes* panes() const { return m_panes; }
    ReaderToolbars* toolbars() const { return m_toolbars; }
    SpeechPanel* speechPanel() const { return m_speechPanel; }
    SearchPanel* searchPanel() const { return m_search; }
    SoundPlayer* sound() const { return m_sound; }
    FindBar* findBar() const { return m_findBar; }
    // The status line under the panes: the place in the reading order, the book's ends.
    QLabel* statusLine() const { return m_status; }

    QWebEngineView* webTree() const;
    QWebEngineView* webBook() const;
    QWebEngineProfile* profile() const;
    QToolBar* toolbar(int number) const { return m_toolbars->toolbar(number); } // 1, 2, 3
    // The button at a 1-based position (separators counted).
    QAction* button(int toolbarNumber, int index) const {
        return m_toolbars->button(toolbarNumber, index);
    }
    QMediaPlayer* player() const;

    // The splitter bar released `xTwips` from its left edge.
    void releaseSplitter(int xTwips);
    // Current geometry of a pane in twips, as the layout rules see it.
    TwipRect paneTwips(QWidget* pane) const;

    // Sets the zoom of the page pane: its current document and every page loaded afterwards.
    void applyZoom(int percent);

    // folioNet: the online library's base address in use.
    QString onlineBase() const;
    FrmDownload* downloadWindow() const;
    QComboBox* addressBox() const { return m_toolbars->addressBox(); }

  signals:
    // folioNet: a refresh from the online library has ended and the panes were told what to
    // show (the fresh copies, or the message that the library could not be reached).
    void libraryRefreshed(bool reached);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void connectCommands();
    void applyLayout(int treeWidth);
    void placeSearchPanel();
    void loadHtml();
    void selectLanguage();

    void connectKeys();
    void openBookmarks(bool addCurrent);
    void addressChosen(const QString& address);
    void onPageLoaded(bool ok);
    // The page pane's page as a path of the book; empty for another address.
    QString currentBookPage() const;
    void buildReadingOrder();
    // The status line: the place in the order, the share read, the time left.
    void updateStatus();
    void openReadingSettings();
    // "朗读": the selection, or the book from the page in view; while reading, pause or resume.
    void readAloud();
    // New reading settings: over the pages at once, and kept for this book.
    void readingChanged(const folio::reader::ReadingSettings& settings);

    ReaderOptions m_options;
    // What the commands report: the boxes over this window, the caption as its title.
    folio::qt::WindowObserver m_observer;
    // What reader/core's commands do to this window, and the commands themselves.
    class Face;
    std::unique_ptr<Face> m_face;
    std::unique_ptr<folio::reader::ReadingCommands> m_commands;
    BookSession* m_session = nullptr;
    ImageList* m_images = nullptr;
    ReaderToolbars* m_toolbars = nullptr;
    ReaderPanes* m_panes = nullptr;
    SoundPlayer* m_sound = nullptr;
    SpeechPanel* m_speechPanel = nullptr;
    OnlineLibrary* m_library = nullptr; // folioNet only
    FindBar* m_findBar = nullptr;
    SearchPanel* m_search = nullptr;
    QLabel* m_status = nullptr;
    ReadingStyle m_reading;
    std::string m_bookKey;                    // of the open book, for what is kept per book
    folio::reader::BookReading m_bookReading; // the order and what its pages weigh
    std::optional<std::size_t> m_shownIndex;  // the page shown in the reading order
    QElapsedTimer m_shownSince;
    FrmReading* m_readingPanel = nullptr;
    BookVoice* m_voice = nullptr; // from the first reading of the book
    ProcessSpeechEngine* m_voiceEngine = nullptr;
    folio::reader::SleepChoice m_sleep = folio::reader::SleepChoice::Off;
};

} // namespace folio::readerui
