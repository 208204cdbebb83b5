// The workbench's companion windows, each made when first wanted and then kept: the builder
// Frmtree, the file selection FrmSel, the card editor FrmHomePage, the link analysis FrmGetURL,
// the fetcher FrmDownLoad and the about box. They work on the workbench's contents list and
// follow its grid.
#pragma once

#include "core/observer.h"
#include "maker/generators/contentslist.h"
#include "maker/ui/companionsupport.h"

#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;

namespace folio::maker {

class ContentsPanel;
class ExplorerPanel;
class FrmDownLoad;
class FrmGetURL;
class FrmHomePage;
class FrmSel;
class Frmtree;
class PreviewView;
class frmAbout;

class WorkbenchCompanions : public QObject {
    Q_OBJECT
  public:
    struct Inputs {
        folio::generators::ContentsList* contents = nullptr;
        QString makerFolder;
        ExplorerPanel* explorer = nullptr;      // its list and selection
        ContentsPanel* grid = nullptr;          // the link lists, the current row, the clicks
        PreviewView* preview = nullptr;         // the page the link analysis reads
        std::function<QString()> projectFolder; // maker/<TxtTitle>
        FileChooser chooseFile;
        folio::Observer* observer = nullptr;
    };
    // The windows are children of `window`.
    WorkbenchCompanions(QWidget* window, Inputs in);

    Frmtree* frmtree() const;
    // The builder, made (not shown) when first wanted.
    Frmtree* ensureFrmtree();
    void showFrmtree();
    void showFrmSel(bool modal);
    void showHomePage();
    void showGetUrl();
    void showDownload();
    void showAbout();
    // "退出": the about box, FrmSel and Frmtree go with the main window.
    void closeAll();

  signals:
    // A companion changed the contents list.
    void contentsChanged();

  private:
    // A grid click: the clicked entry becomes the builder's parent and the card editor's row.
    void gridRowClicked(int row);

    QWidget* m_window;
    Inputs m_in;
    QPointer<Frmtree> m_frmtree;
    QPointer<FrmSel> m_frmSel;
    QPointer<frmAbout> m_about;
    QPointer<FrmGetURL> m_getUrl;
    QPointer<FrmDownLoad> m_download;
    QPointer<FrmHomePage> m_homePage;
};

} // namespace folio::maker
