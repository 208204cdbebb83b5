// The workbench's toolbars (see workbenchtoolbars.h).
#include "maker/ui/workbenchtoolbars.h"

#include <QAction>
#include <QToolBar>
#include <QWidget>

namespace folio::maker {

QToolBar* makeToolbar(const QWidget* styleFrom, int number,
                      std::initializer_list<ToolButton> buttons) {
    auto* bar = new QToolBar;
    bar->setObjectName(QStringLiteral("Toolbar%1").arg(number));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->setIconSize(QSize(20, 20));
    for (const ToolButton& b : buttons) {
        if (!b.caption) {
            bar->addSeparator();
            continue;
        }
        QAction* a =
            bar->addAction(styleFrom->style()->standardIcon(b.icon), QString::fromUtf8(b.caption));
        if (!*b.caption) {
            a->setToolTip(QString::fromUtf8("选择文件"));
        }
    }
    return bar;
}

QAction* buttonAt(const QToolBar* bar, int position) {
    return bar ? bar->actions().value(position - 1) : nullptr;
}

WorkbenchToolbars::WorkbenchToolbars(const QWidget* window) {
    using S = QStyle;
    m_bars[2] = makeToolbar(window, 2,
                            {{"生成数据", S::SP_FileDialogListView},
                             {"生成目录", S::SP_FileDialogDetailedView},
                             {nullptr, S::SP_CustomBase},
                             {nullptr, S::SP_CustomBase},
                             {"", S::SP_DialogApplyButton}});
    m_bars[3] = makeToolbar(window, 3,
                            {{"选择文件", S::SP_DialogApplyButton},
                             {"批量改名", S::SP_FileDialogContentsView},
                             {"整理HTML", S::SP_FileDialogInfoView},
                             {"TxtToHtml", S::SP_FileIcon},
                             {"HtmlToTxt", S::SP_FileLinkIcon},
                             {"创建索引", S::SP_FileDialogStart},
                             {"生成父目录", S::SP_DirIcon}});
    m_bars[4] = makeToolbar(window, 4,
                            {{"复制文件", S::SP_DialogSaveButton},
                             {"编译文件", S::SP_ComputerIcon},
                             {nullptr, S::SP_CustomBase},
                             {nullptr, S::SP_CustomBase},
                             {"", S::SP_DialogApplyButton},
                             {"检查", S::SP_FileDialogContentsView}});
    m_bars[6] = makeToolbar(window, 6,
                            {{"复制", S::SP_FileLinkIcon},
                             {"粘贴", S::SP_FileIcon},
                             {"清空", S::SP_DialogResetButton},
                             {"保存", S::SP_DialogSaveButton},
                             {"关于", S::SP_MessageBoxInformation},
                             {"退出", S::SP_DialogCloseButton}});
}

QToolBar* WorkbenchToolbars::toolbar(int number) const {
    return number == 2 || number == 3 || number == 4 || number == 6 ? m_bars[number] : nullptr;
}

} // namespace folio::maker
