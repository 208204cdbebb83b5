// Frmmain: builds the workbench's controls under their own names, copies the boxes into the
// project state before a command and shows the state again after it.
#include "maker/ui/frmmain.h"

#include "core/fileio.h"
#include "core/text.h"
#include "core/twips.h"
#include "maker/compiler/compilebook.h"
#include "maker/compiler/help.h"
#include "maker/generators/contents.h"
#include "maker/generators/contentspage.h"
#include "maker/generators/homepage.h"
#include "maker/generators/rename.h"
#include "maker/project/drives.h"
#include "maker/project/explorer.h"
#include "maker/project/gridtoolbar.h"
#include "maker/project/projectfiles.h"
#include "maker/ui/contentspanel.h"
#include "maker/ui/drivetree.h"
#include "maker/ui/frmabout_maker.h"
#include "maker/ui/frmdownload_maker.h"
#include "maker/ui/frmgeturl.h"
#include "maker/ui/frmhomepage.h"
#include "maker/ui/frmhtmltotxt.h"
#include "maker/ui/frmrename.h"
#include "maker/ui/frmsel.h"
#include "maker/ui/frmtree.h"
#include "maker/ui/iconchooser.h"
#include "qt/language.h"
#include "qt/viewrules.h"
#include "skin/skinloader.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSet>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEnginePage>

namespace folio::maker {

namespace project = folio::project;
namespace generators = folio::generators;
using folio::reader::twipsToPixels;

namespace {

// The splitter Pic keeps the left panes at least this wide and the right ones too.
constexpr int PicMinLeftTwips = 1000;
constexpr int PicMinRightTwips = 5000;

// The panes the six tabs bring to the front.
enum Pane { GridPane, PreviewPane, CodePane, AddressPane, SettingsPane };

int paneOfTab(int tab) {
    switch (tab) {
    case 1:
        return GridPane;
    case 2:
    case 3:
        return PreviewPane;
    case 4:
        return CodePane;
    case 5:
        return AddressPane;
    default:
        return SettingsPane;
    }
}

int positionOf(QToolBar* bar, QAction* action) {
    return static_cast<int>(bar->actions().indexOf(action)) + 1;
}

QString projectTitle() {
    return QString::fromUtf8(Frmmain::Caption);
}

std::vector<std::string> toStd(const QStringList& list) {
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(list.size()));
    for (const QString& s : list) {
        out.push_back(utf8(s));
    }
    return out;
}

// The splitter handles turn black while pressed.
void markSplitter(QSplitter* splitter, const char* name) {
    splitter->setObjectName(QString::fromLatin1(name));
    splitter->setStyleSheet(QStringLiteral("QSplitter::handle:pressed { background: black; }"));
    splitter->setChildrenCollapsible(false);
}

} // namespace

// ---- the preview ---------------------------------------------------------------------------

PreviewView::PreviewView(QWidget* parent) : QWebEngineView(parent) {
    setObjectName(QStringLiteral("WebBook"));
}

QWebEngineView* PreviewView::createWindow(QWebEnginePage::WebWindowType) {
    // No second window: the preview follows the link the pointer was last over.
    if (!m_status.isEmpty()) {
        const QUrl target = QUrl::fromUserInput(m_status);
        QTimer::singleShot(0, this, [this, target] { load(target); });
    }
    return nullptr;
}

// ---- the running command -------------------------------------------------------------------

// Long commands let the window handle its events; a click that arrives meanwhile must not
// start a second command over the same state.
class Frmmain::Busy {
  public:
    explicit Busy(Frmmain& w) : m_w(w), m_ok(w.beginCommand()) {}
    ~Busy() {
        if (m_ok) {
            m_w.endCommand();
        }
    }
    explicit operator bool() const { return m_ok; }

  private:
    Frmmain& m_w;
    bool m_ok;
};

bool Frmmain::beginCommand() {
    if (m_busy) {
        ++m_refused;
        QApplication::beep();
        emit commandRefused();
        return false;
    }
    m_busy = true;
    return true;
}

void Frmmain::endCommand() {
    m_busy = false;
}

// ---- construction --------------------------------------------------------------------------

Frmmain::Frmmain(FrmmainOptions options, QWidget* parent)
    : QWidget(parent), m_options(std::move(options)), m_observer(this, nullptr, nullptr) {
    setObjectName(QStringLiteral("Frmmain"));
    setWindowTitle(projectTitle());
    m_maker = m_options.makerFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                              : m_options.makerFolder;
    while (m_maker.size() > 1 && m_maker.endsWith(QLatin1Char('/'))) {
        m_maker.chop(1);
    }
    m_observer.setDialogs(m_options.dialogs);
    buildWindow();
    m_observer.setProgressBar(m_progressBar1);
    // F1: the help page, in the preview, where the start page is shown.
    connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, this, [this] {
        selectTab(2);
        showStartPage();
    });
    resize(twipsToPixels(15000), twipsToPixels(10500));
    startUp();
    m_starting = false;
}

Frmmain::~Frmmain() = default;

void Frmmain::buildWindow() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(2, 2, 2, 2);
    outer->setSpacing(2);

    buildToolbars();
    // Two rows of toolbars, so that no button hides behind an overflow arrow.
    for (auto row : {std::pair{6, 4}, std::pair{3, 2}}) {
        auto* bars = new QHBoxLayout;
        bars->setSpacing(4);
        bars->addWidget(m_toolbar[row.first]);
        bars->addWidget(m_toolbar[row.second]);
        bars->addStretch(1);
        outer->addLayout(bars);
    }

    // Left: the drive tree over the explorer list over the page list.
    m_treeView1 = new DriveTree(m_observer, QString::fromLatin1(Caption));
    m_list1 = new QListWidget;
    m_list1->setObjectName(QStringLiteral("List1"));
    m_list1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list1->setUniformItemSizes(true);

    auto* pic1 = new QSplitter(Qt::Vertical);
    markSplitter(pic1, "Pic1");
    pic1->addWidget(m_treeView1);
    pic1->addWidget(m_list1);
    auto* pic2 = new QSplitter(Qt::Vertical);
    markSplitter(pic2, "Pic2");
    pic2->addWidget(pic1);
    pic2->addWidget(buildPageList());

    // Right: the tab strip over its panes.
    auto* right = new QWidget;
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(0);
    m_tabStrip1 = new QTabBar;
    m_tabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    for (const char* caption : {"目录", "浏览", "目录预览", "代码", "分析网址", "工程设置"}) {
        m_tabStrip1->addTab(QString::fromUtf8(caption));
    }
    m_panes = new QStackedWidget;
    m_panes->addWidget(buildContentsPane());
    m_panes->addWidget(buildPreviewPane());
    m_richTextBox1 = new QPlainTextEdit;
    m_richTextBox1->setObjectName(QStringLiteral("RichTextBox1"));
    m_richTextBox1->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_panes->addWidget(m_richTextBox1);
    m_panes->addWidget(buildAddressPanel());
    m_panes->addWidget(buildSettingsPanel());
    rightLayout->addWidget(m_tabStrip1);
    rightLayout->addWidget(m_panes, 1);
    connect(m_tabStrip1, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index >= 0) {
            selectTab(index + 1);
        }
    });

    m_pic = new QSplitter(Qt::Horizontal);
    markSplitter(m_pic, "Pic");
    m_pic->addWidget(pic2);
    m_pic->addWidget(right);
    pic2->setMinimumWidth(twipsToPixels(PicMinLeftTwips));
    right->setMinimumWidth(twipsToPixels(PicMinRightTwips));
    m_pic->setStretchFactor(1, 1);
    m_pic->setSizes({twipsToPixels(3600), twipsToPixels(11000)});
    outer->addWidget(m_pic, 1);

    m_progressBar1 = new QProgressBar;
    m_progressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar1->setTextVisible(false);
    m_progressBar1->setMaximumHeight(twipsToPixels(240));
    m_progressBar1->setValue(0);
    outer->addWidget(m_progressBar1);

    connect(m_treeView1, &DriveTree::folderChosen, this, &Frmmain::showExplorerFolder);
    // What appears on the disk appears in the lists: a folder written by another program, or
    // pages that a command of this window wrote into the open project.
    connect(m_treeView1, &DriveTree::folderChanged, this, [this](const QString& folder) {
        if (QDir::cleanPath(folder) == QDir::cleanPath(m_file1) && !m_busy) {
            showExplorerFolder(m_file1);
        }
    });
    connect(m_list1, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { openExplorerEntry(m_list1->row(item)); });
}

void Frmmain::buildToolbars() {
    struct Button {
        const char* caption; // nullptr: a separator
        QStyle::StandardPixmap icon;
    };
    const auto make = [this](int number, std::initializer_list<Button> buttons) {
        auto* bar = new QToolBar;
        bar->setObjectName(QStringLiteral("Toolbar%1").arg(number));
        bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        bar->setIconSize(QSize(20, 20));
        for (const Button& b : buttons) {
            if (!b.caption) {
                bar->addSeparator();
                continue;
            }
            QAction* a =
                bar->addAction(style()->standardIcon(b.icon), QString::fromUtf8(b.caption));
            if (!*b.caption) {
                // An image-only button: its tip says what it opens.
                a->setToolTip(QString::fromUtf8("选择文件"));
            }
        }
        connect(bar, &QToolBar::actionTriggered, this,
                [this, number, bar](QAction* a) { clickToolbar(number, positionOf(bar, a)); });
        m_toolbar[number] = bar;
    };
    using S = QStyle;
    make(1, {{"后退", S::SP_ArrowBack},
             {"前进", S::SP_ArrowForward},
             {"刷新", S::SP_BrowserReload},
             {"停止", S::SP_BrowserStop},
             {"首页", S::SP_DirHomeIcon},
             {nullptr, S::SP_CustomBase},
             {"放大", S::SP_ArrowUp},
             {"缩小", S::SP_ArrowDown}});
    make(2, {{"生成数据", S::SP_FileDialogListView},
             {"生成目录", S::SP_FileDialogDetailedView},
             {nullptr, S::SP_CustomBase},
             {nullptr, S::SP_CustomBase},
             {"", S::SP_DialogApplyButton}});
    make(3, {{"选择文件", S::SP_DialogApplyButton},
             {"批量改名", S::SP_FileDialogContentsView},
             {"整理HTML", S::SP_FileDialogInfoView},
             {"TxtToHtml", S::SP_FileIcon},
             {"HtmlToTxt", S::SP_FileLinkIcon},
             {"创建索引", S::SP_FileDialogStart},
             {"生成父目录", S::SP_DirIcon}});
    make(4, {{"复制文件", S::SP_DialogSaveButton},
             {"编译文件", S::SP_ComputerIcon},
             {nullptr, S::SP_CustomBase},
             {nullptr, S::SP_CustomBase},
             {"", S::SP_DialogApplyButton}});
    make(6, {{"复制", S::SP_FileLinkIcon},
             {"粘贴", S::SP_FileIcon},
             {"清空", S::SP_DialogResetButton},
             {"保存", S::SP_DialogSaveButton},
             {"关于", S::SP_MessageBoxInformation},
             {"退出", S::SP_DialogCloseButton}});

    // The zoom-in button's drop-down lists the usual sizes and does nothing.
    QAction* zoomIn = m_toolbar[1]->actions().value(6);
    auto* menu = new QMenu(this);
    for (const folio::ZoomMenuEntry& e : folio::zoomMenuEntries()) {
        QAction* item = menu->addAction(QString::fromLatin1(e.text));
        item->setObjectName(QString::fromLatin1(e.key));
    }
    zoomIn->setMenu(menu);
    if (auto* button = qobject_cast<QToolButton*>(m_toolbar[1]->widgetForAction(zoomIn))) {
        button->setPopupMode(QToolButton::MenuButtonPopup);
    }
    m_zoomMenuButton = zoomIn;
}

QWidget* Frmmain::buildPageList() {
    auto* box = new QWidget;
    auto* v = new QVBoxLayout(box);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(2);
    m_list2 = new QListWidget;
    m_list2->setObjectName(QStringLiteral("List2"));
    m_list2->setSelectionMode(QAbstractItemView::MultiSelection);
    m_list2->setUniformItemSizes(true);
    v->addWidget(m_list2, 1);

    auto* buttons = new QHBoxLayout;
    const auto command = [this, buttons](int n, const char* caption) {
        m_command[n] = new QPushButton(QString::fromUtf8(caption));
        m_command[n]->setObjectName(QStringLiteral("Command%1").arg(n));
        buttons->addWidget(m_command[n]);
        connect(m_command[n], &QPushButton::clicked, this, [this, n] { clickCommand(n); });
    };
    command(5, "全选");
    command(6, "反选");
    command(8, "刷新");
    v->addLayout(buttons);

    auto* frame = new QGroupBox(QString::fromUtf8("双击文件"));
    frame->setObjectName(QStringLiteral("Frame1"));
    auto* options = new QVBoxLayout(frame);
    options->setContentsMargins(4, 2, 4, 2);
    const char* captions[] = {nullptr, "转向代码页", "转向浏览页", "不操作"};
    for (int i = 1; i <= 3; ++i) {
        m_option[i] = new QRadioButton(QString::fromUtf8(captions[i]));
        m_option[i]->setObjectName(QStringLiteral("Option%1").arg(i));
        options->addWidget(m_option[i]);
    }
    m_option[3]->setChecked(true);
    v->addWidget(frame);

    connect(m_list2, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { openPageEntry(m_list2->row(item)); });
    return box;
}

QWidget* Frmmain::buildContentsPane() {
    m_contentsPanel = new ContentsPanel(m_contents, m_observer);
    m_gridPane = m_contentsPanel;
    m_toolbar[5] = m_contentsPanel->toolbar();
    markSplitter(m_contentsPanel->splitter(), "Pic3");
    ContentsPanel* panel = m_contentsPanel;
    connect(panel, &ContentsPanel::rowClicked, this, &Frmmain::gridRowClicked);
    connect(panel, &ContentsPanel::contentsEdited, this, [this] {
        if (!m_starting) {
            saveContents();
        }
    });
    connect(panel, &ContentsPanel::currentRowMoved, this, [this](int row) {
        if (m_homePage) {
            m_homePage->setRow(row);
        }
    });
    connect(panel, &ContentsPanel::entriesRenumbered, this,
            [this](const generators::Renumbering& ids) {
                if (m_frmtree) {
                    m_frmtree->followRenumbering(ids);
                }
            });
    connect(panel, &ContentsPanel::designHomePageRequested, this, &Frmmain::showHomePage);
    connect(panel, &ContentsPanel::generateHomePageRequested, this, &Frmmain::generateHomePage);
    connect(panel, &ContentsPanel::analyseAddressRequested, this, &Frmmain::showGetUrl);
    connect(panel, &ContentsPanel::downloadRequested, this, &Frmmain::showDownload);
    return m_gridPane;
}

QWidget* Frmmain::buildPreviewPane() {
    m_previewPane = new QWidget;
    auto* v = new QVBoxLayout(m_previewPane);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    v->addWidget(m_toolbar[1]);
    m_webBook = new PreviewView(m_previewPane);
    v->addWidget(m_webBook, 1);

    QWebEnginePage* page = m_webBook->page();
    const auto historyChanged = [this] {
        m_toolbar[1]->actions().value(0)->setEnabled(m_webBook->history()->canGoBack());
        m_toolbar[1]->actions().value(1)->setEnabled(m_webBook->history()->canGoForward());
    };
    connect(page, &QWebEnginePage::urlChanged, this, historyChanged);
    connect(page, &QWebEnginePage::loadFinished, this, historyChanged);
    connect(page, &QWebEnginePage::linkHovered, this,
            [this](const QString& url) { m_webBook->setLastStatusText(url); });
    connect(page, &QWebEnginePage::loadProgress, this, [this](int progress) {
        // The page reports percent: a maximum of 100, never a value above it.
        m_progressBar1->setMaximum(100);
        if (progress >= 0 && progress <= 100) {
            m_progressBar1->setValue(progress);
        }
    });
    historyChanged();
    return m_previewPane;
}

QWidget* Frmmain::buildAddressPanel() {
    m_picGetURL = new QWidget;
    m_picGetURL->setObjectName(QStringLiteral("PicGetURL"));
    auto* v = new QVBoxLayout(m_picGetURL);
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(QString::fromUtf8("网址："));
    label->setObjectName(QStringLiteral("Label14"));
    row->addWidget(label);
    m_comURL = new QComboBox;
    m_comURL->setObjectName(QStringLiteral("ComURL"));
    m_comURL->setEditable(true);
    m_comURL->setInsertPolicy(QComboBox::InsertAtTop);
    m_comURL->setMinimumWidth(twipsToPixels(6000));
    row->addWidget(m_comURL, 1);
    v->addLayout(row);
    v->addStretch(1);
    const auto go = [this] {
        const QString text = m_comURL->currentText().trimmed();
        if (!text.isEmpty()) {
            navigatePreview(text);
            selectTab(2);
        }
    };
    connect(m_comURL, &QComboBox::activated, this, go);
    connect(m_comURL->lineEdit(), &QLineEdit::returnPressed, this, go);
    return m_picGetURL;
}

QWidget* Frmmain::buildSettingsPanel() {
    m_picSet = new QWidget;
    m_picSet->setObjectName(QStringLiteral("PicSet"));
    auto* grid = new QGridLayout(m_picSet);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);

    const auto label = [](const char* name, const char* caption) {
        auto* l = new QLabel(QString::fromUtf8(caption));
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    const auto box = [](const char* name) {
        auto* e = new QLineEdit;
        e->setObjectName(QString::fromLatin1(name));
        return e;
    };
    const auto small = [this](int n) {
        m_command[n] = new QPushButton(QStringLiteral("..."));
        m_command[n]->setObjectName(QStringLiteral("Command%1").arg(n));
        m_command[n]->setFixedWidth(twipsToPixels(450));
        connect(m_command[n], &QPushButton::clicked, this, [this, n] { clickCommand(n); });
        return m_command[n];
    };

    int r = 0;
    m_comProPath = new QComboBox;
    m_comProPath->setObjectName(QStringLiteral("ComProPath"));
    m_comProPath->setEditable(true);
    m_comProPath->setInsertPolicy(QComboBox::NoInsert);
    grid->addWidget(label("Label11", "工程："), r, 0);
    grid->addWidget(m_comProPath, r, 1);
    grid->addWidget(small(4), r, 2);
    connect(m_comProPath, &QComboBox::activated, this, [this](int i) { selectProject(i); });
    ++r;

    struct Field {
        QLineEdit** target;
        const char* name;
        const char* label;
        const char* caption;
    };
    const Field fields[] = {
        {&m_txtTitle, "TxtTitle", "Label1", "电子书名称："},
        {&m_txtindex, "Txtindex", "Label2", "索引页："},
        {&m_txtTree, "TxtTree", "Label3", "目录树："},
        {&m_txtOutPath, "TxtOutPath", "Label4", "输出文件夹："},
        {&m_txtoutFile, "TxtoutFile", "Label5", "输出文件："},
        {&m_txtAuthor, "TxtAuthor", "Label6", "作者："},
        {&m_txtURL, "TxtURL", "Label7", "网址："},
        {&m_txtupdate, "Txtupdate", "Label8", "更新："},
        {&m_txtonline, "Txtonline", "Label9", "在线书架："},
        {&m_txtad, "Txtad", "Label10", "广告："},
    };
    for (const Field& f : fields) {
        *f.target = box(f.name);
        grid->addWidget(label(f.label, f.caption), r, 0);
        grid->addWidget(*f.target, r, 1);
        if (f.target == &m_txtTitle) {
            grid->addWidget(small(7), r, 2);
        } else if (f.target == &m_txtOutPath) {
            grid->addWidget(small(1), r, 2);
        }
        ++r;
    }

    m_txtTag = box("TxtTag");
    m_txtTag->setText(QString::fromUtf8(generators::DefaultTreeTag.data(),
                                        static_cast<int>(generators::DefaultTreeTag.size())));
    grid->addWidget(label("Label12", "目录标签："), r, 0);
    grid->addWidget(m_txtTag, r, 1, 1, 2);
    ++r;
    m_homePageTag = new QPlainTextEdit;
    m_homePageTag->setObjectName(QStringLiteral("HomePageTag"));
    m_homePageTag->setMaximumHeight(twipsToPixels(900));
    grid->addWidget(label("Label13", "首页标签："), r, 0, Qt::AlignTop);
    grid->addWidget(m_homePageTag, r, 1, 1, 2);
    ++r;

    m_txtIconPath = box("TxtIconPath");
    grid->addWidget(label("Label15", "图标："), r, 0);
    auto* iconRow = new QHBoxLayout;
    iconRow->addWidget(m_txtIconPath, 1);
    m_iconChooser =
        new IconChooser(m_picSet, m_txtIconPath, m_maker, m_observer, m_options.chooseFile);
    iconRow->addWidget(m_iconChooser);
    grid->addLayout(iconRow, r, 1, 1, 2);
    ++r;

    auto* kinds = new QHBoxLayout;
    const char* checks[] = {nullptr, "EXE", "CHM", "JAR", "book"};
    for (int i = 1; i <= 4; ++i) {
        m_check[i] = new QCheckBox(QString::fromLatin1(checks[i]));
        m_check[i]->setObjectName(QStringLiteral("Check%1").arg(i));
        kinds->addWidget(m_check[i]);
    }
    m_check[1]->setChecked(true);
    kinds->addStretch(1);
    grid->addWidget(label("Label16", "输出："), r, 0);
    grid->addLayout(kinds, r, 1, 1, 2);
    ++r;

    m_combo1 = new QComboBox;
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_combo2 = new QComboBox;
    m_combo2->setObjectName(QStringLiteral("Combo2"));
    auto* looks = new QHBoxLayout;
    looks->addWidget(m_combo1, 1);
    looks->addWidget(label("Label18", "皮肤："));
    looks->addWidget(m_combo2, 1);
    grid->addWidget(label("Label17", "语言："), r, 0);
    grid->addLayout(looks, r, 1, 1, 2);
    connect(m_combo1, &QComboBox::activated, this,
            [this](int i) { applyLanguage(m_combo1->itemText(i)); });
    connect(m_combo2, &QComboBox::activated, this, [this](int i) { applySkin(i); });
    ++r;

    auto* actions = new QHBoxLayout;
    for (auto [n, caption] : {std::pair{2, "设置"}, std::pair{3, "清空"}}) {
        m_command[n] = new QPushButton(QString::fromUtf8(caption));
        m_command[n]->setObjectName(QStringLiteral("Command%1").arg(n));
        actions->addWidget(m_command[n]);
        connect(m_command[n], &QPushButton::clicked, this, [this, n] { clickCommand(n); });
    }
    actions->addStretch(1);
    grid->addLayout(actions, r, 1, 1, 2);
    ++r;
    grid->setRowStretch(r, 1);
    grid->setColumnStretch(1, 1);
    return m_picSet;
}

// ---- start-up and the project state --------------------------------------------------------

void Frmmain::startUp() {
    std::vector<std::string> languages = toStd(folio::qt::ListLanguages(m_maker));
    m_state = project::StartMaker(utf8(m_maker), languages, m_observer);

    if (m_options.attachSkin && !m_state.startSkin.empty()) {
        skin::attachSkin(skin::libraryBeside(utf8(m_maker)), m_state.startSkin,
                         reinterpret_cast<void*>(winId()));
    }
    m_combo1->clear();
    for (const std::string& name : m_state.languages) {
        m_combo1->addItem(qs(name));
    }
    if (m_state.languageIndex >= 0) {
        m_combo1->setCurrentIndex(m_state.languageIndex);
        applyLanguage(m_combo1->currentText());
    }

    m_zoomLevel = 100;
    m_treeView1->loadDrives();

    m_combo2->clear();
    for (const std::string& name : m_state.skins) {
        m_combo2->addItem(qs(name));
    }
    if (m_state.skinIndex >= 0) {
        m_combo2->setCurrentIndex(m_state.skinIndex);
        applySkin(m_state.skinIndex);
    }

    showState();
    projectChanged();
    selectTab(6);
    showStartPage();
}

// The boxes into the state: a command reads what the author typed.
void Frmmain::readFields() {
    project::ProjectSettings& s = m_state.settings;
    s.title = utf8(m_txtTitle->text());
    s.indexPage = utf8(m_txtindex->text());
    s.contentsPage = utf8(m_txtTree->text());
    s.outPath = utf8(m_txtOutPath->text());
    s.outFile = utf8(m_txtoutFile->text());
    s.author = utf8(m_txtAuthor->text());
    s.webAddress = utf8(m_txtURL->text());
    s.update = utf8(m_txtupdate->text());
    s.bookshelf = utf8(m_txtonline->text());
    s.advert = utf8(m_txtad->text());
    m_state.treeTag = utf8(m_txtTag->text());
    m_state.homePageTag = utf8(m_homePageTag->toPlainText());
    m_state.projectText = utf8(m_comProPath->currentText());
    m_state.projects.clear();
    for (int i = 0; i < m_comProPath->count(); ++i) {
        m_state.projects.push_back(utf8(m_comProPath->itemText(i)));
    }
}

// The state into the boxes and lists.
void Frmmain::showState() {
    const project::ProjectSettings& s = m_state.settings;
    m_txtTitle->setText(qs(s.title));
    m_txtindex->setText(qs(s.indexPage));
    m_txtTree->setText(qs(s.contentsPage));
    m_txtOutPath->setText(qs(s.outPath));
    m_txtoutFile->setText(qs(s.outFile));
    m_txtAuthor->setText(qs(s.author));
    m_txtURL->setText(qs(s.webAddress));
    m_txtupdate->setText(qs(s.update));
    m_txtonline->setText(qs(s.bookshelf));
    m_txtad->setText(qs(s.advert));
    if (!m_state.treeTag.empty()) {
        m_txtTag->setText(qs(m_state.treeTag));
    }
    m_homePageTag->setPlainText(qs(m_state.homePageTag));

    const QSignalBlocker block(m_comProPath);
    m_comProPath->clear();
    for (const std::string& p : m_state.projects) {
        m_comProPath->addItem(qs(p));
    }
    m_comProPath->setEditText(qs(m_state.projectText));

    showPageList();
    project::ReportProblems(m_state, m_observer);
}

void Frmmain::showPageList() {
    // Thousands of names: one batch, the view paints once.
    m_list2->setUpdatesEnabled(false);
    m_list2->clear();
    QStringList names;
    names.reserve(static_cast<qsizetype>(m_state.pages.size()));
    for (const std::string& p : m_state.pages) {
        names.push_back(qs(p));
    }
    m_list2->addItems(names);
    m_list2->setUpdatesEnabled(true);
}

// The open project may have changed: its contents list comes with it.
void Frmmain::projectChanged() {
    if (project::FollowOpenProject(m_state, m_contentsFolder, m_contents, m_observer)) {
        m_contentsPanel->listReplaced();
    }
}

// The grid is kept with the project it belongs to, so closing the maker loses nothing.
void Frmmain::saveContents() {
    // A list that cannot be saved has been named in a box; the grid still holds it.
    (void)project::SaveProjectContents(m_contentsFolder, m_contents, m_observer);
}

// One step of the grid's undo history; the panel asks for the list to be saved.
void Frmmain::contentsChangedByWindow() {
    m_contentsPanel->listChanged();
}

// ---- explorer ------------------------------------------------------------------------------

void Frmmain::showExplorerFolder(const QString& folder) {
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        return;
    }
    Busy busy(*this);
    if (!busy) {
        return;
    }
    auto names = project::listFolderFiles(utf8(folder), m_observer);
    if (!names) {
        return;
    }
    // The same folder listed again keeps what was selected in it.
    QSet<QString> selected;
    if (QDir::cleanPath(folder) == QDir::cleanPath(m_file1)) {
        for (const QListWidgetItem* item : m_list1->selectedItems()) {
            selected.insert(item->text());
        }
    }
    m_file1 = folder;
    m_treeView1->watchFolder(folder);
    QStringList items;
    items.reserve(static_cast<qsizetype>(names->size()));
    for (const std::string& n : *names) {
        items.push_back(qs(n));
    }
    m_list1->setUpdatesEnabled(false);
    m_list1->clear();
    m_list1->addItems(items);
    for (int i = 0; !selected.isEmpty() && i < m_list1->count(); ++i) {
        m_list1->item(i)->setSelected(selected.contains(m_list1->item(i)->text()));
    }
    m_list1->setUpdatesEnabled(true);
}

generators::ExplorerList Frmmain::explorerList() const {
    generators::ExplorerList list;
    list.folder = utf8(m_file1);
    const int n = m_list1->count();
    list.names.reserve(static_cast<std::size_t>(n));
    list.selected.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const QListWidgetItem* item = m_list1->item(i);
        list.names.push_back(utf8(item->text()));
        list.selected.push_back(item->isSelected());
    }
    return list;
}

void Frmmain::openExplorerEntry(int row) {
    if (row < 0 || row >= m_list1->count() || m_file1.isEmpty()) {
        return;
    }
    QString path = m_file1;
    if (!path.endsWith(QLatin1Char('/'))) {
        path += QLatin1Char('/');
    }
    path += m_list1->item(row)->text();
    navigatePreview(path);
    loadIntoCodeView(path);
}

void Frmmain::openPageEntry(int row) {
    if (row < 0 || row >= m_list2->count() || m_state.openFolder.empty()) {
        return;
    }
    QString path = qs(m_state.openFolder);
    if (!path.endsWith(QLatin1Char('/'))) {
        path += QLatin1Char('/');
    }
    path += m_list2->item(row)->text();
    navigatePreview(path);
    loadIntoCodeView(path);
    if (m_option[1]->isChecked()) {
        selectTab(4);
    } else if (m_option[2]->isChecked()) {
        selectTab(2);
    }
}

void Frmmain::navigatePreview(const QString& pathOrUrl) {
    const QFileInfo info(pathOrUrl);
    if (info.isAbsolute() && info.exists()) {
        m_webBook->load(QUrl::fromLocalFile(info.absoluteFilePath()));
    } else {
        m_webBook->load(QUrl::fromUserInput(pathOrUrl));
    }
}

void Frmmain::loadIntoCodeView(const QString& path) {
    // A page is shown in its own encoding, a UTF-8 one as well as a CP936 one.
    auto text = folio::readDecodedText(utf8(path));
    if (text) {
        QString shown = qs(*text);
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        m_richTextBox1->setPlainText(shown);
    }
}

void Frmmain::showBuiltInPage() {
    m_webBook->setHtml(qs(project::MakerAboutPage()), QUrl(QStringLiteral("about:blank")));
}

void Frmmain::showStartPage() {
    if (!m_state.startPage.empty()) {
        m_webBook->load(QUrl::fromLocalFile(qs(m_state.startPage)));
    } else {
        showBuiltInPage();
    }
}

void Frmmain::applyZoomLevel() {
    folio::qt::ApplyZoom(m_webBook->page(), m_zoomLevel);
}

// ---- tabs ----------------------------------------------------------------------------------

void Frmmain::selectTab(int tab) {
    if (tab < 1 || tab > 6) {
        return;
    }
    {
        const QSignalBlocker block(m_tabStrip1);
        m_tabStrip1->setCurrentIndex(tab - 1);
    }
    m_panes->setCurrentIndex(paneOfTab(tab));
    if (tab != 3 || m_starting) {
        return;
    }
    const std::string page = project::ContentsPreviewPage(
        m_state.makerFolder, utf8(m_txtTitle->text()), utf8(m_txtTree->text()));
    if (page.empty()) {
        showBuiltInPage();
    } else {
        navigatePreview(qs(page));
    }
}

int Frmmain::currentTab() const {
    return m_tabStrip1->currentIndex() + 1;
}

// ---- commands ------------------------------------------------------------------------------

QString Frmmain::chooseFolder() {
    const QString title = QString::fromUtf8("选择这个文件夹：");
    if (m_options.chooseFolder) {
        return m_options.chooseFolder(this, title);
    }
    return QFileDialog::getExistingDirectory(this, title, m_maker);
}

void Frmmain::selectProject(int index) {
    Busy busy(*this);
    if (!busy) {
        return;
    }
    readFields();
    m_state.projectText = utf8(m_comProPath->itemText(index));
    project::SelectProject(m_state, index, m_observer);
    showState();
    projectChanged();
}

void Frmmain::clickCommand(int number) {
    if (number == 3) {
        return; // "清空" has no action
    }
    Busy busy(*this);
    if (!busy) {
        return;
    }
    switch (number) {
    case 1: {
        const QString folder = chooseFolder();
        if (!folder.isEmpty()) {
            m_txtOutPath->setText(folder);
        }
        break;
    }
    case 2:
        readFields();
        (void)project::SaveSettings(m_state, m_observer);
        showState();
        projectChanged();
        break;
    case 4: {
        const QString folder = chooseFolder();
        if (folder.isEmpty()) {
            break;
        }
        readFields();
        project::PickProjectFolder(m_state, utf8(folder), m_observer);
        showState();
        projectChanged();
        break;
    }
    case 5:
        m_list2->selectAll();
        m_list2->viewport()->update();
        break;
    case 6:
        for (int i = 0; i < m_list2->count(); ++i) {
            m_list2->item(i)->setSelected(!m_list2->item(i)->isSelected());
        }
        m_list2->viewport()->update();
        break;
    case 7:
        readFields();
        (void)project::CreateProject(m_state, m_observer);
        showState();
        projectChanged();
        break;
    case 8:
        if (!m_state.openFolder.empty()) {
            readFields();
            project::RefreshProject(m_state, m_observer);
            showState();
        }
        break;
    default:
        break;
    }
}

void Frmmain::clickToolbar(int toolbar, int position) {
    switch (toolbar) {
    case 1:
        toolbar1(position);
        break;
    case 2:
        toolbar2(position);
        break;
    case 3:
        toolbar3(position);
        break;
    case 4:
        toolbar4(position);
        break;
    case 5:
        m_contentsPanel->clickToolbar(position);
        break;
    case 6:
        toolbar6(position);
        break;
    default:
        break;
    }
}

void Frmmain::toolbar1(int position) {
    switch (position) {
    case 1:
        m_webBook->back();
        break;
    case 2:
        m_webBook->forward();
        break;
    case 3:
        m_webBook->reload();
        break;
    case 4:
        m_webBook->stop();
        m_webBook->triggerPageAction(QWebEnginePage::Stop);
        break;
    case 5:
        showBuiltInPage();
        break;
    case 7:
        m_zoomLevel = folio::zoomIn(m_zoomLevel);
        applyZoomLevel();
        break;
    case 8:
        m_zoomLevel = folio::reader::zoomOut(m_zoomLevel);
        applyZoomLevel();
        break;
    default:
        break;
    }
}

void Frmmain::toolbar2(int position) {
    switch (position) {
    case 1:
        showFrmtree();
        break;
    case 2:
        generateContents();
        break;
    case 5:
        showFrmSel(false);
        break;
    default:
        break;
    }
}

void Frmmain::toolbar3(int position) {
    switch (position) {
    case 1:
        showFrmSel(true);
        break;
    case 2: {
        Busy busy(*this);
        if (!busy) {
            return;
        }
        FrmReName window(
            this, [this] { return explorerList(); }, m_observer);
        connect(&window, &FrmReName::filesRenamed, this, [this, &window] {
            const QString folder = m_file1;
            // Relinking covers the grid too when the renamed pages are the open project's.
            const QString project = qs(m_contentsFolder);
            if (window.relinks() && !project.isEmpty() &&
                QFileInfo(folder).canonicalFilePath() == QFileInfo(project).canonicalFilePath() &&
                generators::RelinkContentsList(m_contents, window.lastSummary().renamed) > 0) {
                contentsChangedByWindow();
            }
            m_busy = false;
            showExplorerFolder(folder);
            m_busy = true;
        });
        window.exec();
        break;
    }
    case 4: {
        Busy busy(*this);
        if (!busy) {
            return;
        }
        auto done = project::ConvertExplorerText(m_state, explorerList(), m_observer);
        m_busy = false;
        if (done && !done->written.empty()) {
            showExplorerFolder(m_file1);
        }
        m_busy = true;
        break;
    }
    case 5: {
        auto* window = new FrmHtmlToTxt(
            this, [this] { return explorerList(); }, m_observer);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setWindowFlag(Qt::Window);
        connect(window, &FrmHtmlToTxt::filesWritten, this, [this] { showExplorerFolder(m_file1); });
        window->show();
        break;
    }
    case 6:
        readFields();
        generators::AddHomeEntry(m_state.settings.title, m_contents);
        contentsChangedByWindow();
        break;
    case 7: {
        Busy busy(*this);
        if (!busy || m_file1.isEmpty()) {
            return;
        }
        (void)generators::AddFolderEntries(utf8(m_file1), m_contents, m_observer);
        contentsChangedByWindow();
        break;
    }
    default:
        break; // "整理HTML" has no action
    }
}

void Frmmain::toolbar4(int position) {
    switch (position) {
    case 1:
        copyFiles();
        break;
    case 2:
        compile();
        break;
    case 5:
        showFrmSel(false);
        break;
    default:
        break;
    }
}

void Frmmain::toolbar6(int position) {
    switch (position) {
    case 1:
        m_webBook->triggerPageAction(QWebEnginePage::Copy);
        break;
    case 2:
        m_richTextBox1->insertPlainText(QApplication::clipboard()->text());
        break;
    case 3:
        m_richTextBox1->clear();
        QApplication::clipboard()->clear();
        selectTab(2);
        break;
    case 4:
        saveCodeView();
        break;
    case 5:
        if (!m_about) {
            m_about = new frmAbout(this, projectTitle(), QCoreApplication::applicationVersion());
            m_about->setAttribute(Qt::WA_DeleteOnClose);
        }
        m_about->show();
        m_about->raise();
        break;
    case 6:
        for (QWidget* w : std::initializer_list<QWidget*>{m_about, m_frmSel, m_frmtree}) {
            if (w) {
                w->close();
            }
        }
        close();
        break;
    default:
        break;
    }
}

void Frmmain::copyFiles() {
    Busy busy(*this);
    if (!busy) {
        return;
    }
    readFields();
    (void)project::CopyFilesIntoProject(m_state, explorerList(), m_observer);
    showState();
    projectChanged();
    setWindowTitle(projectTitle());
}

void Frmmain::compile() {
    Busy busy(*this);
    if (!busy) {
        return;
    }
    readFields();
    project::CompileRequest request;
    request.selection = pageSelection();
    request.exe = m_check[1]->isChecked();
    request.chm = m_check[2]->isChecked();
    request.iconPath = utf8(m_txtIconPath->text());
    request.skinFileName = utf8(m_combo2->currentText());
    request.dateText = utf8(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
    const std::string before = m_state.openFolder;
    auto run = project::CompileProject(m_state, m_contents, request, m_observer);
    if (m_state.openFolder != before) {
        showState();
        projectChanged();
    } else {
        showPageList();
    }
    if (run) {
        selectPages(run->selected);
    }
    setWindowTitle(projectTitle());
}

// The page list's selection, as the compile and the refresh take it.
project::PageSelection Frmmain::pageSelection() const {
    project::PageSelection selection;
    for (int i = 0; i < m_list2->count(); ++i) {
        if (m_list2->item(i)->isSelected()) {
            selection.names.push_back(utf8(m_list2->item(i)->text()));
        }
    }
    selection.whole =
        m_list2->count() > 0 && static_cast<int>(selection.names.size()) == m_list2->count();
    return selection;
}

void Frmmain::selectPages(const std::vector<bool>& selected) {
    for (int i = 0; i < m_list2->count() && i < static_cast<int>(selected.size()); ++i) {
        m_list2->item(i)->setSelected(selected[static_cast<std::size_t>(i)]);
    }
}

void Frmmain::generateContents() {
    Busy busy(*this);
    if (!busy) {
        return;
    }
    readFields();
    showGenerated(project::GenerateContents(m_state, m_contents, pageSelection(), m_observer));
}

void Frmmain::generateHomePage() {
    Busy busy(*this);
    if (!busy) {
        return;
    }
    readFields();
    showGenerated(project::GenerateHome(m_state, m_contents, pageSelection(), m_observer));
}

// The page a generator wrote in the code view, and the project or page list it changed.
void Frmmain::showGenerated(const project::GenerateRun& run) {
    if (run.pageText) {
        m_richTextBox1->setPlainText(qs(*run.pageText));
    }
    if (run.openedProject) {
        showState();
        projectChanged();
        saveContents();
    } else if (run.selected) {
        showPageList();
        selectPages(*run.selected);
    }
}

void Frmmain::saveCodeView() {
    const QString folder = m_maker + QLatin1Char('/') + m_txtTitle->text() + QLatin1Char('/');
    const auto chosen = m_observer.askSaveFileName(
        "保存文件", utf8(folder),
        "文本文件(*.Txt)|*.Txt|网页文件(*.htm;*.html)|*.htm;*.html|全部文件(*.*)|*.*");
    if (!chosen) {
        return; // cancelled: the caption stays
    }
    const QString path = qs(*chosen);
    if (QFileInfo::exists(path) &&
        m_observer.messageBox("文件已存在，要覆盖它吗？", utf8(projectTitle()),
                              folio::MessageIcon::Question, folio::MessageButtons::YesNo,
                              folio::Answer::No) != folio::Answer::Yes) {
        return;
    }
    setWindowTitle(path);
    QString text = m_richTextBox1->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    if (auto written = folio::writeFileAtomic(utf8(path), folio::toAnsi(utf8(text))); !written) {
        m_observer.messageBox(written.error().message, Caption, folio::MessageIcon::Critical);
        return;
    }
    selectTab(2);
    m_observer.messageBox(
        utf8(QString::fromUtf8("文件 ") + windowTitle() + QString::fromUtf8("，保存成功。")),
        Caption, folio::MessageIcon::Exclamation);
}

// ---- companion windows ---------------------------------------------------------------------

void Frmmain::showFrmSel(bool modal) {
    if (!m_frmSel) {
        m_frmSel = new FrmSel(this, utf8(m_maker), m_list1);
    }
    m_frmSel->setExplorer(m_list1);
    if (modal) {
        m_frmSel->exec();
    } else {
        m_frmSel->show();
        m_frmSel->raise();
    }
}

// The builder window, made (not shown) when first wanted.
Frmtree* Frmmain::ensureFrmtree() {
    if (!m_frmtree) {
        m_frmtree = new Frmtree(
            this, m_contents, [this] { return explorerList(); }, m_observer);
        m_frmtree->setWindowFlag(Qt::Window);
        connect(m_frmtree, &Frmtree::contentsChanged, this, [this] { contentsChangedByWindow(); });
    }
    return m_frmtree;
}

void Frmmain::showFrmtree() {
    ensureFrmtree()->show();
    m_frmtree->raise();
}

Frmtree* Frmmain::frmtree() const {
    return m_frmtree;
}

int Frmmain::gridCurrentRow() const {
    return m_contentsPanel->currentRow();
}

void Frmmain::clickGridRow(int row) {
    m_contentsPanel->clickGridRow(row);
}

// A grid click: the clicked entry becomes the builder's parent and the card editor's row.
void Frmmain::gridRowClicked(int row) {
    const project::GridPick pick = project::gridClick(m_contents, row);
    ensureFrmtree()->setParentEntry(qs(pick.sid), qs(pick.title));
    if (m_homePage) {
        m_homePage->setRow(row);
    }
}

void Frmmain::showHomePage() {
    if (!m_homePage) {
        m_homePage = new FrmHomePage(this, m_contents, gridCurrentRow(), m_options.chooseFile);
        m_homePage->setWindowFlag(Qt::Window);
        connect(m_homePage, &FrmHomePage::contentsChanged, this,
                [this] { contentsChangedByWindow(); });
    } else {
        m_homePage->setRow(gridCurrentRow());
    }
    m_homePage->show();
    m_homePage->raise();
}

void Frmmain::showGetUrl() {
    if (!m_getUrl) {
        m_getUrl = new FrmGetURL(this, m_webBook->page(), m_observer);
        m_getUrl->setWindowFlag(Qt::Window);
        connect(m_getUrl, &FrmGetURL::linksFound, this, &Frmmain::setLinks);
    }
    m_getUrl->show();
    m_getUrl->raise();
}

void Frmmain::showDownload() {
    if (!m_download) {
        FrmDownLoadInputs in;
        in.contents = &m_contents;
        in.links = [this] { return m_contentsPanel->links(); };
        in.currentRow = [this] { return gridCurrentRow(); };
        in.projectFolder = [this] { return m_maker + QLatin1Char('/') + m_txtTitle->text(); };
        in.makerFolder = utf8(m_maker);
        m_download = new FrmDownLoad(this, std::move(in), m_observer);
        m_download->setWindowFlag(Qt::Window);
        connect(m_download, &FrmDownLoad::contentsChanged, this,
                [this] { contentsChangedByWindow(); });
    }
    m_download->show();
    m_download->raise();
}

void Frmmain::setLinks(const QStringList& texts, const QStringList& targets) {
    m_contentsPanel->setLinks(texts, targets);
}

void Frmmain::clickLinkText(int row) {
    m_contentsPanel->clickLinkText(row);
}

void Frmmain::clickLinkTarget(int row) {
    m_contentsPanel->clickLinkTarget(row);
}

// ---- language and skin ---------------------------------------------------------------------

void Frmmain::applyLanguage(const QString& name) {
    if (name.isEmpty()) {
        return;
    }
    folio::qt::ApplyLanguage(m_maker, name);
}

void Frmmain::applySkin(int index) {
    const std::string path = m_state.skinPath(index);
    if (path.empty() || !m_options.attachSkin) {
        return;
    }
    skin::attachSkin(skin::libraryBeside(utf8(m_maker)), path, reinterpret_cast<void*>(winId()));
}

// ---- shut-down -----------------------------------------------------------------------------

void Frmmain::closeEvent(QCloseEvent* event) {
    if (m_busy) {
        // Closing under a running command would pull its state away from it.
        ++m_refused;
        emit commandRefused();
        event->ignore();
        return;
    }
    readFields();
    saveContents();
    (void)project::ShutDown(m_state);
    event->accept();
}

} // namespace folio::maker
