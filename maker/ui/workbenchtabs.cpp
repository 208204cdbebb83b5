// The tab strip and its panes (see workbenchtabs.h).
#include "maker/ui/workbenchtabs.h"

#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

namespace folio::maker {

namespace {

// The panes in the stack, and the one each tab brings to the front: "目录" the grid, "浏览" and
// "目录预览" the preview, "代码" the code view, "分析网址" the address panel, "工程设置" the
// settings.
enum Pane { GridPane, PreviewPane, CodePane, AddressPane, SettingsPane };
constexpr Pane PaneOfTab[] = {GridPane, GridPane,    PreviewPane, PreviewPane,
                              CodePane, AddressPane, SettingsPane};

} // namespace

WorkbenchTabs::WorkbenchTabs(QWidget* grid, QWidget* preview, QWidget* code, QWidget* address,
                             QWidget* settings, QWidget* parent)
    : QWidget(parent) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    m_tabStrip1 = new QTabBar;
    m_tabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    for (const char* caption : {"目录", "浏览", "目录预览", "代码", "分析网址", "工程设置"}) {
        m_tabStrip1->addTab(QString::fromUtf8(caption));
    }
    m_panes = new QStackedWidget;
    for (QWidget* pane : {grid, preview, code, address, settings}) {
        m_panes->addWidget(pane);
    }
    v->addWidget(m_tabStrip1);
    v->addWidget(m_panes, 1);
    connect(m_tabStrip1, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index >= 0) {
            emit tabClicked(index + 1);
        }
    });
}

void WorkbenchTabs::select(int tab) {
    if (tab < 1 || tab > 6) {
        return;
    }
    {
        const QSignalBlocker block(m_tabStrip1);
        m_tabStrip1->setCurrentIndex(tab - 1);
    }
    m_panes->setCurrentIndex(PaneOfTab[tab]);
}

int WorkbenchTabs::current() const {
    return m_tabStrip1->currentIndex() + 1;
}

} // namespace folio::maker
