// The reading window: contents pane and page pane, toolbars, the speech and player panel, and
// (online) the address box.
#pragma once

#include "reader/ui/readerrules.h"

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <future>
#include <memory>
#include <vector>

class QAction;
class QAudioOutput;
class QCheckBox;
class QComboBox;
class QFrame;
class QIODevice;
class QLabel;
class QLineEdit;
class QMediaPlayer;
class QSlider;
class QTimer;
class QToolBar;
class QWebEngineProfile;
class QWebEngineView;

namespace folio::book {
class BookImage;
}
namespace folio::reader {
class SpeechEngine;
struct VoiceControls;
} // namespace folio::reader
namespace folio::qt {
class MessageService;
class ProcessSpeechEngine;
class ResSchemeHandler;
} // namespace folio::qt

namespace folio::readerui {

class FrmDownload;
class ImageList;

struct ReaderOptions {
    Variant variant = Variant::Page;
    // folioPage: the Book image the reader treats as its own file. folioNet: the program folder
    // (or any file in it).
    QString bookPath;
    // Dialogs; null means the real ones.
    folio::qt::MessageService* messages = nullptr;
    // The speech engine; null means the platform's own.
    folio::reader::SpeechEngine* speech = nullptr;
    // Makes a voice for the settings window; empty means the platform's own (or, when
    // `speech` is given, that one).
    std::function<std::unique_ptr<folio::reader::SpeechEngine>()> makeSpeech;
    // folioNet: the online library's base address; empty means the one from folioNet.ini.
    QString onlineBase;
    // folioNet: whether start-up, update and bookshelf really download (tests switch it off).
    bool downloads = true;
};

class FrmEBook : public QWidget {
    Q_OBJECT
  public:
    explicit FrmEBook(ReaderOptions options, QWidget* parent = nullptr);
    ~FrmEBook() override;

    // The window's load event: skin, voice, book, language, zoom, (online) downloads.
    void load();

    Variant variant() const { return m_options.variant; }
    QString programName() const;
    QString programFolder() const { return m_programFolder; }
    QString resourcePrefix() const { return m_prefix; }
    QString descriptorText() const { return m_descriptorText; }
    QStringList descriptorFields() const { return m_descriptorFields; }
    QString homeAddress() const { return m_homeAddress; }
    QString shelfAddress() const { return m_shelfAddress; }
    int zoomLevel() const { return m_zoomLevel; }
    bool contentsCollapsed() const;
    QString playerUrl() const { return m_playerUrl; }

    QWebEngineView* webTree() const { return m_webTree; }
    QWebEngineView* webBook() const { return m_webBook; }
    QWebEngineProfile* profile() const { return m_profile; }
    QToolBar* toolbar(int number) const; // 1, 2, 3
    // The button at a 1-based position (separators counted).
    QAction* button(int toolbarNumber, int index) const;
    QMediaPlayer* player() const { return m_player; }

    // The splitter bar released `xTwips` from its left edge.
    void releaseSplitter(int xTwips);
    // Current geometry of a pane in twips, as the layout rules see it.
    TwipRect paneTwips(QWidget* pane) const;

    // Zooms the page pane's current document (nothing when it holds none).
    void applyZoom(int percent);

    // folioNet: the online library's base address in use.
    QString onlineBase() const { return m_onlineBase; }
    FrmDownload* downloadWindow() const;
    QComboBox* addressBox() const { return m_comURL; }

  signals:
    // folioNet: a refresh from the online library has ended and the panes were told what to
    // show (the fresh copies, or the message that the library could not be reached).
    void libraryRefreshed(bool reached);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildToolbars();
    void buildSpeechPanel();
    void buildAddressBox();
    void applyLayout(int treeWidth);

    void attachSkin();
    void loadVoice();
    void loadHtml();
    void selectLanguage();
    // Downloads on a worker thread; `done` gets one message per download ("" when it
    // succeeded) on the window's thread.
    void fetchInBackground(std::vector<Download> list,
                           std::function<void(const std::vector<std::string>&)> done);
    // Downloads a page, then whatever it needs that is not kept yet; `done` gets the page's
    // own result.
    void fetchPage(const Download& page, std::function<void(const std::string&)> done);
    void refreshLibrary();
    bool onlinePageNavigation(const QUrl& url);
    void keepVoiceSettings();

    void showDocument(QWebEngineView* view, const QString& html);
    void showMessage(QWebEngineView* view, const QString& html);
    void onPaneLoaded(QWebEngineView* view, bool ok);
    void reportPane(QWebEngineView* view);
    bool contentsNavigation(const QUrl& url, bool mainFrame);
    bool pageNavigation(const QUrl& url, bool mainFrame);
    void playSoundLink(const QUrl& url);

    void toolbar1Clicked(QAction* action);
    void toolbar2Clicked(QAction* action);
    void toolbar3Clicked(QAction* action);
    void zoomChosen(QAction* action);
    void goHome();
    QUrl addressUrl(const QString& address) const;
    void openBookmarks();
    void find();
    void openFullScreen();
    void readAloud();
    void stopReading();
    void openSettings();
    void play();
    void pause();
    void stopPlayer();
    void about();
    void closeContents(bool close);
    void save();
    void update();
    void bookshelf();
    void downloadChapters();
    void addressChosen();
    void timerTick();
    void showSpeechControls();

    folio::qt::MessageService& messages();

    ReaderOptions m_options;
    std::unique_ptr<folio::qt::MessageService> m_ownMessages;
    std::unique_ptr<folio::reader::SpeechEngine> m_ownSpeech;
    folio::qt::ProcessSpeechEngine* m_processSpeech = nullptr; // m_ownSpeech, when it is ours
    folio::reader::SpeechEngine* m_speech = nullptr;
    std::unique_ptr<folio::reader::VoiceControls> m_voice;

    QString m_programFolder;
    QString m_prefix;
    QString m_descriptorText;
    QStringList m_descriptorFields;
    QString m_homeAddress;
    QString m_shelfAddress; // nothing sets it: the bookshelf button of the offline reader is idle
    QString m_onlineBase;
    int m_zoomLevel = 100;
    int m_treeWidth = TreeWidth;

    std::shared_ptr<const folio::book::BookImage> m_book;
    QWebEngineProfile* m_profile = nullptr;
    folio::qt::ResSchemeHandler* m_handler = nullptr;
    QHash<QWebEngineView*, QString> m_pendingHtml;
    QSet<QWebEngineView*> m_reportAgain;

    ImageList* m_images = nullptr;
    QToolBar* m_toolbar1 = nullptr;
    QToolBar* m_toolbar2 = nullptr;
    QToolBar* m_toolbar3 = nullptr;
    QWebEngineView* m_webTree = nullptr;
    QWebEngineView* m_webBook = nullptr;
    QFrame* m_pic = nullptr;
    QFrame* m_picture1 = nullptr;
    QFrame* m_picture2 = nullptr;
    QCheckBox* m_check1 = nullptr;
    QComboBox* m_comVoice = nullptr;
    QComboBox* m_comOutput = nullptr;
    QComboBox* m_comFormat = nullptr;
    QLineEdit* m_text1 = nullptr;
    QSlider* m_slider1 = nullptr;
    QSlider* m_volume = nullptr;
    QSlider* m_rate = nullptr;
    QLabel* m_label7 = nullptr;
    QLabel* m_label8 = nullptr;
    QComboBox* m_comURL = nullptr;
    QMediaPlayer* m_player = nullptr;
    QAudioOutput* m_audio = nullptr;
    QTimer* m_timer1 = nullptr;
    std::unique_ptr<QIODevice> m_sound;
    QString m_playerUrl;
    bool m_fillingVoice = false;
    std::string m_savedVoiceFolder; // the folder Voice.ini holds (Text1 keeps the one in use)
    QUrl m_fullScreenPage;          // the last page shown in full screen
    int m_topHeight = 0;            // pixels above the panes
    int m_toolbarTextWidth = 0;     // the first toolbar's width with its captions
    bool m_bookLoading = false;

    QPointer<FrmDownload> m_download;
    std::vector<std::future<bool>> m_downloads;
};

} // namespace folio::readerui
