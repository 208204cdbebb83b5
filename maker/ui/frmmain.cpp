// Frmmain: lays out the workbench's panels, copies the boxes into the project state before a
// command, runs the command's routine and shows the state again after it.
#include "maker/ui/frmmain.h"

#include "core/fileio.h"
#include "core/text.h"
#include "core/twips.h"
#include "maker/generators/contents.h"
#include "maker/generators/rename.h"
#include "maker/ui/commandguard.h"
#include "maker/ui/contentspanel.h"
#include "maker/ui/drivetree.h"
#include "maker/ui/explorerpanel.h"
#include "maker/ui/frmhtmltotxt.h"
#include "maker/ui/frmrename.h"
#include "maker/ui/pagelistpanel.h"
#include "maker/ui/previewpanel.h"
#include "maker/ui/settingspanel.h"
#include "maker/ui/workbenchcompanions.h"
#include "maker/ui/workbenchtabs.h"
#include "qt/language.h"
#include "skin/skinloader.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDate>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QToolBar>
#include <QVBoxLayout>

namespace folio::maker {

namespace project = folio::project;
namespace generators = folio::generators;
using folio::twipsToPixels;

namespace {

// The splitter Pic keeps the left panes at least this wide and the right ones too.
constexpr int PicMinLeftTwips = 1000;
constexpr int PicMinRightTwips = 5000;

QString projectTitle() {
    return QString::fromUtf8(Frmmain::Caption);
}

bool isFolder(const QString& folder) {
    return !folder.isEmpty() && QFileInfo(folder).isDir();
}

} // namespace

// ---- construction --------------------------------------------------------------------------

Frmmain::Frmmain(FrmmainOptions options, QWidget* parent)
    : QWidget(parent), m_options(std::move(options)), m_observer(this, nullptr, nullptr),
      m_toolbars(this) {
    setObjectName(QStringLiteral("Frmmain"));
    setWindowTitle(projectTitle());
    m_guard = new CommandGuard(this);
    m_maker = m_options.makerFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                              : m_options.makerFolder;
    while (m_maker.size() > 1 && m_maker.endsWith(QLatin1Char('/'))) {
        m_maker.chop(1);
    }
    m_observer.setDialogs(m_options.dialogs);
    buildWindow();
    m_observer.setProgressBar(m_progressBar1);
    connectParts();
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
    // Two rows of toolbars, so that no button hides behind an overflow arrow.
    for (auto row : {std::pair{6, 4}, std::pair{3, 2}}) {
        auto* bars = new QHBoxLayout;
        bars->setSpacing(4);
        bars->addWidget(m_toolbars.toolbar(row.first));
        bars->addWidget(m_toolbars.toolbar(row.second));
        bars->addStretch(1);
        outer->addLayout(bars);
    }

    // Left: the drive tree over the explorer list over the page list.
    m_explorer = new ExplorerPanel(m_observer, QString::fromLatin1(Caption));
    m_pages = new PageListPanel;
    auto* pic2 = new QSplitter(Qt::Vertical);
    markSplitter(pic2, "Pic2");
    pic2->addWidget(m_explorer);
    pic2->addWidget(m_pages);

    m_progressBar1 = new QProgressBar;
    m_progressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar1->setTextVisible(false);
    m_progressBar1->setMaximumHeight(twipsToPixels(240));
    m_progressBar1->setValue(0);

    // Right: the tab strip over its panes.
    m_contentsPanel = new ContentsPanel(m_contents, m_observer);
    markSplitter(m_contentsPanel->splitter(), "Pic3");
    m_preview = new PreviewPanel(m_progressBar1);
    m_richTextBox1 = new QPlainTextEdit;
    m_richTextBox1->setObjectName(QStringLiteral("RichTextBox1"));
    m_richTextBox1->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_settings = new SettingsPanel(m_maker, m_observer, m_options.chooseFile);
    m_tabs = new WorkbenchTabs(m_contentsPanel, m_preview, m_richTextBox1, m_preview->addressPane(),
                               m_settings);

    auto* pic = new QSplitter(Qt::Horizontal);
    markSplitter(pic, "Pic");
    pic->addWidget(pic2);
    pic->addWidget(m_tabs);
    pic2->setMinimumWidth(twipsToPixels(PicMinLeftTwips));
    m_tabs->setMinimumWidth(twipsToPixels(PicMinRightTwips));
    pic->setStretchFactor(1, 1);
    pic->setSizes({twipsToPixels(3600), twipsToPixels(11000)});
    outer->addWidget(pic, 1);
    outer->addWidget(m_progressBar1);

    WorkbenchCompanions::Inputs in;
    in.contents = &m_contents;
    in.makerFolder = m_maker;
    in.explorer = m_explorer;
    in.grid = m_contentsPanel;
    in.preview = m_preview->view();
    in.projectFolder = [this] { return m_maker + QLatin1Char('/') + m_settings->title(); };
    in.chooseFile = m_options.chooseFile;
    in.observer = &m_observer;
    m_companions = new WorkbenchCompanions(this, std::move(in));
}

// Every control's event to the command it runs; a command that works on the project state
// runs only while no other does.
void Frmmain::connectParts() {
    connect(m_tabs, &WorkbenchTabs::tabClicked, this, &Frmmain::selectTab);
    const auto on = [this](QAction* action, auto slot) {
        connect(action, &QAction::triggered, this, slot);
    };
    const auto onClick = [this](QPushButton* button, auto slot) {
        connect(button, &QPushButton::clicked, this, slot);
    };
    onClick(m_settings->command(1), m_guard->guarded([this] { chooseOutFolder(); }));
    onClick(m_settings->command(2), m_guard->guarded([this] { saveSettings(); }));
    onClick(m_settings->command(4), m_guard->guarded([this] { pickProjectFolder(); }));
    onClick(m_settings->command(7), m_guard->guarded([this] { createProject(); }));
    connect(m_settings, &SettingsPanel::projectChosen, this, &Frmmain::selectProject);
    connect(m_settings, &SettingsPanel::skinChosen, this, &Frmmain::applySkin);
    onClick(m_pages->command(5), m_guard->guarded([this] { m_pages->selectAll(); }));
    onClick(m_pages->command(6), m_guard->guarded([this] { m_pages->invertSelection(); }));
    onClick(m_pages->command(8), m_guard->guarded([this] { refreshProject(); }));
    connect(m_pages, &PageListPanel::entryOpened, this, &Frmmain::openPageEntry);

    connect(m_explorer, &ExplorerPanel::folderChosen, this, &Frmmain::showExplorerFolder);
    // What appears on the disk appears in the list, unless a command is writing it.
    connect(m_explorer, &ExplorerPanel::folderChanged, this, [this] {
        if (!m_guard->busy()) {
            showExplorerFolder(m_explorer->folder());
        }
    });
    connect(m_explorer, &ExplorerPanel::entryOpened, this, &Frmmain::openExplorerEntry);

    connect(m_preview, &PreviewPanel::addressChosen, this, [this] { selectTab(2); });

    connect(m_contentsPanel, &ContentsPanel::contentsEdited, this, [this] {
        if (!m_starting) {
            saveContents();
        }
    });
    connect(m_contentsPanel, &ContentsPanel::generateHomePageRequested, this,
            m_guard->guarded([this] { generateHomePage(); }));
    connect(m_companions, &WorkbenchCompanions::contentsChanged, this, &Frmmain::contentsChanged);

    const WorkbenchToolbars& bars = m_toolbars;
    WorkbenchCompanions* companions = m_companions;
    on(bars.action(ContentsButton::Builder), [companions] { companions->showFrmtree(); });
    on(bars.action(ContentsButton::GenerateContents),
       m_guard->guarded([this] { generateContents(); }));
    on(bars.action(ContentsButton::SelectFiles), [companions] { companions->showFrmSel(false); });
    on(bars.action(PagesButton::SelectFiles), [companions] { companions->showFrmSel(true); });
    on(bars.action(PagesButton::Rename), m_guard->guarded([this] { renameFiles(); }));
    on(bars.action(PagesButton::TextToPages), m_guard->guarded([this] { convertText(); }));
    on(bars.action(PagesButton::PagesToText), [this] { convertPages(); });
    on(bars.action(PagesButton::HomeEntry), [this] { addHomeEntry(); });
    on(bars.action(PagesButton::FolderEntries), m_guard->guarded([this] { addFolderEntries(); }));
    on(bars.action(OutputButton::CopyFiles), m_guard->guarded([this] { copyFiles(); }));
    on(bars.action(OutputButton::Compile), m_guard->guarded([this] { compile(); }));
    on(bars.action(OutputButton::Check), m_guard->guarded([this] { checkProject(); }));
    on(bars.action(OutputButton::SelectFiles), [companions] { companions->showFrmSel(false); });
    on(bars.action(MainButton::Copy),
       [this] { preview()->triggerPageAction(QWebEnginePage::Copy); });
    on(bars.action(MainButton::Paste),
       [this] { m_richTextBox1->insertPlainText(QApplication::clipboard()->text()); });
    on(bars.action(MainButton::Clear), [this] { clearCodeView(); });
    on(bars.action(MainButton::Save), [this] { saveCodeView(); });
    on(bars.action(MainButton::About), [companions] { companions->showAbout(); });
    on(bars.action(MainButton::Exit), [this] { exitAll(); });
}

// ---- start-up and the project state --------------------------------------------------------

void Frmmain::startUp() {
    std::vector<std::string> languages;
    for (const QString& name : folio::qt::ListLanguages(m_maker)) {
        languages.push_back(utf8(name));
    }
    m_state = project::StartMaker(utf8(m_maker), languages, m_observer);

    if (m_options.attachSkin && !m_state.startSkin.empty()) {
        skin::attachSkin(skin::libraryBeside(utf8(m_maker)), m_state.startSkin,
                         reinterpret_cast<void*>(winId()));
    }
    m_settings->showLanguages(m_state.languages, m_state.languageIndex);
    m_explorer->tree()->loadDrives();
    m_settings->showSkins(m_state.skins, m_state.skinIndex);
    if (m_state.skinIndex >= 0) {
        applySkin(m_state.skinIndex);
    }

    showState();
    projectChanged();
    selectTab(6);
    showStartPage();
}

// The boxes into the state: a command reads what the author typed.
void Frmmain::readFields() {
    m_settings->readFields(m_state);
}

// The state into the boxes and lists.
void Frmmain::showState() {
    m_settings->showState(m_state);
    m_pages->showPages(m_state.pages);
    project::ReportProblems(m_state, m_observer);
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

// The list was changed by an entry maker or a companion window: one step of the grid's undo
// history, after which the panel asks for the list to be saved.
void Frmmain::contentsChanged() {
    m_contentsPanel->listChanged();
}

// ---- explorer, page list and preview -------------------------------------------------------

void Frmmain::showExplorerFolder(const QString& folder) {
    if (!isFolder(folder)) {
        return;
    }
    if (CommandGuard::Scope command(*m_guard); command) {
        m_explorer->showFolder(folder);
    }
}

QString Frmmain::explorerFolder() const {
    return m_explorer->folder();
}

// The explorer's folder listed again by a command that wrote into it.
void Frmmain::listExplorer() {
    if (isFolder(m_explorer->folder())) {
        m_explorer->showFolder(m_explorer->folder());
    }
}

void Frmmain::openExplorerEntry(int row) {
    const QString path = m_explorer->entryPath(row);
    if (!path.isEmpty()) {
        openPage(path);
    }
}

void Frmmain::openPageEntry(int row) {
    const QString name = m_pages->entryName(row);
    if (name.isEmpty() || m_state.openFolder.empty()) {
        return;
    }
    openPage(qs(FixPath(m_state.openFolder)) + name);
    if (const int tab = m_pages->tabAfterOpening()) {
        selectTab(tab);
    }
}

// A page in the preview and in the code view, in its own encoding (UTF-8 as well as CP936).
void Frmmain::openPage(const QString& path) {
    m_preview->navigate(path);
    if (auto text = folio::readDecodedText(utf8(path))) {
        QString shown = qs(*text);
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        m_richTextBox1->setExtraSelections({});
        m_richTextBox1->setPlainText(shown);
    }
}

PreviewView* Frmmain::preview() const {
    return m_preview->view();
}

Frmtree* Frmmain::frmtree() const {
    return m_companions->frmtree();
}

void Frmmain::showStartPage() {
    m_preview->showStartPage(qs(m_state.startPage));
}

void Frmmain::selectTab(int tab) {
    m_tabs->select(tab);
    if (tab != 3 || m_starting) {
        return;
    }
    const std::string page = project::ContentsPreviewPage(
        m_state.makerFolder, utf8(m_settings->title()), utf8(m_settings->contentsPage()));
    if (page.empty()) {
        m_preview->showBuiltInPage();
    } else {
        m_preview->navigate(qs(page));
    }
}

int Frmmain::currentTab() const {
    return m_tabs->current();
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
    CommandGuard::Scope command(*m_guard);
    if (!command) {
        return;
    }
    readFields();
    m_state.projectText = utf8(m_settings->projectEntry(index));
    project::SelectProject(m_state, index, m_observer);
    showState();
    projectChanged();
}

void Frmmain::chooseOutFolder() {
    if (const QString folder = chooseFolder(); !folder.isEmpty()) {
        m_settings->setOutPath(folder);
    }
}

void Frmmain::saveSettings() {
    readFields();
    // A failure has been shown, naming the file; the boxes show what the command got to.
    (void)project::SaveSettings(m_state, m_observer);
    showState();
    projectChanged();
}

void Frmmain::pickProjectFolder() {
    const QString folder = chooseFolder();
    if (folder.isEmpty()) {
        return;
    }
    readFields();
    project::PickProjectFolder(m_state, utf8(folder), m_observer);
    showState();
    projectChanged();
}

void Frmmain::createProject() {
    readFields();
    // A failure has been shown, naming the file; the boxes show what the command got to.
    (void)project::CreateProject(m_state, m_observer);
    showState();
    projectChanged();
}

void Frmmain::refreshProject() {
    if (!m_state.openFolder.empty()) {
        readFields();
        project::RefreshProject(m_state, m_observer);
        showState();
    }
}

void Frmmain::renameFiles() {
    FrmReName window(
        this, [this] { return m_explorer->explorerList(); }, m_observer);
    connect(&window, &FrmReName::filesRenamed, this, [this, &window] {
        // Relinking covers the grid too when the renamed pages are the open project's.
        if (window.relinks() &&
            project::FollowRenamedPages(m_contentsFolder, utf8(m_explorer->folder()), m_contents,
                                        window.lastSummary().renamed) > 0) {
            contentsChanged();
        }
        listExplorer();
    });
    window.exec();
}

void Frmmain::convertText() {
    auto done = project::ConvertExplorerText(m_state, m_explorer->explorerList(), m_observer);
    if (done && !done->written.empty()) {
        listExplorer();
    }
}

void Frmmain::convertPages() {
    auto* window = new FrmHtmlToTxt(
        this, [this] { return m_explorer->explorerList(); }, m_observer);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowFlag(Qt::Window);
    connect(window, &FrmHtmlToTxt::filesWritten, this,
            [this] { showExplorerFolder(m_explorer->folder()); });
    window->show();
}

void Frmmain::addHomeEntry() {
    readFields();
    generators::AddHomeEntry(m_state.settings.title, m_contents);
    contentsChanged();
}

void Frmmain::addFolderEntries() {
    if (m_explorer->folder().isEmpty()) {
        return;
    }
    // The folder was listed a moment ago; one gone since adds no entry, as the grid shows.
    (void)generators::AddFolderEntries(utf8(m_explorer->folder()), m_contents, m_observer);
    contentsChanged();
}

void Frmmain::copyFiles() {
    readFields();
    // Each file that cannot be copied has been named; the copied ones are in the page list.
    (void)project::CopyFilesIntoProject(m_state, m_explorer->explorerList(), m_observer);
    showState();
    projectChanged();
    setWindowTitle(projectTitle());
}

void Frmmain::compile() {
    readFields();
    project::CompileRequest request;
    request.selection = m_pages->selection();
    m_settings->readCompileChoices(request);
    request.dateText = utf8(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
    request.checkFirst = [this](const auto& entries) { return checkBeforeCompile(entries); };
    const std::string before = m_state.openFolder;
    auto run = project::CompileProject(m_state, m_contents, request, m_observer);
    if (m_state.openFolder != before) {
        showState();
        projectChanged();
    } else {
        m_pages->showPages(m_state.pages);
    }
    if (run) {
        m_pages->select(run->selected);
    }
    setWindowTitle(projectTitle());
}

void Frmmain::generateContents() {
    readFields();
    showGenerated(project::GenerateContents(m_state, m_contents, m_pages->selection(), m_observer));
}

void Frmmain::generateHomePage() {
    readFields();
    showGenerated(project::GenerateHome(m_state, m_contents, m_pages->selection(), m_observer));
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
        m_pages->showPages(m_state.pages);
        m_pages->select(*run.selected);
    }
}

void Frmmain::saveCodeView() {
    const QString folder = m_maker + QLatin1Char('/') + m_settings->title() + QLatin1Char('/');
    auto saved =
        project::SaveCodeView(utf8(folder), utf8(m_richTextBox1->toPlainText()), m_observer);
    if (saved && *saved) {
        selectTab(2);
        m_observer.messageBox(project::codeViewSavedMessage(**saved), Caption,
                              folio::MessageIcon::Exclamation);
    }
}

void Frmmain::clearCodeView() {
    m_richTextBox1->clear();
    QApplication::clipboard()->clear();
    selectTab(2);
}

void Frmmain::exitAll() {
    m_companions->closeAll();
    close();
}

// ---- skin ----------------------------------------------------------------------------------

void Frmmain::applySkin(int index) {
    const std::string path = m_state.skinPath(index);
    if (path.empty() || !m_options.attachSkin) {
        return;
    }
    skin::attachSkin(skin::libraryBeside(utf8(m_maker)), path, reinterpret_cast<void*>(winId()));
}

// ---- shut-down -----------------------------------------------------------------------------

void Frmmain::closeEvent(QCloseEvent* event) {
    if (m_guard->busy()) {
        // Closing under a running command would pull its state away from it.
        m_guard->refuse();
        event->ignore();
        return;
    }
    readFields();
    saveContents();
    // Shut-down passes over its errors: the window is going, and a Pro.ini that cannot be
    // written keeps the list it had.
    (void)project::ShutDown(m_state);
    event->accept();
}

} // namespace folio::maker
