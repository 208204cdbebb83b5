// Frmmain, "folioMake": the maker's main window. Its parts live in classes of their own:
// SettingsPanel (PicSet), ExplorerPanel (TreeView1 and List1), PageListPanel (List2),
// ContentsPanel (Toolbar5 and the grid), PreviewPanel (Toolbar1, WebBook and PicGetURL),
// WorkbenchTabs (TabStrip1 and its panes), WorkbenchToolbars (named buttons) and
// WorkbenchCompanions (the companion windows); the window lays them out and runs their commands
// through the routines of maker/project.
#pragma once

#include "maker/generators/contentslist.h"
#include "maker/project/contentscommands.h"
#include "maker/project/workbench.h"
#include "maker/ui/companionsupport.h"
#include "maker/ui/workbenchtoolbars.h"
#include "qt/windowobserver.h"

#include <QWidget>

#include <functional>
#include <memory>

class QPlainTextEdit;
class QProgressBar;

namespace folio::check {
struct CheckReport;
}

namespace folio::maker {

class CommandGuard;
class ContentsPanel;
class ExplorerPanel;
class FrmCheck;
class Frmtree;
class PageListPanel;
class PreviewPanel;
class PreviewView;
class SettingsPanel;
class WorkbenchCompanions;
class WorkbenchTabs;

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
    // One command at a time: whether one runs, and how many clicks it refused.
    CommandGuard* commands() const { return m_guard; }

    // The parts, for what hooks into the window.
    const WorkbenchToolbars& toolbars() const { return m_toolbars; }
    SettingsPanel* settingsPanel() const { return m_settings; }
    ExplorerPanel* explorer() const { return m_explorer; }
    PageListPanel* pageList() const { return m_pages; }
    ContentsPanel* contentsPanel() const { return m_contentsPanel; }
    PreviewPanel* previewPanel() const { return m_preview; }
    PreviewView* preview() const;
    WorkbenchCompanions* companions() const { return m_companions; }
    Frmtree* frmtree() const;
    FrmCheck* frmCheck() const { return m_frmCheck; }

    // The explorer: points File1 at a folder and fills List1 (as a tree-node click does).
    void showExplorerFolder(const QString& folder);
    QString explorerFolder() const;
    // The project chooser's selection.
    void selectProject(int index);
    // The tab strip (1-based tab numbers).
    void selectTab(int tab);
    int currentTab() const;
    // Double-clicks of the explorer list and the page list.
    void openExplorerEntry(int row);
    void openPageEntry(int row);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildWindow();
    void connectParts();
    void startUp();
    void readFields();
    void showState();
    void projectChanged();
    void saveContents();
    void contentsChanged();

    void openPage(const QString& path);
    void showStartPage();
    QString chooseFolder();
    void listExplorer();

    void chooseOutFolder();
    void saveSettings();
    void pickProjectFolder();
    void createProject();
    void refreshProject();
    void renameFiles();
    void convertText();
    void convertPages();
    void addHomeEntry();
    void addFolderEntries();
    void copyFiles();
    void compile();
    // "检查" and the compile's check (frmmain_check.cpp): the findings in FrmCheck, and a
    // finding's file shown in the code view at its line.
    void checkProject();
    bool checkBeforeCompile(const std::vector<std::string>& entries);
    void showCheckReport(const folio::check::CheckReport& report);
    void openAtLine(const QString& path, int line);
    void generateContents();
    void generateHomePage();
    void showGenerated(const folio::project::GenerateRun& run);
    void saveCodeView();
    void clearCodeView();
    void exitAll();
    void applySkin(int index);

    FrmmainOptions m_options;
    QString m_maker;
    folio::project::MakerState m_state;
    folio::generators::ContentsList m_contents;
    folio::qt::WindowObserver m_observer;
    CommandGuard* m_guard = nullptr;
    bool m_starting = true;
    std::string m_contentsFolder; // the project the contents list is kept in

    WorkbenchToolbars m_toolbars;
    SettingsPanel* m_settings = nullptr;
    ExplorerPanel* m_explorer = nullptr;
    PageListPanel* m_pages = nullptr;
    ContentsPanel* m_contentsPanel = nullptr;
    PreviewPanel* m_preview = nullptr;
    WorkbenchTabs* m_tabs = nullptr;
    QPlainTextEdit* m_richTextBox1 = nullptr;
    QProgressBar* m_progressBar1 = nullptr;
    WorkbenchCompanions* m_companions = nullptr;
    FrmCheck* m_frmCheck = nullptr;
};

} // namespace folio::maker
