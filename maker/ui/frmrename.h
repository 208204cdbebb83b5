// FrmReName, "批量改名": renames the selected files of the explorer after their first line,
// their TITLE/H1/H2 text, or their own name cleaned of punctuation.
#pragma once

#include "core/observer.h"
#include "maker/ui/companionsupport.h"

#include <QDialog>

#include <memory>

class QCheckBox;
class QPushButton;
class QRadioButton;

namespace folio::generators {
struct RenameSummary;
}

namespace folio::maker {

class FrmReName : public QDialog {
    Q_OBJECT
  public:
    // A modal window; `observer` asks the warning question and shows the progress.
    FrmReName(QWidget* parent, ExplorerSource explorer, folio::Observer& observer);
    ~FrmReName() override;

    // The chosen option: 0 first line, 1 TITLE, 2 H1, 3 H2, 4 symbols removed from the name.
    // (The rename routine's own choice type shares its name with the contents builder's, so
    // it stays out of this header.)
    int titleSource() const;
    void setTitleSource(int option);

    // CheckRelink: the links of the folder's pages follow the new names.
    bool relinks() const;
    void setRelinks(bool relink);

    // "批量改名" as a click would run it; the window stays open. With CheckRelink ticked, what
    // became of the links is shown in one message afterwards.
    void renameFiles();

    const folio::generators::RenameSummary& lastSummary() const { return *m_summary; }

  signals:
    // Files were renamed in the explorer folder.
    void filesRenamed();

  private:
    ExplorerSource m_explorer;
    folio::Observer& m_observer;
    std::unique_ptr<folio::generators::RenameSummary> m_summary;
    bool m_running = false;

    QRadioButton* m_options[5] = {};
    QCheckBox* m_checkRelink = nullptr;
    QPushButton* m_command1 = nullptr;
};

} // namespace folio::maker
