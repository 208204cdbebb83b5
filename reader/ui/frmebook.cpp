// The reading window (see frmebook.h): builds its parts, runs the load event and carries out
// the toolbar commands.
#include "reader/ui/frmebook.h"

#include "qt/language.h"
#include "reader/ui/booksession.h"
#include "reader/ui/findbar.h"
#include "reader/ui/frmbooktag.h"
#include "reader/ui/frmdownload.h"
#include "reader/ui/frmfullscreen.h"
#include "reader/ui/frmfullscreenb.h"
#include "reader/ui/imagelist.h"
#include "reader/ui/onlinelibrary.h"
#include "reader/ui/readercommands.h"
#include "reader/ui/readerpanes.h"
#include "reader/ui/readerskin.h"
#include "reader/ui/searchpanel.h"
#include "reader/ui/soundplayer.h"
#include "reader/ui/speechpanel.h"
#include "reader/ui/uitext.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QResizeEvent>
#include <QTimer>
#include <QToolBar>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace folio::readerui {

using B1 = Toolbar1Button;
using B2 = Toolbar2Button;

namespace {
// The longest the contents pane waits for the page pane's first page before loading anyway.
constexpr int ContentsWaitMs = 1500;
} // namespace

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
    m_search->installShortcut(this);
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
    connect(m_findBar, &FindBar::visibilityChanged, this, [this] { applyLayout(TreeWidth); });
    connectCommands();
    connectKeys();
    fitWindowToScreen(this, m_options.variant == Variant::Net ? 1240 : 1100, 760);
}

FrmEBook::~FrmEBook() {
    // Focus leaving the address box while the window goes must not reach the panes.
    m_toolbars->blockSignals(true);
    m_sound->release();
    // Pages must go before the profile they live in, full-screen pages included.
    qDeleteAll(findChildren<FrmFullScreen*>(Qt::FindDirectChildrenOnly));
    delete m_library;
    delete m_panes;
}

void FrmEBook::connectCommands() {
    auto on = [this](QAction* action, auto slot) {
        connect(action, &QAction::triggered, this, slot);
    };
    QWebEngineView* book = m_panes->webBook();
    QWebEngineView* tree = m_panes->webTree();
    on(m_toolbars->action(B1::Back), [book] { book->back(); });
    on(m_toolbars->action(B1::Forward), [book] { book->forward(); });
    on(m_toolbars->action(B1::Refresh), [book, tree] {
        book->reload();
        tree->reload();
    });
    on(m_toolbars->action(B1::Stop), [book] { book->stop(); });
    on(m_toolbars->action(B1::Home), [this] { goHome(); });
    on(m_toolbars->action(B1::Bookmark), [this] { openBookmarks(false); });
    on(m_toolbars->action(B1::Find), [this] { m_findBar->open(); });
    on(m_toolbars->action(B1::ZoomIn), [this] { applyZoom(zoomIn(zoomLevel())); });
    on(m_toolbars->action(B1::ZoomOut), [this] { applyZoom(zoomOut(zoomLevel())); });
    on(m_toolbars->action(B1::FullScreen), [this] { openFullScreen(); });
    on(m_toolbars->action(B1::ReadAloud),
       [this, book] { m_speechPanel->readAloud(book->selectedText()); });
    on(m_toolbars->action(B1::StopReading), [this] { m_speechPanel->stopReading(); });
    on(m_toolbars->action(B1::Settings), [this] { m_speechPanel->openSettings(this); });
    on(m_toolbars->action(B1::Play), [this] { m_sound->play(); });
    on(m_toolbars->action(B1::Pause), [this] { m_sound->pause(); });
    on(m_toolbars->action(B1::StopPlayer), [this] { m_sound->stop(); });
    on(m_toolbars->action(B1::About),
       [this] { showReaderAbout(this, programName(), programFolder()); });
    on(m_toolbars->action(B1::Exit), [this] { close(); });
    on(m_toolbars->action(B2::Close), [this] { closeContents(true); });
    on(m_toolbars->action(B2::Expand), [this] { closeContents(false); });
    on(m_toolbars->action(B2::Copy), [book] { book->triggerPageAction(QWebEnginePage::Copy); });
    on(m_toolbars->action(B2::Save),
       [this] { saveClipboardText(this, m_observer, programFolder(), programName()); });
    on(m_toolbars->action(B2::Update), [this] {
        if (m_library) {
            m_library->update();
        }
    });
    on(m_toolbars->action(B2::Bookshelf), [this] { bookshelf(); });
    if (m_library) {
        on(m_toolbars->downloadAction(), [this] { m_library->downloadChapters(); });
    }
    // The drop-down entries set the zoom directly.
    connect(m_toolbars, &ReaderToolbars::zoomChosen, this, &FrmEBook::applyZoom);
    connect(m_toolbars, &ReaderToolbars::addressChosen, this, &FrmEBook::addressChosen);

    connect(m_sound, &SoundPlayer::pauseButtonShown, this, [this](bool pause) {
        m_toolbars->action(B1::Play)->setVisible(!pause);
        m_toolbars->action(B1::Pause)->setVisible(pause);
    });
    connect(m_panes, &ReaderPanes::soundLinkClicked, this, [this](const QUrl& url) {
        const std::string name = soundResourceName(utf8(url.path(QUrl::FullyDecoded)));
        m_sound->playBookSound(m_session->book(), name, resourcePrefix() + qs(name));
    });
    connect(m_panes, &ReaderPanes::pageLoaded, this, &FrmEBook::onPageLoaded);
    connect(m_speechPanel, &SpeechPanel::speechFailed, this, [this](const QString& message) {
        m_observer.messageBox(utf8(message), utf8(programName()), folio::MessageIcon::Exclamation);
    });
}

void FrmEBook::connectKeys() {
    // Keys of their own; the toolbar buttons carry theirs (readertoolbars.cpp).
    auto key = [this](QKeySequence sequence, auto slot) {
        auto* action = new QAction(this);
        action->setShortcut(sequence);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        connect(action, &QAction::triggered, this, slot);
    };
    key(QKeySequence(Qt::CTRL | Qt::Key_0), [this] { applyZoom(NormalZoom); });
    key(QKeySequence(Qt::Key_F3), [this] { m_findBar->findNext(); });
    key(QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { m_findBar->findPrevious(); });
    key(QKeySequence(Qt::Key_Escape), [this] { m_findBar->close(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_D), [this] { openBookmarks(true); });
    if (m_options.variant == Variant::Page) {
        key(QKeySequence(Qt::CTRL | Qt::Key_O), [this] {
            openAnotherBook(this, programFolder(), m_options.chooseBook, m_options.openBook);
        });
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
    // The find bar, when open, takes a row under the panes.
    const int bottom = m_findBar->isHidden() ? 0 : m_findBar->sizeHint().height();
    m_findBar->setGeometry(0, height() - bottom, width(), bottom);
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

void FrmEBook::closeContents(bool close) {
    m_toolbars->action(B2::Close)->setVisible(!close);
    m_toolbars->action(B2::Expand)->setVisible(close);
    applyLayout(close ? ClosedTreeWidth : TreeWidth);
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
        m_panes->webBook()->load(QUrl(homeAddress()));
        // The contents pane loads once the page pane has its page: both panes share one
        // renderer, and the page is what the reader waits for. A page that takes long to load
        // does not keep the contents waiting longer than ContentsWaitMs.
        auto loadContents = [this, loaded = std::make_shared<bool>(false)] {
            if (!*loaded) {
                *loaded = true;
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

void FrmEBook::onPageLoaded(bool ok) {
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

void FrmEBook::goHome() {
    if (!homeAddress().isEmpty()) {
        m_panes->webBook()->load(QUrl(homeAddress()));
    } else {
        m_panes->showDocument(m_panes->webBook(), qs(AboutHtml()));
    }
}

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

void FrmEBook::openFullScreen() {
    readInFullScreen(this, m_panes->webBook(), profile());
}

void FrmEBook::bookshelf() {
    if (m_library) {
        m_library->bookshelf();
    } else if (!shelfAddress().isEmpty()) {
        m_panes->webBook()->load(QUrl(shelfAddress()));
    }
}

void FrmEBook::addressChosen(const QString& address) {
    // An address the reader types is his choice, not a page's.
    const QUrl url = QUrl::fromUserInput(address);
    m_session->allowWebAddress(url.toString());
    m_panes->webBook()->load(url);
}

} // namespace folio::readerui
