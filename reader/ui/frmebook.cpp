// The reading window (see frmebook.h): builds its parts, runs the load event, and forwards its
// buttons and keys to reader/core's commands, which work it through FrmEBook::Face.
#include "reader/ui/frmebook.h"

#include "core/book.h"
#include "core/text.h"
#include "qt/language.h"
#include "reader/core/placestore.h"
#include "reader/ui/booksession.h"
#include "reader/ui/bookvoice.h"
#include "reader/ui/findbar.h"
#include "reader/ui/frmbooktag.h"
#include "reader/ui/frmdownload.h"
#include "reader/ui/frmfullscreen.h"
#include "reader/ui/frmfullscreenb.h"
#include "reader/ui/frmreading.h"
#include "reader/ui/imagelist.h"
#include "reader/ui/onlinelibrary.h"
#include "reader/ui/readercommands.h"
#include "reader/ui/readerlog.h"
#include "reader/ui/readerpanes.h"
#include "reader/ui/readerskin.h"
#include "reader/ui/searchpanel.h"
#include "reader/ui/soundplayer.h"
#include "reader/ui/speechpanel.h"
#include "reader/ui/uitext.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QResizeEvent>
#include <QTimer>
#include <QToolBar>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <map>

namespace folio::readerui {

using B1 = Toolbar1Button;
using B2 = Toolbar2Button;

namespace {
// The longest the contents pane waits for the page pane's first page before loading anyway.
constexpr int ContentsWaitMs = 1500;
} // namespace

// ---- the face of reader/core's commands --------------------------------------------------

class FrmEBook::Face : public ReaderFace {
  public:
    explicit Face(FrmEBook& window) : w(window) {}

    void pageBack() override { book()->back(); }
    void pageForward() override { book()->forward(); }
    void pageStop() override { book()->stop(); }
    void refreshPanes() override {
        book()->reload();
        w.m_panes->webTree()->reload();
    }
    void showPage(const std::string& address) override { book()->load(QUrl(qs(address))); }
    void showPageDocument(const std::string& html) override {
        w.m_panes->showDocument(book(), qs(html));
    }
    void copySelection() override { book()->triggerPageAction(QWebEnginePage::Copy); }
    int zoom() const override { return w.zoomLevel(); }
    void setZoom(int percent) override { w.applyZoom(percent); }
    void find(FindStep step) override {
        switch (step) {
        case FindStep::Open:
            w.m_findBar->open();
            break;
        case FindStep::Next:
            w.m_findBar->findNext();
            break;
        case FindStep::Previous:
            w.m_findBar->findPrevious();
            break;
        case FindStep::Close:
            w.m_findBar->close();
            break;
        }
    }
    std::string homeAddress() const override { return utf8(w.homeAddress()); }
    std::string shelfAddress() const override { return utf8(w.shelfAddress()); }

    void layoutContents(int width) override { w.applyLayout(width); }
    void setButtonVisible(Toolbar1Button b, bool visible) override {
        w.m_toolbars->action(b)->setVisible(visible);
    }
    void setButtonVisible(Toolbar2Button b, bool visible) override {
        w.m_toolbars->action(b)->setVisible(visible);
    }

    void openBookmarks(bool addCurrent) override { w.openBookmarks(addCurrent); }
    void openFullScreen() override { readInFullScreen(&w, book(), w.profile()); }
    void openVoiceSettings() override { w.m_speechPanel->openSettings(&w); }
    void openAbout() override { showReaderAbout(&w, w.programName(), w.programFolder()); }
    void openAnotherBook() override {
        folio::readerui::openAnotherBook(&w, w.programFolder(), w.m_options.chooseBook,
                                         w.m_options.openBook);
    }
    void openSearch() override { w.m_search->activate(); }

    std::string currentBookPage() const override { return utf8(w.currentBookPage()); }
    void showBookPage(const std::string& page, bool atEnd) override {
        if (atEnd) {
            // PageUp at a page's top: the previous page opens at its end, to read on upwards.
            QObject::connect(
                book(), &QWebEngineView::loadFinished, book(),
                [view = book()](bool ok) {
                    if (ok)
                        view->page()->runJavaScript(QStringLiteral(
                            "window.scrollTo(0, document.documentElement.scrollHeight)"));
                },
                Qt::SingleShotConnection);
        }
        book()->load(w.m_session->addressUrl(qs(page)));
    }
    void showStatus(const std::string& text) override { w.m_status->setText(qs(text)); }
    void openReadingSettings() override { w.openReadingSettings(); }

    void readAloud() override { w.readAloud(); }
    void stopReading() override {
        if (w.m_voice)
            w.m_voice->stop();
        w.m_speechPanel->stopReading();
    }
    bool playerHasMedia() const override { return !w.m_sound->url().isEmpty(); }
    void playerPlay() override { w.m_sound->play(); }
    void playerPause() override { w.m_sound->pause(); }
    void playerStop() override { w.m_sound->stop(); }
    bool playBookSound(const std::string& name) override {
        // A name the book lacks leaves the player silent, with the pause button shown.
        w.m_sound->playBookSound(w.m_session->book(), name, w.resourcePrefix() + qs(name));
        return true;
    }

    std::string clipboardText() override { return utf8(QApplication::clipboard()->text()); }
    void clearClipboard() override { QApplication::clipboard()->clear(); }
    std::string saveFolder() const override { return utf8(w.programFolder()) + "/"; }

    void updateContents() override {
        if (w.m_library)
            w.m_library->update();
    }
    void updateIndex() override {
        if (w.m_library)
            w.m_library->bookshelf();
    }
    void downloadChapters() override {
        if (w.m_library)
            w.m_library->downloadChapters();
    }
    void closeWindow() override { w.close(); }

  private:
    QWebEngineView* book() const { return w.m_panes->webBook(); }

    FrmEBook& w;
};

FrmEBook::FrmEBook(ReaderOptions options, QWidget* parent)
    : QWidget(parent), m_options(std::move(options)), m_observer(this, nullptr, m_options.dialogs) {
    setObjectName(QStringLiteral("FrmEBook"));
    setWindowTitle(programName());

    m_session = new BookSession(m_options.variant, m_options.bookPath, m_options.onlineBase, this);
    m_images = new ImageList(this);
    m_panes = new ReaderPanes(this, m_session->profile(), m_options.variant);
    m_sound = new SoundPlayer(this);
    m_toolbars = new ReaderToolbars(this, m_images, m_options.variant);
    m_speechPanel = new SpeechPanel(
        this, m_sound, SpeechOptions{m_options.speech, m_options.makeSpeech, m_options.dialogs});
    if (m_options.variant == Variant::Net) {
        m_library = new OnlineLibrary(this, m_session, m_panes, m_observer, m_options.dialogs,
                                      m_options.downloads);
        connect(m_library, &OnlineLibrary::refreshed, this, &FrmEBook::libraryRefreshed);
    }
    m_search = new SearchPanel(this, m_session->programFolder());
    m_search->hide();
    connect(m_search, &SearchPanel::activated, this, &FrmEBook::placeSearchPanel);
    connect(m_search, &SearchPanel::pageChosen, this,
            [this](const QString& name, const QString& text) {
                // The online reader's pages are files in its folder, named relative to it.
                const QUrl url =
                    m_library ? QUrl::fromLocalFile(QDir(m_session->programFolder()).filePath(name))
                              : m_session->addressUrl(name);
                SearchPanel::openHighlighted(m_panes->webBook(), url, text);
            });
    m_findBar = new FindBar(this, m_panes->webBook(), m_session->programFolder());
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("ReadingStatus"));
    m_status->setContentsMargins(6, 0, 6, 0);
    // Reading settings and the chapter keys reach every page of the window's profile, the
    // contents pane and full screen included.
    m_reading.load();
    installChapterKeys(m_session->profile());
    m_reading.apply(m_session->profile(), m_panes->webTree(), m_panes->webBook(),
                    {m_search, m_status});
    connect(m_panes->webBook()->page(), &QWebEnginePage::scrollPositionChanged, this,
            &FrmEBook::updateStatus);
    connect(m_panes, &ReaderPanes::chapterKey, this, [this](const QString& which) {
        const std::string address = std::string(ChapterKeyScheme) + ":" + utf8(which);
        if (const auto at = folio::reader::parseReadAt(address)) {
            if (m_voice)
                m_voice->readAt(*at);
            return;
        }
        m_commands->run(which == QLatin1String("next") ? Command::NextChapter
                                                       : Command::PreviousChapterEnd);
    });
    connect(m_findBar, &FindBar::visibilityChanged, this, [this] { applyLayout(TreeWidth); });
    connectCommands();
    connectKeys();
    fitWindowToScreen(this, m_options.variant == Variant::Net ? 1240 : 1100, 760);
}

FrmEBook::~FrmEBook() {
    // Focus leaving the address box while the window goes must not reach the panes.
    m_toolbars->blockSignals(true);
    m_sound->release();
    delete m_voice; // its unseen page goes before the profile
    m_voice = nullptr;
    // Pages must go before the profile they live in, full-screen pages included.
    qDeleteAll(findChildren<FrmFullScreen*>(Qt::FindDirectChildrenOnly));
    delete m_library;
    delete m_panes;
}

void FrmEBook::connectCommands() {
    m_face = std::make_unique<Face>(*this);
    m_commands = std::make_unique<ReadingCommands>(m_options.variant, utf8(programName()), *m_face,
                                                   m_observer);
    // Every button runs its command in reader/core, which works the window through m_face.
    auto on = [this](QAction* action, Command command) {
        if (action)
            connect(action, &QAction::triggered, this,
                    [this, command] { m_commands->run(command); });
    };
    for (int bar : {1, 2}) {
        for (int position = 1; QAction* action = m_toolbars->button(bar, position); ++position) {
            if (const auto command = toolbarCommand(bar, position))
                on(action, *command);
        }
    }
    on(m_toolbars->downloadAction(), Command::Download);
    connect(m_toolbars, &ReaderToolbars::zoomChosen, this,
            [this](int percent) { m_commands->zoomTo(percent); });
    connect(m_toolbars, &ReaderToolbars::addressChosen, this, &FrmEBook::addressChosen);
    connect(m_toolbars, &ReaderToolbars::sleepChosen, this,
            [this](folio::reader::SleepChoice choice) {
                m_sleep = choice;
                if (m_voice)
                    m_voice->setSleep(choice);
            });

    // The end of the media gives the play button back.
    connect(m_sound, &SoundPlayer::pauseButtonShown, this, [this](bool pause) {
        m_toolbars->action(B1::Play)->setVisible(!pause);
        m_toolbars->action(B1::Pause)->setVisible(pause);
    });
    connect(m_panes, &ReaderPanes::soundLinkClicked, this, [this](const QUrl& url) {
        m_commands->playSoundLink(utf8(url.path(QUrl::FullyDecoded)));
    });
    connect(m_panes, &ReaderPanes::pageLoaded, this, &FrmEBook::onPageLoaded);
    connect(m_speechPanel, &SpeechPanel::speechFailed, this, [this](const QString& message) {
        m_observer.messageBox(utf8(message), utf8(programName()), folio::MessageIcon::Exclamation);
    });
}

void FrmEBook::connectKeys() {
    // A command's keys go on its button where it has one, else on an action of the window's own.
    std::map<Command, QAction*> own;
    for (const KeyBinding& binding : keyMap(m_options.variant)) {
        QAction* action = m_toolbars->action(binding.command);
        if (!action) {
            QAction*& mine = own[binding.command];
            if (!mine) {
                mine = new QAction(this);
                addAction(mine);
                connect(mine, &QAction::triggered, this,
                        [this, command = binding.command] { m_commands->run(command); });
            }
            action = mine;
        }
        action->setShortcuts(action->shortcuts() << QKeySequence::fromString(
                                 QString::fromLatin1(binding.keys), QKeySequence::PortableText));
        action->setShortcutContext(Qt::WindowShortcut);
    }
}

QString FrmEBook::programName() const {
    return m_options.variant == Variant::Net ? QStringLiteral("folioNet")
                                             : QStringLiteral("folioPage");
}

QString FrmEBook::programFolder() const {
    return m_session->programFolder();
}
QString FrmEBook::resourcePrefix() const {
    return m_session->resourcePrefix();
}
QString FrmEBook::descriptorText() const {
    return m_session->descriptorText();
}
QStringList FrmEBook::descriptorFields() const {
    return m_session->descriptorFields();
}
QString FrmEBook::homeAddress() const {
    return m_session->homeAddress();
}
QString FrmEBook::shelfAddress() const {
    return m_session->shelfAddress();
}
QString FrmEBook::onlineBase() const {
    return m_session->onlineBase();
}
int FrmEBook::zoomLevel() const {
    return m_panes->zoom();
}
QString FrmEBook::playerUrl() const {
    return m_sound->url();
}
QWebEngineView* FrmEBook::webTree() const {
    return m_panes->webTree();
}
QWebEngineView* FrmEBook::webBook() const {
    return m_panes->webBook();
}
QWebEngineProfile* FrmEBook::profile() const {
    return m_session->profile();
}
QMediaPlayer* FrmEBook::player() const {
    return m_sound->player();
}
TwipRect FrmEBook::paneTwips(QWidget* pane) const {
    return m_panes->paneTwips(pane);
}
void FrmEBook::releaseSplitter(int xTwips) {
    m_panes->releaseSplitter(xTwips);
}
void FrmEBook::applyZoom(int percent) {
    m_panes->setZoom(percent);
}

FrmDownload* FrmEBook::downloadWindow() const {
    return m_library ? m_library->downloadWindow() : nullptr;
}

bool FrmEBook::contentsCollapsed() const {
    return m_toolbars->action(B2::Expand)->isVisible();
}

// ---- layout ------------------------------------------------------------------------------

void FrmEBook::applyLayout(int treeWidth) {
    const int top = m_toolbars->layoutTop(width(), m_speechPanel);
    // The status line takes the last row, the find bar, when open, the one above it.
    // Unless the reader has put it away in the reading settings.
    const bool statusShown = m_reading.settings().statusLine;
    m_status->setVisible(statusShown);
    const int status = statusShown ? m_status->sizeHint().height() : 0;
    m_status->setGeometry(0, height() - status, width(), status);
    const int find = m_findBar->isHidden() ? 0 : m_findBar->sizeHint().height();
    m_findBar->setGeometry(0, height() - status - find, width(), find);
    const int bottom = status + find;
    m_panes->layout(top, bottom, m_toolbars->toolbar(1)->height(), treeWidth);
    placeSearchPanel();
}

// The search panel covers the lower part of the contents pane, or the left of the page pane
// while the contents pane is closed; the panes and toolbars keep their places.
void FrmEBook::placeSearchPanel() {
    const QRect tree = m_panes->webTree()->geometry();
    const QRect page = m_panes->webBook()->geometry();
    m_search->placeIn(tree.width() >= 160 ? tree
                                          : QRect(page.topLeft(), QSize(std::min(320, page.width()),
                                                                        page.height())));
}

void FrmEBook::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (isMinimized()) {
        return;
    }
    // Every resize gives the contents pane its full width back, whatever was done before.
    applyLayout(TreeWidth);
}

// ---- start-up ----------------------------------------------------------------------------

void FrmEBook::load() {
    attachReaderSkin(this, programFolder());
    loadHtml();
    selectLanguage();
    if (m_options.variant == Variant::Net) {
        QCoreApplication::processEvents();
    }
    applyZoom(initialZoom(m_options.variant));
    selectLanguage();
    if (m_library && m_options.downloads) {
        m_library->refresh();
    }
    // The voice lists come after the book: asking the synthesisers for their voices must not
    // hold up the first page.
    m_speechPanel->loadVoiceLater(programFolder());
    m_speechPanel->startDisplay();
}

void FrmEBook::loadHtml() {
    // Any failure on the way leaves the about page in both panes and the plain caption.
    const bool opened = m_session->open();
    setWindowTitle(m_session->caption());
    if (m_library) {
        // The online book is the pages kept in the program folder so far.
        m_search->setFolder(m_session->programFolder());
        m_library->showKept();
        return;
    }
    if (opened) {
        m_search->setBook(m_session->book());
        buildReadingOrder();
        // A book read with settings of its own takes them again, before its first page.
        // (An EPUB book has no Book image and keeps its settings with the default.)
        m_bookKey = m_session->book() ? bookKey(*m_session->book()) : std::string();
        if (const auto own = m_bookKey.empty() ? std::nullopt : ReadingStore().find(m_bookKey))
            readingChanged(*own);
        m_panes->webBook()->load(QUrl(homeAddress()));
        // The contents pane loads once the page pane has its page: both panes share one
        // renderer, and the page is what the reader waits for. A page that takes long to load
        // does not keep the contents waiting longer than ContentsWaitMs.
        auto loadContents = [this, loaded = std::make_shared<bool>(false)] {
            if (!*loaded) {
                *loaded = true;
                m_panes->setContentsPage(QUrl(m_session->contentsAddress()));
                m_panes->webTree()->load(QUrl(m_session->contentsAddress()));
            }
        };
        connect(m_panes->webBook(), &QWebEngineView::loadFinished, this, loadContents,
                Qt::SingleShotConnection);
        QTimer::singleShot(ContentsWaitMs, this, loadContents);
        QCoreApplication::processEvents();
        return;
    }
    const QString about = qs(AboutHtml());
    m_panes->showDocument(m_panes->webTree(), about);
    m_panes->showDocument(m_panes->webBook(), about);
}

void FrmEBook::selectLanguage() {
    folio::qt::SelectLanguageFromLocale(programFolder());
    // Captions of other lengths: the second toolbar's buttons and the speech panel beside them
    // (which would otherwise cover the last caption) are placed anew.
    m_toolbars->captionsChanged();
    applyLayout(contentsCollapsed() ? ClosedTreeWidth : TreeWidth);
}

void FrmEBook::buildReadingOrder() {
    if (const std::shared_ptr<const book::BookImage>& image = m_session->book()) {
        m_bookReading = bookReading(*image);
        m_commands->setReadingOrder(m_bookReading.order);
    }
}

void FrmEBook::updateStatus() {
    QWebEnginePage* page = m_panes->webBook()->page();
    const double room = page->contentsSize().height() - m_panes->webBook()->height();
    const double fraction = room > 0 ? page->scrollPosition().y() / room : 1.0;
    QString text = qs(
        readingStatusText(m_bookReading, m_shownIndex, fraction, ReadingSpeed().bytesPerMinute()));
    if (const QString timer = m_voice ? m_voice->statusText() : QString(); !timer.isEmpty())
        text += QStringLiteral(" · ") + timer;
    m_status->setText(text);
}

void FrmEBook::readAloud() {
    if (m_voice && m_voice->reading()) {
        m_voice->pauseOrResume();
        return;
    }
    const QString selected = m_panes->webBook()->selectedText();
    ProcessSpeechEngine* voices = m_speechPanel->sentenceVoices();
    if (!voices) {
        // The recorded voice, or an engine of the caller's: the selection as a whole.
        m_speechPanel->readAloud(selected);
        return;
    }
    if (!m_voice || m_voiceEngine != voices) {
        delete m_voice;
        m_voiceEngine = voices;
        m_voice = new BookVoice(
            voices,
            {[this] { return m_panes->webBook(); }, [this] { return currentBookPage(); },
             [this] { return m_commands->readingOrder(); },
             [this](const std::string& page) {
                 m_panes->webBook()->load(m_session->addressUrl(qs(page)));
             },
             [this](const std::string& page) { return m_session->addressUrl(qs(page)); }},
            this);
        m_voice->setSleep(m_sleep);
        connect(m_voice, &BookVoice::statusChanged, this, &FrmEBook::updateStatus);
        connect(m_voice, &BookVoice::stopped, this, [this](const QString& message, bool boxed) {
            if (boxed)
                m_observer.messageBox(utf8(message), utf8(programName()),
                                      folio::MessageIcon::Exclamation);
            else
                m_status->setText(message);
        });
    }
    if (selected.isEmpty())
        m_voice->readFromView();
    else
        m_voice->readSelection(selected);
}

void FrmEBook::openReadingSettings() {
    if (!m_readingPanel) {
        m_readingPanel = new FrmReading(this, m_reading.settings(), programFolder());
        connect(m_readingPanel, &FrmReading::changed, this, &FrmEBook::readingChanged);
        connect(m_readingPanel, &FrmReading::setAsDefault, this,
                [this](const folio::reader::ReadingSettings& s) {
                    if (auto saved = ReadingStyle::saveDefault(s); !saved)
                        m_observer.messageBox("阅读设置没有设为默认：" + saved.error().message,
                                              utf8(programName()), folio::MessageIcon::Exclamation);
                });
    }
    m_readingPanel->show();
    m_readingPanel->raise();
    m_readingPanel->activateWindow();
}

void FrmEBook::readingChanged(const folio::reader::ReadingSettings& settings) {
    const bool statusWas = m_reading.settings().statusLine;
    m_reading.setSettings(settings);
    m_reading.apply(m_session->profile(), m_panes->webTree(), m_panes->webBook(),
                    {m_search, m_status});
    if (settings.statusLine != statusWas)
        applyLayout(contentsCollapsed() ? ClosedTreeWidth : TreeWidth);
    // Kept for this book only; a settings file that cannot be written costs only the next
    // opening its settings.
    if (!m_bookKey.empty())
        (void)ReadingStore().remember(m_bookKey, settings);
}

QString FrmEBook::currentBookPage() const {
    return qs(
        bookPageOf(afterBookPrefix(utf8(m_panes->webBook()->url().toString(QUrl::FullyEncoded)),
                                   utf8(QUrl(resourcePrefix()).toString(QUrl::FullyEncoded)))));
}

void FrmEBook::onPageLoaded(bool ok) {
    if (ok) {
        qCDebug(readerLog).noquote() << "page: " + m_panes->webBook()->url().toString();
        const auto& order = m_commands->readingOrder();
        const auto at = chapterIndex(order, utf8(currentBookPage()));
        ReadingSpeed().learnStep(m_bookReading, m_shownIndex, at, m_shownSince.elapsed() / 1000.0);
        m_shownIndex = at;
        m_shownSince.start();
        updateStatus();
    }
    if (m_voice)
        m_voice->pageLoaded(ok);
    if (!ok || m_options.variant != Variant::Net) {
        return;
    }
    QWebEngineView* view = m_panes->webBook();
    setWindowTitle(qs(onlineCaption(utf8(view->title()))));
    const QString address = view->url().toString();
    QComboBox* box = addressBox();
    if (box->findText(address) < 0) {
        box->addItem(address);
    }
    box->setEditText(address);
}

// ---- commands ----------------------------------------------------------------------------

void FrmEBook::openBookmarks(bool addCurrent) {
    FrmBookTag bookmarks(
        this, programFolder(), m_panes->webBook()->url().toString(),
        [this](const QString& address) {
            m_panes->webBook()->load(m_session->addressUrl(address));
        },
        m_options.dialogs, m_options.variant == Variant::Page ? resourcePrefix() : QString());
    if (addCurrent) {
        bookmarks.addCurrent(); // the window shows the new bookmark; closing it keeps it
    }
    bookmarks.exec();
}

void FrmEBook::addressChosen(const QString& address) {
    // An address the reader types is his choice, not a page's.
    const QUrl url = QUrl::fromUserInput(address);
    m_session->allowWebAddress(url.toString());
    m_panes->webBook()->load(url);
}

} // namespace folio::readerui
