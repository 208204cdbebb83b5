// The reading window (see frmebook.h).
#include "reader/ui/frmebook.h"

#include "reader/ui/frmabout.h"
#include "reader/ui/frmbooktag.h"
#include "reader/ui/frmdownload.h"
#include "reader/ui/frmfullscreen.h"
#include "reader/ui/frmfullscreenb.h"
#include "reader/ui/frmset.h"
#include "reader/ui/imagelist.h"

#include "core/book.h"
#include "core/fileio.h"
#include "core/text.h"
#include "maker/fetch/download.h"
#include "maker/fetch/netsettings.h"
#include "qt/language.h"
#include "qt/messageservice.h"
#include "qt/pagepolicy.h"
#include "qt/resschemehandler.h"
#include "qt/speech.h"
#include "reader/core/voice.h"
#include "reader/ui/uitext.h"
#include "skin/skinloader.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QAudioOutput>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QMenu>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QSlider>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <filesystem>

namespace folio::readerui {

namespace {

// A browser page whose navigations the window decides on.
class ReaderPage : public QWebEnginePage {
  public:
    using Decide = std::function<bool(const QUrl&, bool mainFrame)>;
    ReaderPage(QWebEngineProfile* profile, Decide decide, QObject* parent)
        : QWebEnginePage(profile, parent), m_decide(std::move(decide)) {}

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
        return m_decide ? m_decide(url, isMainFrame) : true;
    }
    // Script errors stay silent, as the panes always were.
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                  const QString&) override {}

  private:
    Decide m_decide;
};

// A script string literal holding `text`.
QString scriptString(const QString& text) {
    const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

struct ButtonDef {
    const char* caption; // nullptr: separator
    int image;
};

// Toolbar1, by position.
const ButtonDef Toolbar1Buttons[] = {
    {nullptr, 0}, {"后退", 1},  {"前进", 2},  {"刷新", 3},  {"停止", 4},  {"首页", 5},
    {nullptr, 0}, {"书签", 6},  {"查找", 7},  {"放大", 8},  {"缩小", 9},  {nullptr, 0},
    {"全屏", 12}, {"朗读", 13}, {"停止", 15}, {"设置", 14}, {nullptr, 0}, {"播放", 16},
    {"暂停", 17}, {"停止", 15}, {nullptr, 0}, {"关于", 10}, {"退出", 11},
};

// Toolbar2, by position.
const ButtonDef Toolbar2Buttons[] = {
    {nullptr, 0}, {"关闭", 1}, {"展开", 2}, {"复制", 18}, {"保存", 19}, {"更新", 20}, {"书架", 21},
};

int positionOf(QToolBar* bar, QAction* action) {
    return static_cast<int>(bar->actions().indexOf(action)) + 1;
}

} // namespace

FrmEBook::FrmEBook(ReaderOptions options, QWidget* parent)
    : QWidget(parent), m_options(std::move(options)) {
    setObjectName(QStringLiteral("FrmEBook"));
    setWindowTitle(programName());

    // The program folder is the book's folder: its settings files and skin sit beside it.
    const QFileInfo info(m_options.bookPath.isEmpty() ? QCoreApplication::applicationFilePath()
                                                      : m_options.bookPath);
    if (m_options.variant == Variant::Net && info.isDir()) {
        m_programFolder = info.absoluteFilePath();
    } else {
        m_programFolder = info.absolutePath();
    }
    if (m_options.variant == Variant::Page) {
        m_prefix = qs(book::resourcePrefix(utf8(m_programFolder), utf8(info.fileName())));
    } else {
        m_prefix = qs(localPrefix(utf8(m_programFolder)));
    }
    m_zoomLevel = initialZoom(m_options.variant);

    m_images = new ImageList(this);

    m_profile = new QWebEngineProfile(this);
    // Pages are untrusted: they reach the book and the addresses allowed below, nothing else.
    folio::qt::guardPages(m_profile, m_prefix);
    if (m_options.variant == Variant::Net) {
        // The online book is kept as files: its pages need their own style sheets and
        // pictures, which the request guard still confines to the program folder.
        m_profile->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls,
                                            true);
    }

    m_webTree = new QWebEngineView(this);
    m_webTree->setObjectName(QStringLiteral("WebTree"));
    m_webTree->setPage(new ReaderPage(
        m_profile, [this](const QUrl& u, bool main) { return contentsNavigation(u, main); },
        m_webTree));
    m_webBook = new QWebEngineView(this);
    m_webBook->setObjectName(QStringLiteral("WebBook"));
    m_webBook->setPage(new ReaderPage(
        m_profile, [this](const QUrl& u, bool main) { return pageNavigation(u, main); },
        m_webBook));
    connect(m_webBook, &QWebEngineView::loadStarted, this, [this] { m_bookLoading = true; });
    connect(m_webBook, &QWebEngineView::loadFinished, this, [this] { m_bookLoading = false; });
    for (QWebEngineView* view : {m_webTree, m_webBook}) {
        connect(view, &QWebEngineView::loadFinished, this,
                [this, view](bool ok) { onPaneLoaded(view, ok); });
        if (m_options.variant == Variant::Page) {
            // Right-clicking in a pane of the offline reader shows no menu.
            view->setContextMenuPolicy(Qt::NoContextMenu);
        }
    }

    m_pic = new QFrame(this);
    m_pic->setObjectName(QStringLiteral("Pic"));
    m_pic->setAutoFillBackground(true);
    m_pic->setCursor(Qt::SplitHCursor);
    m_pic->installEventFilter(this);

    m_player = new QMediaPlayer(this);
    m_player->setObjectName(QStringLiteral("WMPlayer1"));
    m_audio = new QAudioOutput(this);
    m_player->setAudioOutput(m_audio);
    connect(m_player, &QMediaPlayer::playbackStateChanged, this,
            [this](QMediaPlayer::PlaybackState state) {
                if (state == QMediaPlayer::StoppedState) {
                    button(1, 18)->setVisible(true);
                    button(1, 19)->setVisible(false);
                }
            });

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(100);
    connect(m_timer1, &QTimer::timeout, this, &FrmEBook::timerTick);

    buildToolbars();
    buildSpeechPanel();
    if (m_options.variant == Variant::Net) {
        buildAddressBox();
    }
    resize(m_options.variant == Variant::Net ? 1240 : 1100, 760);
}

FrmEBook::~FrmEBook() {
    // The player may still read from the book's bytes: let it go first.
    m_player->setSource(QUrl());
    // Pages must go before the profile they live in, full-screen pages included.
    qDeleteAll(findChildren<FrmFullScreen*>(Qt::FindDirectChildrenOnly));
    delete m_webTree;
    delete m_webBook;
    m_webTree = m_webBook = nullptr;
}

FrmDownload* FrmEBook::downloadWindow() const {
    return m_download;
}

QString FrmEBook::programName() const {
    return m_options.variant == Variant::Net ? QStringLiteral("folioNet")
                                             : QStringLiteral("folioPage");
}

folio::qt::MessageService& FrmEBook::messages() {
    if (m_options.messages) {
        return *m_options.messages;
    }
    if (!m_ownMessages) {
        m_ownMessages = std::make_unique<folio::qt::WidgetMessageService>();
    }
    return *m_ownMessages;
}

// ---- building the window -----------------------------------------------------------------

void FrmEBook::buildToolbars() {
    auto makeBar = [this](const char* name) {
        auto* bar = new QToolBar(this);
        bar->setObjectName(QString::fromLatin1(name));
        bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        bar->setIconSize(QSize(24, 24));
        bar->setMovable(false);
        bar->setFloatable(false);
        return bar;
    };
    auto fill = [this](QToolBar* bar, const ButtonDef* defs, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            if (!defs[i].caption) {
                bar->addSeparator();
            } else {
                bar->addAction(m_images->icon(defs[i].image), QString::fromUtf8(defs[i].caption));
            }
        }
    };

    m_toolbar1 = makeBar("Toolbar1");
    fill(m_toolbar1, Toolbar1Buttons, std::size(Toolbar1Buttons));
    connect(m_toolbar1, &QToolBar::actionTriggered, this, &FrmEBook::toolbar1Clicked);

    // The zoom-in button's drop-down list.
    auto* zoomMenu = new QMenu(this);
    for (const ZoomMenuEntry& e : zoomMenuEntries()) {
        QAction* a = zoomMenu->addAction(QString::fromLatin1(e.text));
        a->setObjectName(QString::fromLatin1(e.key));
        a->setData(e.percent);
    }
    connect(zoomMenu, &QMenu::triggered, this, &FrmEBook::zoomChosen);
    QAction* zoomButton = button(1, 10);
    zoomButton->setMenu(zoomMenu);
    if (auto* tb = qobject_cast<QToolButton*>(m_toolbar1->widgetForAction(zoomButton))) {
        tb->setPopupMode(QToolButton::MenuButtonPopup);
    }
    button(1, 19)->setVisible(false); // pause, until something plays

    m_toolbar2 = makeBar("Toolbar2");
    fill(m_toolbar2, Toolbar2Buttons, std::size(Toolbar2Buttons));
    connect(m_toolbar2, &QToolBar::actionTriggered, this, &FrmEBook::toolbar2Clicked);
    button(2, 3)->setVisible(false); // expand, until the pane is closed
    if (m_options.variant == Variant::Page) {
        button(2, 6)->setEnabled(false); // update has no action offline
    }

    if (m_options.variant == Variant::Net) {
        m_toolbar3 = makeBar("Toolbar3");
        m_toolbar3->addAction(m_images->icon(20), QStringLiteral("下载到本地"));
        m_toolbar3->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        m_toolbar3->setIconSize(QSize(16, 16));
        connect(m_toolbar3, &QToolBar::actionTriggered, this, &FrmEBook::toolbar3Clicked);
    }
}

void FrmEBook::buildSpeechPanel() {
    m_picture1 = new QFrame(this);
    m_picture1->setObjectName(QStringLiteral("Picture1"));
    auto* row = new QHBoxLayout(m_picture1);
    row->setContentsMargins(6, 2, 6, 2);
    row->setSpacing(4);

    auto label = [this](const char* name, const char* text) {
        auto* l = new QLabel(QString::fromUtf8(text), m_picture1);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    auto slider = [this](const char* name, int min, int max, int value) {
        auto* s = new QSlider(Qt::Horizontal, m_picture1);
        s->setObjectName(QString::fromLatin1(name));
        s->setRange(min, max);
        s->setValue(value);
        s->setMinimumWidth(40);
        s->setMaximumWidth(90);
        return s;
    };

    m_check1 = new QCheckBox(QStringLiteral("真人语音"), m_picture1);
    m_check1->setObjectName(QStringLiteral("Check1"));
    m_comVoice = new QComboBox(m_picture1);
    m_comVoice->setObjectName(QStringLiteral("ComVoice"));
    // Voice names are long; the list stays narrow and shows them whole when opened.
    m_comVoice->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_comVoice->setMinimumContentsLength(8);
    m_comVoice->view()->setMinimumWidth(260);
    m_slider1 = slider("Slider1", 0, 0, 0);
    m_volume = slider("Volume", reader::MinVolume, reader::MaxVolume, reader::DefaultVolume);
    m_rate = slider("Rate", reader::MinRate, reader::MaxRate, reader::DefaultRate);
    m_label7 = label("Label7", "00:00");
    m_label8 = label("Label8", "00:00");

    row->addWidget(m_check1);
    row->addWidget(label("Label1", "语音："));
    row->addWidget(m_comVoice);
    row->addSpacing(8);
    row->addWidget(label("Label2", "进度："));
    row->addWidget(m_slider1);
    row->addSpacing(8);
    row->addWidget(label("Label3", "音量："));
    row->addWidget(m_volume);
    row->addSpacing(8);
    row->addWidget(label("Label4", "语速："));
    row->addWidget(m_rate);
    row->addSpacing(8);
    row->addWidget(label("Label5", "播放进度："));
    row->addWidget(m_label7);
    row->addSpacing(8);
    row->addWidget(label("Label6", "总时长："));
    row->addWidget(m_label8);
    row->addStretch();

    // The output, format and folder controls are the window's, but only the settings window
    // shows them.
    m_comOutput = new QComboBox(m_picture1);
    m_comOutput->setObjectName(QStringLiteral("ComOutput"));
    m_comFormat = new QComboBox(m_picture1);
    m_comFormat->setObjectName(QStringLiteral("ComFormat"));
    m_text1 = new QLineEdit(m_picture1);
    m_text1->setObjectName(QStringLiteral("Text1"));
    for (QWidget* w : {static_cast<QWidget*>(m_comOutput), static_cast<QWidget*>(m_comFormat),
                       static_cast<QWidget*>(m_text1)}) {
        w->hide();
    }

    connect(m_comVoice, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!m_fillingVoice && m_speech && i >= 0) {
            m_speech->setVoice(i);
            m_voice->voiceIndex = i;
            keepVoiceSettings();
        }
    });
    connect(m_comOutput, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!m_fillingVoice && m_speech && i >= 0 && m_voice->outputEnabled) {
            m_speech->setOutput(i);
            m_voice->outputIndex = i;
            reader::selectAudioFormat(*m_speech, *m_voice, m_comFormat->currentIndex());
        }
    });
    connect(m_comFormat, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!m_fillingVoice && m_speech && i >= 0) {
            reader::selectAudioFormat(*m_speech, *m_voice, i);
        }
    });
    connect(m_rate, &QSlider::valueChanged, this, [this](int v) {
        if (m_speech) {
            m_speech->setRate(v);
        }
        keepVoiceSettings();
    });
    connect(m_volume, &QSlider::valueChanged, this, [this](int v) {
        if (m_speech) {
            m_speech->setVolume(v);
        }
        keepVoiceSettings();
    });
    connect(m_slider1, &QSlider::sliderMoved, this, [this](int seconds) {
        if (m_player->isSeekable() && m_player->duration() > 0) {
            m_player->setPosition(qint64(seconds) * 1000);
        }
    });
}

void FrmEBook::buildAddressBox() {
    m_picture2 = new QFrame(this);
    m_picture2->setObjectName(QStringLiteral("Picture2"));
    auto* row = new QHBoxLayout(m_picture2);
    row->setContentsMargins(4, 4, 4, 4);
    auto* label = new QLabel(QStringLiteral("地址："), m_picture2);
    label->setObjectName(QStringLiteral("Label9"));
    m_comURL = new QComboBox(m_picture2);
    m_comURL->setObjectName(QStringLiteral("ComURL"));
    m_comURL->setEditable(true);
    m_comURL->setInsertPolicy(QComboBox::NoInsert);
    m_comURL->setMinimumWidth(120);
    row->addWidget(label);
    row->addWidget(m_comURL, 1);
    m_picture2->resize(420, 34);
    connect(m_comURL, &QComboBox::activated, this, [this](int) { addressChosen(); });
    connect(m_comURL->lineEdit(), &QLineEdit::returnPressed, this, &FrmEBook::addressChosen);
}

QToolBar* FrmEBook::toolbar(int number) const {
    switch (number) {
    case 1:
        return m_toolbar1;
    case 2:
        return m_toolbar2;
    case 3:
        return m_toolbar3;
    default:
        return nullptr;
    }
}

QAction* FrmEBook::button(int toolbarNumber, int index) const {
    QToolBar* bar = toolbar(toolbarNumber);
    if (!bar || index < 1 || index > bar->actions().size()) {
        return nullptr;
    }
    return bar->actions().at(index - 1);
}

bool FrmEBook::contentsCollapsed() const {
    return button(2, 3)->isVisible();
}

// ---- layout ------------------------------------------------------------------------------

void FrmEBook::applyLayout(int treeWidth) {
    // The toolbars stack at the top, full width; the speech panel fills the rest of the second
    // toolbar's row.
    const int w = width();
    int y = 0;
    // A window too narrow for the captions keeps every button, as icons with tooltips.
    if (m_toolbarTextWidth == 0) {
        m_toolbarTextWidth = m_toolbar1->sizeHint().width();
    }
    const bool captions = w >= m_toolbarTextWidth;
    for (QToolBar* bar : {m_toolbar1, m_toolbar2}) {
        bar->setToolButtonStyle(captions ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
        bar->setIconSize(captions ? QSize(24, 24) : QSize(20, 20));
    }
    m_toolbar1->setGeometry(0, y, w, m_toolbar1->sizeHint().height());
    y += m_toolbar1->height();
    const int bar2Width = std::min(w, m_toolbar2->sizeHint().width());
    m_toolbar2->setGeometry(0, y, w, m_toolbar2->sizeHint().height());
    // The speech panel sits beside the second toolbar when there is room for all of it;
    // otherwise it takes a row of its own and drops the captions it can do without.
    for (const char* name : {"Label2", "Label5", "Label6"}) {
        if (auto* l = m_picture1->findChild<QLabel*>(QString::fromLatin1(name))) {
            l->setVisible(true);
        }
    }
    const int panelHeight = std::max(m_toolbar2->height(), m_picture1->sizeHint().height());
    if (w - bar2Width >= m_picture1->sizeHint().width()) {
        m_picture1->setGeometry(bar2Width, y, w - bar2Width, m_toolbar2->height());
        y += m_toolbar2->height();
    } else {
        y += m_toolbar2->height();
        for (const char* name : {"Label5", "Label6", "Label2"}) {
            if (m_picture1->sizeHint().width() <= w) {
                break;
            }
            if (auto* l = m_picture1->findChild<QLabel*>(QString::fromLatin1(name))) {
                l->setVisible(false);
            }
        }
        m_picture1->setGeometry(0, y, w, panelHeight);
        y += panelHeight;
    }
    m_picture1->raise();
    if (m_toolbar3) {
        m_toolbar3->setGeometry(0, y, w, m_toolbar3->sizeHint().height());
        if (m_picture2) {
            // The address box fills the download toolbar's row after its one button.
            const int left = m_toolbar3->widgetForAction(button(3, 1))
                                 ? m_toolbar3->widgetForAction(button(3, 1))->geometry().right() + 8
                                 : 120;
            m_picture2->setGeometry(
                left, y, std::max(0, w - left),
                std::max(m_toolbar3->height(), m_picture2->sizeHint().height()));
            m_picture2->raise();
            y += m_picture2->height();
        } else {
            y += m_toolbar3->height();
        }
    }
    m_topHeight = y;

    const PaneLayout l =
        layoutPanes(pixelsToTwips(width()), pixelsToTwips(height()), pixelsToTwips(y),
                    pixelsToTwips(m_toolbar1->height()), treeWidth);
    auto place = [](QWidget* widget, const TwipRect& r) {
        widget->setGeometry(twipsToPixels(r.left), twipsToPixels(r.top), twipsToPixels(r.width),
                            twipsToPixels(r.height));
    };
    place(m_webTree, l.tree);
    place(m_pic, l.bar);
    place(m_webBook, l.book);
    m_treeWidth = treeWidth;
}

void FrmEBook::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (isMinimized()) {
        return;
    }
    // Every resize gives the contents pane its full width back, whatever was done before.
    applyLayout(TreeWidth);
}

TwipRect FrmEBook::paneTwips(QWidget* pane) const {
    const QRect g = pane->geometry();
    return {pixelsToTwips(g.x()), pixelsToTwips(g.y()), pixelsToTwips(g.width()),
            pixelsToTwips(g.height())};
}

void FrmEBook::releaseSplitter(int xTwips) {
    // The bar's left edge is kept in twips: pixels would round a little off at every drag.
    const int left = splitterLeft(m_treeWidth, xTwips);
    applyLayout(left);
}

bool FrmEBook::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pic) {
        if (event->type() == QEvent::MouseButtonPress) {
            QPalette pal = m_pic->palette();
            pal.setColor(QPalette::Window, Qt::black);
            m_pic->setPalette(pal);
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease) {
            m_pic->setPalette(palette());
            const auto* me = static_cast<QMouseEvent*>(event);
            releaseSplitter(pixelsToTwips(qRound(me->position().x())));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- start-up ----------------------------------------------------------------------------

void FrmEBook::load() {
    attachSkin();
    loadVoice();
    loadHtml();
    selectLanguage();
    if (m_options.variant == Variant::Net) {
        QCoreApplication::processEvents();
    }
    m_zoomLevel = initialZoom(m_options.variant);
    applyZoom(m_zoomLevel);
    selectLanguage();
    if (m_options.variant == Variant::Net && m_options.downloads) {
        refreshLibrary();
    }
    m_timer1->start();
}

void FrmEBook::attachSkin() {
    const QString skin = QDir(m_programFolder).filePath(QStringLiteral("aero.she"));
    if (!QFileInfo(skin).isFile()) {
        return;
    }
    // The Linux skin library travels with the programs, not with the book: beside the reader,
    // or in the maker folder above it.
    const QString programDir = QCoreApplication::applicationDirPath();
    std::string library = skin::libraryBeside(utf8(programDir));
    if (!QFileInfo::exists(qs(library))) {
        library = skin::libraryBeside(utf8(QFileInfo(programDir).absolutePath()));
    }
    if (!skin::attachSkin(library, utf8(skin), reinterpret_cast<void*>(winId()), 255)) {
        return;
    }
    // The library themes native windows; Qt paints its own, so the skin's colours are taken
    // over into the application palette.
    if (const auto p = skin::attachedPalette(library)) {
        QPalette pal = QApplication::palette();
        auto rgb = [](unsigned int c) { return QColor::fromRgb(QRgb(c & 0xFFFFFFu)); };
        pal.setColor(QPalette::Window, rgb(p->window));
        pal.setColor(QPalette::WindowText, rgb(p->windowText));
        pal.setColor(QPalette::Base, rgb(p->base));
        pal.setColor(QPalette::Text, rgb(p->text));
        pal.setColor(QPalette::Button, rgb(p->button));
        pal.setColor(QPalette::ButtonText, rgb(p->buttonText));
        pal.setColor(QPalette::Highlight, rgb(p->highlight));
        pal.setColor(QPalette::HighlightedText, rgb(p->highlightText));
        QApplication::setPalette(pal);
        if (p->fontFamily[0] != '\0') {
            QFont font = QApplication::font();
            font.setFamily(QString::fromUtf8(p->fontFamily));
            if (p->fontPointSize > 0) {
                font.setPointSize(p->fontPointSize);
            }
            QApplication::setFont(font);
        }
    }
}

void FrmEBook::loadVoice() {
    m_voice = std::make_unique<reader::VoiceControls>();
    m_speech = m_options.speech;
    if (!m_speech) {
        auto engine = std::make_unique<folio::qt::ProcessSpeechEngine>();
        m_processSpeech = engine.get();
        // A reading that cannot be rendered is told once, not left as a silent button.
        connect(m_processSpeech, &folio::qt::ProcessSpeechEngine::failed, this,
                [this](const QString& message) {
                    messages().inform(this, programName(), message,
                                      folio::qt::MessageIcon::Exclamation);
                });
        m_ownSpeech = std::move(engine);
        m_speech = m_ownSpeech.get();
    }
    const reader::VoiceLoadReport report =
        reader::LoadVoice(*m_speech, *m_voice, utf8(m_programFolder));
    if (auto lines = readAnsiLines(reader::voiceIniPath(utf8(m_programFolder)))) {
        for (const reader::VoiceIniEntry& e : reader::parseVoiceIni(*lines)) {
            if (e.key == reader::VoiceKey::Folder) {
                m_savedVoiceFolder = e.value;
            }
        }
    }
    showSpeechControls();
    if (report.failed()) {
        setWindowTitle(QStringLiteral("folioPage"));
    }
}

void FrmEBook::keepVoiceSettings() {
    // What the user chose on the toolbar is there again at the next start.
    if (m_fillingVoice || !m_voice || m_voice->voiceIndex < 0) {
        return;
    }
    reader::VoiceSettings settings;
    settings.voice = m_voice->voiceName();
    settings.rate = m_rate->value();
    settings.volume = m_volume->value();
    settings.folder = m_savedVoiceFolder;
    settings.recorded = m_check1->isChecked();
    if (auto saved = reader::saveVoiceIni(utf8(m_programFolder), settings); !saved) {
        setToolTip(qs(saved.error().message));
    }
}

void FrmEBook::showSpeechControls() {
    m_fillingVoice = true;
    m_comVoice->clear();
    for (const std::string& v : m_voice->voices) {
        m_comVoice->addItem(qs(v));
    }
    m_comVoice->setCurrentIndex(m_voice->voiceIndex);
    m_comOutput->clear();
    for (const std::string& o : m_voice->outputs) {
        m_comOutput->addItem(qs(o));
    }
    m_comOutput->setEnabled(m_voice->outputEnabled);
    m_comOutput->setCurrentIndex(m_voice->outputIndex);
    m_comFormat->clear();
    for (const reader::AudioFormat& f : reader::audioFormats()) {
        m_comFormat->addItem(QString::fromLatin1(f.name.data(), qsizetype(f.name.size())), f.type);
    }
    m_comFormat->setCurrentIndex(m_voice->formatIndex);
    m_rate->setValue(m_voice->rate);
    m_volume->setValue(m_voice->volume);
    m_text1->setText(qs(m_voice->folder));
    m_check1->setChecked(m_voice->recorded);
    m_fillingVoice = false;
}

void FrmEBook::loadHtml() {
    if (m_options.variant == Variant::Net) {
        setWindowTitle(QStringLiteral("folioNet"));
        if (m_onlineBase.isEmpty()) {
            // The settings lie beside the book; a book folder without them uses the ones
            // beside the program.
            QString folder = m_programFolder;
            if (!QFileInfo::exists(
                    QDir(folder).filePath(qs(std::string(fetch::NetSettingsFileName))))) {
                folder = QCoreApplication::applicationDirPath();
            }
            m_onlineBase = m_options.onlineBase.isEmpty()
                               ? qs(fetch::readNetSettings(utf8(folder)).libraryBase)
                               : m_options.onlineBase;
        }
        folio::qt::PageRequestGuard::of(m_profile)->policy().allowWebAddress(m_onlineBase);
        m_homeAddress = m_prefix + QStringLiteral("index.html");
        // A page not kept yet would show the browser's own error page until the library's
        // copy arrives: the pane waits with a word of its own instead.
        const QString waiting = QStringLiteral(
            "<html><head><meta charset='utf-8'></head><body style='font-family:sans-serif;"
            "margin:2em'>正在从在线书库下载……</body></html>");
        const QUrl tree(m_prefix + QStringLiteral("tree/tree.html"));
        const QUrl home(m_homeAddress);
        if (m_options.downloads && !QFileInfo(tree.toLocalFile()).isFile()) {
            showMessage(m_webTree, waiting);
        } else {
            m_webTree->load(tree);
        }
        if (m_options.downloads && !QFileInfo(home.toLocalFile()).isFile()) {
            showMessage(m_webBook, waiting);
        } else {
            m_webBook->load(home);
        }
        return;
    }

    // Any failure on the way leaves the about page in both panes and the plain caption.
    bool ok = false;
    auto opened = book::BookImage::open(utf8(m_options.bookPath.isEmpty()
                                                 ? QCoreApplication::applicationFilePath()
                                                 : m_options.bookPath));
    if (opened) {
        m_book = std::shared_ptr<const book::BookImage>(std::move(*opened));
        if (!m_handler) {
            m_handler = new folio::qt::ResSchemeHandler(m_book, m_prefix, this);
            m_profile->installUrlSchemeHandler(folio::qt::ResSchemeHandler::SchemeName, m_handler);
        }
        if (auto text = m_book->descriptor()) {
            m_descriptorText = qs(*text);
            m_descriptorFields.clear();
            for (const std::string& f : book::splitDescriptor(*text)) {
                m_descriptorFields << qs(f);
            }
            folio::qt::PageRequestGuard::of(m_profile)->policy().allowDescriptorAddresses(
                m_descriptorFields);
            if (m_descriptorFields.size() >= 4) {
                setWindowTitle(QStringLiteral("folioPage-") + m_descriptorFields[0] +
                               QStringLiteral("-") + m_descriptorFields[1]);
                m_webTree->load(QUrl(m_prefix + m_descriptorFields[3]));
                m_homeAddress = m_prefix + m_descriptorFields[2];
                m_webBook->load(QUrl(m_homeAddress));
                QCoreApplication::processEvents();
                ok = true;
            }
        }
    }
    if (!ok) {
        const QString about = qs(AboutHtml());
        showDocument(m_webTree, about);
        showDocument(m_webBook, about);
        setWindowTitle(QStringLiteral("folioPage"));
    }
}

void FrmEBook::selectLanguage() {
    folio::qt::SelectLanguageFromLocale(m_programFolder);
}

void FrmEBook::fetchInBackground(std::vector<Download> list,
                                 std::function<void(const std::vector<std::string>&)> done) {
    std::erase_if(m_downloads, [](std::future<bool>& f) {
        return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    });
    // The window keeps working while the files come. The window's destruction waits for the
    // worker (the futures), and a result posted to a window that is gone is dropped.
    m_downloads.push_back(
        std::async(std::launch::async, [this, list = std::move(list), done = std::move(done)] {
            std::vector<std::string> errors;
            for (const Download& d : list) {
                // The library's folders (tree/ ...) are made here on first use.
                std::error_code ec;
                std::filesystem::create_directories(
                    std::filesystem::path(d.localFile).parent_path(), ec);
                auto result = fetch::downloadToFile(d.url, d.localFile);
                errors.push_back(result ? std::string() : result.error().message);
            }
            QMetaObject::invokeMethod(
                this, [done, errors] { done(errors); }, Qt::QueuedConnection);
            return true;
        }));
}

void FrmEBook::fetchPage(const Download& page, std::function<void(const std::string&)> done) {
    fetchInBackground({page}, [this, page, done](const std::vector<std::string>& errors) {
        if (!errors.front().empty()) {
            done(errors.front());
            return;
        }
        // What the page needs, resolved against its place in the library and on disk; only
        // what is not kept yet, and never a file outside the program folder.
        std::vector<Download> needed;
        const QUrl pageUrl(qs(page.url));
        const QDir pageDir = QFileInfo(qs(page.localFile)).absoluteDir();
        const QString root = QDir(m_programFolder).absolutePath() + QLatin1Char('/');
        const auto bytes = readFileBytes(page.localFile);
        const std::string html = bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
        for (const std::string& ref : pageResources(html)) {
            const QString local = QDir::cleanPath(pageDir.filePath(qs(ref)));
            if (!local.startsWith(root) || QFileInfo::exists(local)) {
                continue;
            }
            needed.push_back({utf8(pageUrl.resolved(QUrl(qs(ref))).toString()), utf8(local)});
        }
        if (needed.empty()) {
            done({});
            return;
        }
        fetchInBackground(std::move(needed), [done](const std::vector<std::string>&) { done({}); });
    });
}

void FrmEBook::refreshLibrary() {
    const Download tree = contentsDownload(utf8(m_onlineBase), utf8(m_programFolder));
    const Download index = indexDownload(utf8(m_onlineBase), utf8(m_programFolder));
    auto results =
        std::make_shared<std::pair<int, std::vector<std::string>>>(0, std::vector<std::string>(2));
    auto show = [this, results, tree, index] {
        bool reached = false;
        const std::pair<QWebEngineView*, const Download*> panes[] = {{m_webTree, &tree},
                                                                     {m_webBook, &index}};
        for (int i = 0; i < 2; ++i) {
            QWebEngineView* view = panes[i].first;
            const QString file = qs(panes[i].second->localFile);
            const std::string& error = results->second[static_cast<std::size_t>(i)];
            reached = reached || error.empty();
            const QUrl url = QUrl::fromLocalFile(file);
            // The page pane is reloaded only while it still shows the home page or a word of
            // the reader's own.
            const bool showsIt =
                view == m_webTree || view->url() == url || !view->url().isLocalFile();
            if (error.empty()) {
                if (showsIt) {
                    view->load(url);
                }
            } else if (!QFileInfo(file).isFile() && showsIt) {
                showMessage(view, qs(unreachablePage(utf8(m_onlineBase), error)));
            }
        }
        emit libraryRefreshed(reached);
    };
    for (int i = 0; i < 2; ++i) {
        fetchPage(i == 0 ? tree : index, [results, i, show](const std::string& error) {
            results->second[static_cast<std::size_t>(i)] = error;
            if (++results->first == 2) {
                show();
            }
        });
    }
}

bool FrmEBook::onlinePageNavigation(const QUrl& url) {
    if (!m_options.downloads || !url.isLocalFile()) {
        return true;
    }
    const QString folder = QDir(m_programFolder).absolutePath();
    const QString local = QDir::cleanPath(url.toLocalFile());
    const std::string relative = libraryPath(utf8(folder), utf8(local));
    if (relative.empty() || relative == "tree.html") {
        return true;
    }
    // The contents page's links name the book's pages beside the home page.
    const QString page = QDir(folder).filePath(qs(relative));
    const QUrl pageUrl = QUrl::fromLocalFile(page);
    if (page != local) {
        QTimer::singleShot(0, this, [this, pageUrl] { m_webBook->load(pageUrl); });
        return false;
    }
    if (QFileInfo(page).isFile()) {
        return true;
    }
    // A page not kept yet comes from the library first.
    const std::string address = utf8(m_onlineBase) + "book/" + relative;
    fetchPage({address, utf8(page)}, [this, pageUrl, address](const std::string& error) {
        if (error.empty()) {
            m_webBook->load(pageUrl);
        } else {
            showMessage(m_webBook, qs(unreachablePage(address, error)));
        }
    });
    return false;
}

// ---- the panes ---------------------------------------------------------------------------

void FrmEBook::showDocument(QWebEngineView* view, const QString& html) {
    // Written into a blank document, as the page is a text and no address.
    m_pendingHtml.insert(view, html);
    view->load(QUrl(QStringLiteral("about:blank")));
}

void FrmEBook::showMessage(QWebEngineView* view, const QString& html) {
    // A document of its own address: a page load asked for afterwards always replaces it,
    // which a text written into a blank document cannot promise.
    view->setHtml(html);
}

void FrmEBook::onPaneLoaded(QWebEngineView* view, bool ok) {
    auto it = m_pendingHtml.find(view);
    if (it != m_pendingHtml.end() && view->url() == QUrl(QStringLiteral("about:blank"))) {
        // Only into the blank document: a page that has started loading meanwhile keeps its
        // own text.
        const QString script =
            QStringLiteral("if(location.href==='about:blank'){document.open();document.write(") +
            scriptString(it.value()) + QStringLiteral(");document.close();}");
        m_pendingHtml.erase(it);
        view->page()->runJavaScript(script, [this, view](const QVariant&) { reportPane(view); });
        return;
    }
    reportPane(view);
    // The reader's own messages are no page of the book: no caption, no history.
    if (view->url().scheme() == QLatin1String("data")) {
        return;
    }
    if (view == m_webBook && ok && m_options.variant == Variant::Net) {
        setWindowTitle(qs(onlineCaption(utf8(view->title()))));
        const QString address = view->url().toString();
        if (m_comURL->findText(address) < 0) {
            m_comURL->addItem(address);
        }
        m_comURL->setEditText(address);
    }
}

void FrmEBook::reportPane(QWebEngineView* view) {
    // FOLIO_READER_REPORT names a file that gets one line per document a pane shows: the
    // pane, its address and its text. End-to-end tests read it; so can a bug report.
    static const QString reportFile = qEnvironmentVariable("FOLIO_READER_REPORT");
    if (reportFile.isEmpty()) {
        return;
    }
    QPointer<QWebEngineView> pane(view);
    // Pages that build themselves by script after loading are reported once more.
    if (!m_reportAgain.contains(view)) {
        m_reportAgain.insert(view);
        QTimer::singleShot(1000, this, [this, pane] {
            if (pane) {
                reportPane(pane);
                m_reportAgain.remove(pane);
            }
        });
    }
    // The document's own address: the pane's may already be the next one's.
    view->page()->runJavaScript(QStringLiteral("[location.href, document.title+' | '+"
                                               "(document.body?document.body.innerText:'')]"),
                                [pane](const QVariant& result) {
                                    const QVariantList parts = result.toList();
                                    if (!pane || parts.size() != 2) {
                                        return;
                                    }
                                    const QString line = pane->objectName() + QLatin1Char('\t') +
                                                         parts[0].toString() + QLatin1Char('\t') +
                                                         parts[1].toString().simplified() +
                                                         QLatin1Char('\n');
                                    QFile file(reportFile);
                                    if (file.open(QIODevice::WriteOnly | QIODevice::Append)) {
                                        file.write(line.toUtf8());
                                    }
                                });
}

bool FrmEBook::contentsNavigation(const QUrl& url, bool mainFrame) {
    if (!mainFrame) {
        return true;
    }
    // The reader's own messages stay where they were put.
    if (url.scheme() == QLatin1String("data")) {
        return true;
    }
    const QString address = url.toString();
    if (routeContentsLinkToPage(utf8(address))) {
        QTimer::singleShot(0, this, [this, url] { m_webBook->load(url); });
        return false;
    }
    return true;
}

bool FrmEBook::pageNavigation(const QUrl& url, bool mainFrame) {
    if (!mainFrame) {
        return true;
    }
    if (m_options.variant == Variant::Net) {
        return onlinePageNavigation(url);
    }
    if (isSoundLink(utf8(url.toString()))) {
        QTimer::singleShot(0, this, [this, url] { playSoundLink(url); });
        return false;
    }
    return true;
}

void FrmEBook::playSoundLink(const QUrl& url) {
    const std::string name = soundResourceName(utf8(url.path(QUrl::FullyDecoded)));
    m_playerUrl = m_prefix + qs(name);
    m_player->stop();
    m_player->setSource(QUrl());
    m_sound.reset();
    if (m_book) {
        if (auto data = m_book->find(name)) {
            m_sound = folio::qt::openBookBytes(m_book, *data);
            m_player->setSourceDevice(m_sound.get(), QUrl(m_playerUrl));
        }
    }
    m_player->play();
    button(1, 18)->setVisible(false);
    button(1, 19)->setVisible(true);
}

void FrmEBook::applyZoom(int percent) {
    if (!m_webBook->page() || m_webBook->url().isEmpty()) {
        return;
    }
    // The online reader leaves a page that is still loading alone.
    if (m_options.variant == Variant::Net && m_bookLoading) {
        return;
    }
    m_webBook->page()->runJavaScript(qs(zoomScript(percent)));
}

// ---- toolbar commands --------------------------------------------------------------------

void FrmEBook::toolbar1Clicked(QAction* action) {
    switch (positionOf(m_toolbar1, action)) {
    case 2:
        m_webBook->back();
        break;
    case 3:
        m_webBook->forward();
        break;
    case 4:
        m_webBook->reload();
        m_webTree->reload();
        break;
    case 5:
        m_webBook->stop();
        break;
    case 6:
        goHome();
        break;
    case 8:
        openBookmarks();
        break;
    case 9:
        find();
        break;
    case 10:
        m_zoomLevel = zoomIn(m_zoomLevel);
        applyZoom(m_zoomLevel);
        break;
    case 11:
        m_zoomLevel = zoomOut(m_zoomLevel);
        applyZoom(m_zoomLevel);
        break;
    case 13:
        openFullScreen();
        break;
    case 14:
        readAloud();
        break;
    case 15:
        stopReading();
        break;
    case 16:
        openSettings();
        break;
    case 18:
        play();
        break;
    case 19:
        pause();
        break;
    case 20:
        stopPlayer();
        break;
    case 22:
        about();
        break;
    case 23:
        close();
        break;
    default:
        break;
    }
}

void FrmEBook::toolbar2Clicked(QAction* action) {
    switch (positionOf(m_toolbar2, action)) {
    case 2:
        closeContents(true);
        break;
    case 3:
        closeContents(false);
        break;
    case 4:
        m_webBook->triggerPageAction(QWebEnginePage::Copy);
        break;
    case 5:
        save();
        break;
    case 6:
        update();
        break;
    case 7:
        bookshelf();
        break;
    default:
        break;
    }
}

void FrmEBook::toolbar3Clicked(QAction* action) {
    if (positionOf(m_toolbar3, action) == 1) {
        downloadChapters();
    }
}

void FrmEBook::zoomChosen(QAction* action) {
    // The drop-down entries set the zoom directly.
    m_zoomLevel = clampZoom(action->data().toInt());
    applyZoom(m_zoomLevel);
}

void FrmEBook::goHome() {
    if (!m_homeAddress.isEmpty()) {
        m_webBook->load(QUrl(m_homeAddress));
    } else {
        showDocument(m_webBook, qs(AboutHtml()));
    }
}

QUrl FrmEBook::addressUrl(const QString& address) const {
    // A bare page name (the default bookmark is "index.html") means a page of this book.
    const QUrl url(address);
    return url.isRelative() ? QUrl(m_prefix).resolved(url) : url;
}

void FrmEBook::openBookmarks() {
    FrmBookTag bookmarks(
        this, m_programFolder, m_webBook->url().toString(),
        [this](const QString& address) { m_webBook->load(addressUrl(address)); },
        m_options.messages);
    bookmarks.exec();
}

void FrmEBook::find() {
    m_webBook->setFocus();
    const QString text =
        messages().askText(this, QStringLiteral("查找"), QStringLiteral("查找内容："));
    if (!text.isEmpty()) {
        m_webBook->findText(text);
    }
}

void FrmEBook::openFullScreen() {
    // The window deletes itself when full screen ends.
    auto* full = new FrmFullScreen(this, QUrl(), m_profile);
    m_fullScreenPage = QUrl();
    connect(full->webB(), &QWebEngineView::urlChanged, this, [this](const QUrl& url) {
        if (url.isValid() && url != QUrl(QStringLiteral("about:blank"))) {
            m_fullScreenPage = url;
        }
    });
    // The chapter reached in full screen is where the reader goes on reading.
    connect(full, &QObject::destroyed, this, [this] {
        if (m_fullScreenPage.isValid() && m_fullScreenPage != m_webBook->url()) {
            m_webBook->load(m_fullScreenPage);
        }
    });
    full->open();
    full->navigate(m_webBook->url());
}

void FrmEBook::readAloud() {
    const QString selected = m_webBook->selectedText();
    std::optional<std::string> selection;
    if (!selected.isEmpty()) {
        selection = utf8(selected);
    }
    const reader::ReadAloudAction action =
        reader::decideReadAloud(selection, m_check1->isChecked(), utf8(m_text1->text()),
                                [](const std::string& f) { return QFileInfo(qs(f)).isFile(); });
    switch (action.kind) {
    case reader::ReadAloudAction::Speak:
        if (m_speech) {
            m_speech->speak(action.text);
        }
        break;
    case reader::ReadAloudAction::Play:
        m_sound.reset();
        m_player->setSource(QUrl::fromLocalFile(qs(action.file)));
        m_player->play();
        break;
    case reader::ReadAloudAction::Nothing:
        break;
    }
}

void FrmEBook::stopReading() {
    if (!m_check1->isChecked()) {
        if (m_speech) {
            m_speech->stop();
        }
    } else {
        m_player->stop();
    }
}

void FrmEBook::openSettings() {
    auto applied = [this](const reader::VoiceSettings& settings) {
        // Each value goes through its control so that the voice follows; the folder is used
        // from the next start.
        const int voice = m_comVoice->findText(qs(settings.voice));
        if (voice >= 0) {
            m_comVoice->setCurrentIndex(voice);
        }
        m_savedVoiceFolder = settings.folder;
        m_rate->setValue(settings.rate);
        m_volume->setValue(settings.volume);
        m_check1->setChecked(settings.recorded);
    };
    std::unique_ptr<reader::SpeechEngine> own;
    if (m_options.makeSpeech) {
        own = m_options.makeSpeech();
    } else if (!m_options.speech) {
        own = std::make_unique<folio::qt::ProcessSpeechEngine>();
    }
    if (own) {
        FrmSet settings(this, std::move(own), m_programFolder, applied, m_options.messages);
        settings.exec();
    } else {
        FrmSet settings(this, *m_speech, m_programFolder, applied, m_options.messages);
        settings.exec();
    }
}

void FrmEBook::play() {
    if (m_playerUrl.isEmpty()) {
        return;
    }
    button(1, 18)->setVisible(false);
    button(1, 19)->setVisible(true);
    m_player->play();
}

void FrmEBook::pause() {
    button(1, 18)->setVisible(true);
    button(1, 19)->setVisible(false);
    m_player->pause();
}

void FrmEBook::stopPlayer() {
    m_player->stop();
}

void FrmEBook::about() {
    frmAbout box(this, programName(), QCoreApplication::applicationVersion());
    box.exec();
}

void FrmEBook::closeContents(bool close) {
    button(2, 2)->setVisible(!close);
    button(2, 3)->setVisible(close);
    applyLayout(close ? ClosedTreeWidth : TreeWidth);
}

void FrmEBook::save() {
    const QString path = messages().saveFileName(
        this, QStringLiteral("保存文件"), m_programFolder + QStringLiteral("/"),
        QStringLiteral("文本文件(*.Txt) (*.Txt);;网页文件(*.htm;*.html) (*.htm *.html);;"
                       "全部文件(*.*) (*)"));
    if (path.isEmpty()) {
        return;
    }
    if (QFileInfo::exists(path) &&
        !messages().askYesNo(this, programName(), QStringLiteral("文件已存在，要覆盖它吗？"),
                             folio::qt::MessageIcon::Question, false)) {
        return;
    }
    setWindowTitle(path);
    QClipboard* clipboard = QApplication::clipboard();
    const std::string bytes = savedFileBytes(utf8(clipboard->text()));
    if (auto written = writeFileAtomic(utf8(path), bytes); !written) {
        // A file that was not written is never reported as saved.
        messages().inform(this, QStringLiteral("folioMake"),
                          QStringLiteral("文件 ") + path + QStringLiteral(" 保存失败：") +
                              qs(written.error().message),
                          folio::qt::MessageIcon::Critical);
        return;
    }
    clipboard->clear();
    messages().inform(this, QStringLiteral("folioMake"), qs(savedMessage(utf8(windowTitle()))),
                      folio::qt::MessageIcon::Exclamation);
}

void FrmEBook::update() {
    if (m_options.variant == Variant::Net && m_options.downloads) {
        const Download tree = contentsDownload(utf8(m_onlineBase), utf8(m_programFolder));
        fetchPage(tree, [this, tree](const std::string& error) {
            if (error.empty()) {
                m_webTree->load(QUrl::fromLocalFile(qs(tree.localFile)));
            } else {
                messages().inform(this, programName(),
                                  QStringLiteral("无法连接在线书库，目录没有更新：\n") + qs(error),
                                  folio::qt::MessageIcon::Exclamation);
            }
        });
    }
}

void FrmEBook::bookshelf() {
    if (m_options.variant == Variant::Net) {
        if (m_options.downloads) {
            const Download index = indexDownload(utf8(m_onlineBase), utf8(m_programFolder));
            fetchPage(index, [this, index](const std::string& error) {
                if (error.empty()) {
                    m_webBook->load(QUrl::fromLocalFile(qs(index.localFile)));
                } else {
                    messages().inform(this, programName(),
                                      QStringLiteral("无法连接在线书库，首页没有更新：\n") +
                                          qs(error),
                                      folio::qt::MessageIcon::Exclamation);
                }
            });
        }
        return;
    }
    if (!m_shelfAddress.isEmpty()) {
        m_webBook->load(QUrl(m_shelfAddress));
    }
}

void FrmEBook::downloadChapters() {
    if (!m_download) {
        const fetch::NetSettings net = fetch::readNetSettings(utf8(m_programFolder));
        FrmDownloadSettings settings;
        settings.novelSiteName = qs(net.novelSiteName);
        settings.authorPrefix = net.authorPrefix();
        settings.messages = m_options.messages;
        // Chapters go to a folder of the book's own unless the user picks another.
        settings.folder = QDir(m_programFolder).filePath(QStringLiteral("download"));
        m_download = new FrmDownload(this, {}, {}, settings);
    }
    m_download->show();
    m_download->raise();
    m_download->setLinks({}, {});
    // Every "A" element of the page, in document order: its text and its address, as one
    // JSON text (a list of lists does not always survive the trip out of the page).
    const QString script = QStringLiteral(
        "(function(){var r=[],a=document.getElementsByTagName('a');"
        "for(var i=0;i<a.length;++i){r.push([String(a[i].innerText||a[i].textContent||''),"
        "String(a[i].href||'')]);}return JSON.stringify(r);})()");
    QPointer<FrmDownload> window = m_download;
    const QString base = m_onlineBase;
    const QString folder = QDir(m_programFolder).absolutePath();
    m_webBook->page()->runJavaScript(script, [window, base, folder](const QVariant& result) {
        if (!window) {
            return;
        }
        QStringList texts, targets;
        const QJsonDocument doc = QJsonDocument::fromJson(result.toString().toUtf8());
        for (const QJsonValue& link : doc.array()) {
            const QJsonArray pair = link.toArray();
            if (pair.size() != 2) {
                continue;
            }
            texts << pair[0].toString().trimmed();
            // A page of the book kept here is fetched from where it came from.
            QString target = pair[1].toString();
            const QUrl url(target);
            if (url.isLocalFile()) {
                const std::string address =
                    libraryAddress(utf8(base), utf8(folder), utf8(url.toLocalFile()));
                if (!address.empty()) {
                    target = qs(address);
                }
            }
            targets << target;
        }
        window->setLinks(texts, targets);
    });
}

void FrmEBook::addressChosen() {
    const QString address = m_comURL->currentText();
    if (!address.isEmpty()) {
        // An address the reader types is his choice, not a page's.
        const QUrl url = QUrl::fromUserInput(address);
        folio::qt::PageRequestGuard::of(m_profile)->policy().allowWebAddress(url.toString());
        m_webBook->load(url);
    }
}

void FrmEBook::timerTick() {
    QMediaPlayer* player = m_player;
    if (m_processSpeech &&
        m_processSpeech->player()->playbackState() == QMediaPlayer::PlayingState) {
        player = m_processSpeech->player();
    }
    if (player->playbackState() != QMediaPlayer::PlayingState) {
        return;
    }
    const qint64 position = player->position();
    const qint64 duration = player->duration();
    m_label7->setText(qs(playerTimeText(position)));
    m_label8->setText(qs(playerTimeText(duration)));
    m_slider1->setMaximum(static_cast<int>(duration / 1000));
    if (!m_slider1->isSliderDown()) {
        m_slider1->setValue(static_cast<int>(position / 1000));
    }
}

} // namespace folio::readerui
