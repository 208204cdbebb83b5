// Frmmain, "folioMake": the maker's main window — the project settings, the explorer and page
// lists, the preview, the code view, the contents grid and the toolbars that start the
// generators, the compiler and the fetcher.
#pragma once

#include "maker/generators/contentslist.h"
#include "maker/project/contentscommands.h"
#include "maker/project/workbench.h"
#include "maker/ui/companionsupport.h"
#include "qt/windowobserver.h"

#include <QPointer>
#include <QWebEngineView>
#include <QWidget>

#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSplitter;
class QStackedWidget;
class QTabBar;
class QTableView;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace folio::maker {

class ContentsPanel;
class DriveTree;
class FrmDownLoad;
class FrmGetURL;
class FrmHomePage;
class FrmSel;
class Frmtree;
class IconChooser;
class frmAbout;

// The preview: a browser pane that remembers the last status text and turns every request for
// a new window into a navigation of itself to that text.
class PreviewView : public QWebEngineView {
    Q_OBJECT
  public:
    explicit PreviewView(QWidget* parent);
    const QString& lastStatusText() const { return m_status; }
    void setLastStatusText(const QString& text) { m_status = text; }

  protected:
    QWebEngineView* createWindow(QWebEnginePage::WebWindowType type) override;

  private:
    QString m_status;
};

struct FrmmainOptions {
    QString makerFolder;                // empty: the program's own folder
    folio::Observer* dialogs = nullptr; // null: the real boxes and dialogs (tests answer them)
    bool attachSkin = true;
    // The folder picker titled "选择这个文件夹："; empty: QFileDialog.
    std::function<QString(QWidget* parent, const QString& title)> chooseFolder;
    FileChooser chooseFile; // for the icon chooser and the cover chooser
};

class Frmmain : public QWidget {
    Q_OBJECT
  public:
    explicit Frmmain(FrmmainOptions options = {}, QWidget* parent = nullptr);
    ~Frmmain() override;

    static constexpr const char* Caption = "folioMake";

    const folio::project::MakerState& state() const { return m_state; }
    folio::generators::ContentsList& contents() { return m_contents; }
    folio::Observer& observer() { return m_observer; }
    int zoomLevel() const { return m_zoomLevel; }
    bool isBusy() const { return m_busy; }
    int refusedCommands() const { return m_refused; }
    QString explorerFolder() const { return m_file1; }
    PreviewView* preview() const { return m_webBook; }

    // The toolbars' buttons by position (1-based, separators counted), as a click runs them.
    void clickToolbar(int toolbar, int position);
    // Commands of the settings panel and the page list (Command1 .. Command8).
    void clickCommand(int number);
    // The explorer: points File1 at a folder and fills List1 (as a tree-node click does).
    void showExplorerFolder(const QString& folder);
    // The project chooser's selection.
    void selectProject(int index);
    // The tab strip (1-based tab numbers).
    void selectTab(int tab);
    int currentTab() const;
    // Double-clicks of the explorer list and the page list.
    void openExplorerEntry(int row);
    void openPageEntry(int row);
    // A grid click on list row `row` (the blank row included).
    void clickGridRow(int row);
    // The contents pane: Toolbar5, the grid and its commands, the link lists.
    ContentsPanel* contentsPanel() const { return m_contentsPanel; }
    // A click on List3 / List4 (the other list follows).
    void clickLinkText(int row);
    void clickLinkTarget(int row);
    // The link lists' contents (what the link analysis found).
    void setLinks(const QStringList& texts, const QStringList& targets);
    // The explorer list as the generators are given it.
    folio::generators::ExplorerList explorerList() const;
    Frmtree* frmtree() const;

  signals:
    // A command was refused because another was still running.
    void commandRefused();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    class Busy;
    bool beginCommand();
    void endCommand();

    void buildWindow();
    void buildToolbars();
    QWidget* buildSettingsPanel();
    QWidget* buildContentsPane();
    QWidget* buildPreviewPane();
    QWidget* buildAddressPanel();
    QWidget* buildPageList();

    void startUp();
    void readFields();
    void showState();
    void projectChanged();
    void saveContents();
    void contentsChangedByWindow();

    void showBuiltInPage();
    void showStartPage();
    void applyZoomLevel();
    void loadIntoCodeView(const QString& path);
    void navigatePreview(const QString& pathOrUrl);
    QString chooseFolder();

    void toolbar1(int position);
    void toolbar2(int position);
    void toolbar3(int position);
    void toolbar4(int position);
    void toolbar6(int position);
    void copyFiles();
    void compile();
    folio::project::PageSelection pageSelection() const;
    void selectPages(const std::vector<bool>& selected);
    void showPageList();
    void generateContents();
    void generateHomePage();
    void showGenerated(const folio::project::GenerateRun& run);
    void saveCodeView();
    void showFrmSel(bool modal);
    void showFrmtree();
    void showGetUrl();
    void showDownload();
    void showHomePage();
    void applyLanguage(const QString& name);
    void applySkin(int index);
    int gridCurrentRow() const;
    void gridRowClicked(int row);
    Frmtree* ensureFrmtree();

    FrmmainOptions m_options;
    QString m_maker;
    folio::project::MakerState m_state;
    folio::generators::ContentsList m_contents;
    folio::qt::WindowObserver m_observer;
    int m_zoomLevel = 100;
    bool m_busy = false;
    int m_refused = 0;
    bool m_starting = true;
    QString m_file1;              // the explorer's folder
    std::string m_contentsFolder; // the project the contents list is kept in

    // Settings panel.
    QLineEdit* m_txtTitle = nullptr;
    QLineEdit* m_txtindex = nullptr;
    QLineEdit* m_txtTree = nullptr;
    QLineEdit* m_txtOutPath = nullptr;
    QLineEdit* m_txtoutFile = nullptr;
    QLineEdit* m_txtAuthor = nullptr;
    QLineEdit* m_txtURL = nullptr;
    QLineEdit* m_txtupdate = nullptr;
    QLineEdit* m_txtonline = nullptr;
    QLineEdit* m_txtad = nullptr;
    QComboBox* m_comProPath = nullptr;
    QLineEdit* m_txtTag = nullptr;
    QPlainTextEdit* m_homePageTag = nullptr;
    QComboBox* m_combo1 = nullptr;
    QComboBox* m_combo2 = nullptr;
    QLineEdit* m_txtIconPath = nullptr;
    QCheckBox* m_check[5] = {};
    QPushButton* m_command[9] = {};
    QRadioButton* m_option[4] = {};
    IconChooser* m_iconChooser = nullptr;

    // Window.
    QToolBar* m_toolbar[7] = {};
    QAction* m_zoomMenuButton = nullptr;
    QTabBar* m_tabStrip1 = nullptr;
    QStackedWidget* m_panes = nullptr;
    ContentsPanel* m_contentsPanel = nullptr;
    QListWidget* m_list1 = nullptr;
    QListWidget* m_list2 = nullptr;
    DriveTree* m_treeView1 = nullptr;
    PreviewView* m_webBook = nullptr;
    QPlainTextEdit* m_richTextBox1 = nullptr;
    QComboBox* m_comURL = nullptr;
    QProgressBar* m_progressBar1 = nullptr;
    QSplitter* m_pic = nullptr;
    QWidget* m_gridPane = nullptr;
    QWidget* m_previewPane = nullptr;
    QWidget* m_picGetURL = nullptr;
    QWidget* m_picSet = nullptr;

    // Companion windows, made when first wanted.
    QPointer<Frmtree> m_frmtree;
    QPointer<FrmSel> m_frmSel;
    QPointer<frmAbout> m_about;
    QPointer<FrmGetURL> m_getUrl;
    QPointer<FrmDownLoad> m_download;
    QPointer<FrmHomePage> m_homePage;
};

} // namespace folio::maker
