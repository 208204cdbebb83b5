// The preview (see previewpanel.h): Toolbar1's commands on WebBook, the pane's events that
// the toolbar and the progress bar follow, and the address box.
#include "maker/ui/previewpanel.h"

#include "core/twips.h"
#include "maker/project/workbench.h"
#include "maker/ui/companionsupport.h"
#include "maker/ui/workbenchtoolbars.h"
#include "qt/viewrules.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEnginePage>

namespace folio::maker {

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

PreviewPanel::PreviewPanel(QProgressBar* progress, QWidget* parent) : QWidget(parent) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    buildToolbar();
    v->addWidget(m_toolbar1);
    m_webBook = new PreviewView(this);
    v->addWidget(m_webBook, 1);

    QWebEnginePage* page = m_webBook->page();
    const auto historyChanged = [this] {
        action(PreviewButton::Back)->setEnabled(m_webBook->history()->canGoBack());
        action(PreviewButton::Forward)->setEnabled(m_webBook->history()->canGoForward());
    };
    connect(page, &QWebEnginePage::urlChanged, this, historyChanged);
    connect(page, &QWebEnginePage::loadFinished, this, historyChanged);
    connect(page, &QWebEnginePage::linkHovered, this,
            [this](const QString& url) { m_webBook->setLastStatusText(url); });
    connect(page, &QWebEnginePage::loadProgress, this, [progress = QPointer(progress)](int done) {
        // The page reports percent: a maximum of 100, never a value above it.
        if (progress) {
            progress->setMaximum(100);
            if (done >= 0 && done <= 100) {
                progress->setValue(done);
            }
        }
    });
    historyChanged();
    buildAddressPane();
}

void PreviewPanel::buildToolbar() {
    using S = QStyle;
    m_toolbar1 = makeToolbar(this, 1,
                             {{"后退", S::SP_ArrowBack},
                              {"前进", S::SP_ArrowForward},
                              {"刷新", S::SP_BrowserReload},
                              {"停止", S::SP_BrowserStop},
                              {"首页", S::SP_DirHomeIcon},
                              {nullptr, S::SP_CustomBase},
                              {"放大", S::SP_ArrowUp},
                              {"缩小", S::SP_ArrowDown}});
    const auto on = [this](PreviewButton b, auto slot) {
        connect(action(b), &QAction::triggered, this, slot);
    };
    on(PreviewButton::Back, [this] { m_webBook->back(); });
    on(PreviewButton::Forward, [this] { m_webBook->forward(); });
    on(PreviewButton::Refresh, [this] { m_webBook->reload(); });
    on(PreviewButton::Stop, [this] {
        m_webBook->stop();
        m_webBook->triggerPageAction(QWebEnginePage::Stop);
    });
    on(PreviewButton::Home, [this] { showBuiltInPage(); });
    on(PreviewButton::ZoomIn, [this] { zoomBy(folio::zoomIn); });
    on(PreviewButton::ZoomOut, [this] { zoomBy(folio::zoomOut); });

    // The zoom-in button's drop-down lists the usual sizes and does nothing.
    QAction* zoomIn = action(PreviewButton::ZoomIn);
    auto* menu = new QMenu(this);
    for (const folio::ZoomMenuEntry& e : folio::zoomMenuEntries()) {
        QAction* item = menu->addAction(QString::fromLatin1(e.text));
        item->setObjectName(QString::fromLatin1(e.key));
    }
    zoomIn->setMenu(menu);
    if (auto* button = qobject_cast<QToolButton*>(m_toolbar1->widgetForAction(zoomIn))) {
        button->setPopupMode(QToolButton::MenuButtonPopup);
    }
}

void PreviewPanel::buildAddressPane() {
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
    m_comURL->setMinimumWidth(folio::twipsToPixels(6000));
    row->addWidget(m_comURL, 1);
    v->addLayout(row);
    v->addStretch(1);
    const auto go = [this] {
        const QString text = m_comURL->currentText().trimmed();
        if (!text.isEmpty()) {
            navigate(text);
            emit addressChosen();
        }
    };
    connect(m_comURL, &QComboBox::activated, this, go);
    connect(m_comURL->lineEdit(), &QLineEdit::returnPressed, this, go);
}

QAction* PreviewPanel::action(PreviewButton b) const {
    return buttonAt(m_toolbar1, static_cast<int>(b));
}

void PreviewPanel::navigate(const QString& pathOrUrl) {
    const QFileInfo info(pathOrUrl);
    if (info.isAbsolute() && info.exists()) {
        m_webBook->load(QUrl::fromLocalFile(info.absoluteFilePath()));
    } else {
        m_webBook->load(QUrl::fromUserInput(pathOrUrl));
    }
}

void PreviewPanel::showBuiltInPage() {
    m_webBook->setHtml(qs(folio::project::MakerAboutPage()), QUrl(QStringLiteral("about:blank")));
}

void PreviewPanel::showStartPage(const QString& path) {
    if (path.isEmpty()) {
        showBuiltInPage();
    } else {
        m_webBook->load(QUrl::fromLocalFile(path));
    }
}

void PreviewPanel::zoomBy(int (*step)(int)) {
    m_zoomLevel = step(m_zoomLevel);
    folio::qt::ApplyZoom(m_webBook->page(), m_zoomLevel);
}

} // namespace folio::maker
