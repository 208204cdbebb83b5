// The about box (see frmabout.h).
#include "reader/ui/frmabout.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace folio::readerui {

frmAbout::frmAbout(QWidget* parent, const QString& appTitle, const QString& version)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("关于 ") + appTitle);
    setModal(true);

    m_title = new QLabel(appTitle, this);
    m_title->setObjectName(QStringLiteral("lblTitle"));
    QFont big = m_title->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    m_title->setFont(big);

    m_version = new QLabel(QStringLiteral("版本 ") + version, this);
    m_version->setObjectName(QStringLiteral("lblVersion"));

    auto* description = new QLabel(
        QStringLiteral("把一个文件夹的网页制作成一个电子书程序，并阅读这样的电子书：目录、翻页、"
                       "缩放、查找、书签、全屏阅读和语音朗读。"),
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
    resize(380, 200);
}

} // namespace folio::readerui
