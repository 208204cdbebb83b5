// The check's report window (see frmcheck.h).
#include "maker/ui/frmcheck.h"

#include "qt/uitext.h"

#include <QHeaderView>
#include <QLabel>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace folio::maker {

using folio::qt::qs;

namespace {

const char* severityCaption(check::Severity s) {
    switch (s) {
    case check::Severity::Error:
        return "错误";
    case check::Severity::Warning:
        return "警告";
    case check::Severity::Note:
        break;
    }
    return "提示";
}

} // namespace

FrmCheck::FrmCheck(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("FrmCheck"));
    setWindowTitle(QStringLiteral("检查"));
    resize(900, 420);
    auto* layout = new QVBoxLayout(this);
    m_summary = new QLabel;
    m_summary->setObjectName(QStringLiteral("LabelCheck"));
    layout->addWidget(m_summary);
    m_list = new QTreeWidget;
    m_list->setObjectName(QStringLiteral("ListCheck"));
    m_list->setRootIsDecorated(false);
    m_list->setAlternatingRowColors(true);
    m_list->setHeaderLabels({QStringLiteral("级别"), QStringLiteral("文件"), QStringLiteral("行"),
                             QStringLiteral("信息")});
    m_list->header()->setStretchLastSection(true);
    m_list->setColumnWidth(0, 60);
    m_list->setColumnWidth(1, 160);
    m_list->setColumnWidth(2, 60);
    layout->addWidget(m_list);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) {
        emit openAt(m_folder + QLatin1Char('/') + item->text(1), item->text(2).toInt());
    });
}

void FrmCheck::showReport(const check::CheckReport& report, const QString& folder) {
    m_folder = folder;
    m_list->clear();
    const QIcon icons[] = {style()->standardIcon(QStyle::SP_MessageBoxCritical),
                           style()->standardIcon(QStyle::SP_MessageBoxWarning),
                           style()->standardIcon(QStyle::SP_MessageBoxInformation)};
    for (const check::Finding& f : report.findings) {
        auto* item = new QTreeWidgetItem(
            {QString::fromUtf8(severityCaption(f.severity)), qs(f.file), QString::number(f.line),
             qs(f.message) + QStringLiteral("  [") + qs(f.code) + QLatin1Char(']')});
        item->setIcon(0, icons[static_cast<int>(f.severity)]);
        item->setToolTip(3, qs(f.message));
        m_list->addTopLevelItem(item);
    }
    const int notes =
        static_cast<int>(report.findings.size()) - report.errors() - report.warnings();
    m_summary->setText(
        QStringLiteral("%1 个错误，%2 个警告，%3 个提示；检查了 %4 个页面、%5 个链接。")
            .arg(report.errors())
            .arg(report.warnings())
            .arg(notes)
            .arg(report.pages)
            .arg(report.links));
}

} // namespace folio::maker
