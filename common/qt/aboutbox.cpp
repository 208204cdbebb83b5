// The about box (see aboutbox.h).
#include "qt/aboutbox.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace folio::qt {

AboutBox::AboutBox(QWidget* parent, const QString& appTitle, const QString& version,
                   const QString& description, QSize size)
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

    auto* text = new QLabel(description, this);
    text->setObjectName(QStringLiteral("lblDescription"));
    text->setWordWrap(true);

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
    layout->addWidget(text);
    layout->addStretch();
    layout->addLayout(buttons);
    resize(size);
}

} // namespace folio::qt
