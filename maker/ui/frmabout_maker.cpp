// The workbench's about box (see frmabout_maker.h).
#include "maker/ui/frmabout_maker.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace folio::maker {

frmAbout::frmAbout(QWidget* parent, const QString& appTitle, const QString& version)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("关于 ") + appTitle);

    m_title = new QLabel(appTitle, this);
    m_title->setObjectName(QStringLiteral("lblTitle"));
    QFont big = m_title->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    m_title->setFont(big);

    m_version = new QLabel(QStringLiteral("版本 ") + version, this);
    m_version->setObjectName(QStringLiteral("lblVersion"));

    auto* description = new QLabel(
        QStringLiteral("电子书制作工作台：收集网页、生成目录页和首页、文本与网页互相转换、"
                       "按标题批量改名、下载网络章节，最后把整个文件夹编译成一个电子书程序。"),
        this);
    description->setObjectName(QStringLiteral("lblDescription"));
    description->setWordWrap(true);

    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addWidget(m_version);
    layout->addWidget(description);
    layout->addStretch();
    layout->addLayout(buttons);
    resize(400, 210);
}

} // namespace folio::maker
