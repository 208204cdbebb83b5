// The workbench's companion windows (see workbenchcompanions.h).
#include "maker/ui/workbenchcompanions.h"

#include "maker/project/gridtoolbar.h"
#include "maker/project/workbench.h"
#include "maker/ui/contentspanel.h"
#include "maker/ui/explorerpanel.h"
#include "maker/ui/frmabout_maker.h"
#include "maker/ui/frmdownload_maker.h"
#include "maker/ui/frmgeturl.h"
#include "maker/ui/frmhomepage.h"
#include "maker/ui/frmsel.h"
#include "maker/ui/frmtree.h"
#include "maker/ui/previewpanel.h"

#include <QCoreApplication>
#include <QListWidget>

namespace folio::maker {

WorkbenchCompanions::WorkbenchCompanions(QWidget* window, Inputs in)
    : QObject(window), m_window(window), m_in(std::move(in)) {
    ContentsPanel* grid = m_in.grid;
    connect(grid, &ContentsPanel::rowClicked, this, &WorkbenchCompanions::gridRowClicked);
    connect(grid, &ContentsPanel::currentRowMoved, this, [this](int row) {
        if (m_homePage) {
            m_homePage->setRow(row);
        }
    });
    connect(grid, &ContentsPanel::entriesRenumbered, this,
            [this](const folio::generators::Renumbering& ids) {
                if (m_frmtree) {
                    m_frmtree->followRenumbering(ids);
                }
            });
    connect(grid, &ContentsPanel::designHomePageRequested, this,
            &WorkbenchCompanions::showHomePage);
    connect(grid, &ContentsPanel::analyseAddressRequested, this, &WorkbenchCompanions::showGetUrl);
    connect(grid, &ContentsPanel::downloadRequested, this, &WorkbenchCompanions::showDownload);
}

Frmtree* WorkbenchCompanions::frmtree() const {
    return m_frmtree;
}

Frmtree* WorkbenchCompanions::ensureFrmtree() {
    if (!m_frmtree) {
        ExplorerPanel* explorer = m_in.explorer;
        m_frmtree = new Frmtree(
            m_window, *m_in.contents, [explorer] { return explorer->explorerList(); },
            *m_in.observer);
        m_frmtree->setWindowFlag(Qt::Window);
        connect(m_frmtree, &Frmtree::contentsChanged, this, &WorkbenchCompanions::contentsChanged);
    }
    return m_frmtree;
}

void WorkbenchCompanions::showFrmtree() {
    ensureFrmtree()->show();
    m_frmtree->raise();
}

void WorkbenchCompanions::showFrmSel(bool modal) {
    QListWidget* list1 = m_in.explorer->list();
    if (!m_frmSel) {
        m_frmSel = new FrmSel(m_window, utf8(m_in.makerFolder), list1);
    }
    m_frmSel->setExplorer(list1);
    if (modal) {
        m_frmSel->exec();
    } else {
        m_frmSel->show();
        m_frmSel->raise();
    }
}

void WorkbenchCompanions::gridRowClicked(int row) {
    const folio::project::GridPick pick = folio::project::gridClick(*m_in.contents, row);
    ensureFrmtree()->setParentEntry(qs(pick.sid), qs(pick.title));
    if (m_homePage) {
        m_homePage->setRow(row);
    }
}

void WorkbenchCompanions::showHomePage() {
    if (!m_homePage) {
        m_homePage =
            new FrmHomePage(m_window, *m_in.contents, m_in.grid->currentRow(), m_in.chooseFile);
        m_homePage->setWindowFlag(Qt::Window);
        connect(m_homePage, &FrmHomePage::contentsChanged, this,
                &WorkbenchCompanions::contentsChanged);
    } else {
        m_homePage->setRow(m_in.grid->currentRow());
    }
    m_homePage->show();
    m_homePage->raise();
}

void WorkbenchCompanions::showGetUrl() {
    if (!m_getUrl) {
        m_getUrl = new FrmGetURL(m_window, m_in.preview->page(), *m_in.observer);
        m_getUrl->setWindowFlag(Qt::Window);
        connect(m_getUrl, &FrmGetURL::linksFound, m_in.grid, &ContentsPanel::setLinks);
    }
    m_getUrl->show();
    m_getUrl->raise();
}

void WorkbenchCompanions::showDownload() {
    if (!m_download) {
        ContentsPanel* grid = m_in.grid;
        FrmDownLoadInputs in;
        in.contents = m_in.contents;
        in.links = [grid] { return grid->links(); };
        in.currentRow = [grid] { return grid->currentRow(); };
        in.projectFolder = m_in.projectFolder;
        in.makerFolder = utf8(m_in.makerFolder);
        m_download = new FrmDownLoad(m_window, std::move(in), *m_in.observer);
        m_download->setWindowFlag(Qt::Window);
        connect(m_download, &FrmDownLoad::contentsChanged, this,
                &WorkbenchCompanions::contentsChanged);
    }
    m_download->show();
    m_download->raise();
}

void WorkbenchCompanions::showAbout() {
    if (!m_about) {
        m_about = new frmAbout(m_window, QString::fromUtf8(folio::project::WorkbenchTitle),
                               QCoreApplication::applicationVersion());
        m_about->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_about->show();
    m_about->raise();
}

void WorkbenchCompanions::closeAll() {
    for (QWidget* w : std::initializer_list<QWidget*>{m_about, m_frmSel, m_frmtree}) {
        if (w) {
            w->close();
        }
    }
}

} // namespace folio::maker
