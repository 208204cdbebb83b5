// The workbench's contents pane: the grid toolbar Toolbar5, the contents list grid
// MSFlexGrid1 with the commands that put the list in order (delete, move, indent, outdent,
// undo), and the link lists List3 / List4 that the link analysis fills.
#pragma once

#include "maker/generators/contentsedit.h"
#include "maker/generators/contentslist.h"
#include "maker/ui/companionsupport.h"

#include <QWidget>

#include <string>
#include <vector>

class QAction;
class QListWidget;
class QPushButton;
class QSplitter;
class QTableView;
class QToolBar;

namespace folio::qt {
class WindowObserver;
}

namespace folio::maker {

class ContentsGridModel;

// Toolbar5's buttons by position (see workbenchtoolbars.h).
enum class GridButton {
    ClearContents = 1,
    DesignHomePage = 2,
    GenerateHomePage = 3,
    AnalyseAddress = 4,
    Download = 5,
    CopyLinks = 6,
};

class ContentsPanel : public QWidget {
    Q_OBJECT
  public:
    // Works on `list`, the workbench's; questions and messages go through `observer`.
    ContentsPanel(folio::generators::ContentsList& list, folio::qt::WindowObserver& observer,
                  QWidget* parent = nullptr);

    QToolBar* toolbar() const { return m_toolbar5; }
    QTableView* grid() const { return m_grid; }
    // The splitter Pic3 between the grid and the link lists.
    QSplitter* splitter() const { return m_pic3; }

    QAction* action(GridButton b) const;

    // The grid's own commands, on its selected rows (buttons and keys alike).
    enum class Command { Delete, MoveUp, MoveDown, Indent, Outdent, Undo };
    void run(Command command);

    // Rows are list rows: 1 is the first entry, rowCount() - 1 the blank row.
    int currentRow() const; // 1 when the grid has no current row
    std::vector<int> selectedRows() const;
    void selectRows(const std::vector<int>& rows); // the first becomes the current row
    // A click on a row: it becomes the current (and only selected) row.
    void clickGridRow(int row);

    // The link lists.
    void setLinks(const QStringList& texts, const QStringList& targets);
    LinkSelection links() const;
    void clickLinkText(int row);
    void clickLinkTarget(int row);

    // The list was changed outside the grid (an entry maker, a companion window): shown
    // afresh and kept as one step of the undo history.
    void listChanged(const std::string& what = {});
    // Another list was put in place (another project): shown afresh, nothing to undo.
    void listReplaced();
    const folio::generators::ContentsHistory& history() const { return m_history; }

  signals:
    // The list changed and should be saved.
    void contentsEdited();
    // A row was clicked: the builder's parent and the card editor follow it.
    void rowClicked(int row);
    // An edit moved the current row's entry (or took it away): the card editor follows.
    void currentRowMoved(int row);
    // An edit numbered the entries afresh: old number -> new number of every entry kept.
    void entriesRenumbered(const folio::generators::Renumbering& ids);
    // Toolbar5's buttons 2 to 5, which open the workbench's windows and pages.
    void designHomePageRequested();
    void generateHomePageRequested();
    void analyseAddressRequested();
    void downloadRequested();

  private:
    void buildToolbar();
    QWidget* buildCommands();
    void clearContents();
    void copyLinks();
    void undo();
    void edited(const std::string& what, const folio::generators::EditOutcome& outcome);
    void refused(const folio::generators::Refusal& refusal);
    void updateCommands();

    folio::generators::ContentsList& m_list;
    folio::qt::WindowObserver& m_observer;
    folio::generators::ContentsHistory m_history;

    QToolBar* m_toolbar5 = nullptr;
    QTableView* m_grid = nullptr;
    ContentsGridModel* m_model = nullptr;
    QListWidget* m_list3 = nullptr;
    QListWidget* m_list4 = nullptr;
    QSplitter* m_pic3 = nullptr;
    QPushButton* m_commands[6] = {};
};

} // namespace folio::maker
