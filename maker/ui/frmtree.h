// Frmtree, "目录管理": adds one contents entry per page selected in the explorer, its caption
// taken from the file name, the first line, the page's TITLE/H1/H2 or typed by the author.
#pragma once

#include "core/observer.h"
#include "maker/generators/contents.h"
#include "maker/generators/contentsedit.h"
#include "maker/generators/contentslist.h"
#include "maker/ui/companionsupport.h"

#include <QWidget>

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace folio::maker {

class Frmtree : public QWidget {
    Q_OBJECT
  public:
    // A top-level window working on `contents`; `explorer` is read when "生成" is pressed;
    // `observer` is the workbench's (its progress bar shows the run).
    Frmtree(QWidget* parent, folio::generators::ContentsList& contents, ExplorerSource explorer,
            folio::Observer& observer);

    // The grid click: the clicked entry becomes the parent of the next entries.
    void setParentEntry(const QString& id, const QString& caption);
    // The list was numbered afresh: the parent box follows its entry, or, when that entry is
    // gone, goes back to the top level ("-1").
    void followRenumbering(const folio::generators::Renumbering& ids);

    folio::generators::TitleSource titleSource() const;
    void setTitleSource(folio::generators::TitleSource source);

    const folio::generators::BuildSummary& lastSummary() const { return m_summary; }

    // "生成" as a click would run it.
    void generate();

  signals:
    // Rows were added to the contents list.
    void contentsChanged();

  private:
    folio::generators::ContentsList& m_contents;
    ExplorerSource m_explorer;
    folio::Observer& m_observer;
    folio::generators::BuildSummary m_summary;
    bool m_running = false;

    QLineEdit* m_txtSID = nullptr;
    QLineEdit* m_txtTitle = nullptr;
    QLineEdit* m_txtURL = nullptr;
    QRadioButton* m_options[6] = {};
    QPushButton* m_command1 = nullptr;
    QPushButton* m_command3 = nullptr;
};

} // namespace folio::maker
