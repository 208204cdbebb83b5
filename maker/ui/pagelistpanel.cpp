// The page list (see pagelistpanel.h).
#include "maker/ui/pagelistpanel.h"

#include "maker/ui/companionsupport.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace folio::maker {

PageListPanel::PageListPanel(QWidget* parent) : QWidget(parent) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(2);
    m_list2 = new QListWidget;
    m_list2->setObjectName(QStringLiteral("List2"));
    m_list2->setSelectionMode(QAbstractItemView::MultiSelection);
    m_list2->setUniformItemSizes(true);
    v->addWidget(m_list2, 1);

    auto* buttons = new QHBoxLayout;
    const auto command = [buttons](int n, const char* caption) {
        auto* button = new QPushButton(QString::fromUtf8(caption));
        button->setObjectName(QStringLiteral("Command%1").arg(n));
        buttons->addWidget(button);
        return button;
    };
    m_command5 = command(5, "全选");
    m_command6 = command(6, "反选");
    m_command8 = command(8, "刷新");
    v->addLayout(buttons);

    auto* frame = new QGroupBox(QString::fromUtf8("双击文件"));
    frame->setObjectName(QStringLiteral("Frame1"));
    auto* options = new QVBoxLayout(frame);
    options->setContentsMargins(4, 2, 4, 2);
    const char* captions[] = {nullptr, "转向代码页", "转向浏览页", "不操作"};
    for (int i = 1; i <= 3; ++i) {
        m_option[i] = new QRadioButton(QString::fromUtf8(captions[i]));
        m_option[i]->setObjectName(QStringLiteral("Option%1").arg(i));
        options->addWidget(m_option[i]);
    }
    m_option[3]->setChecked(true);
    v->addWidget(frame);

    connect(m_list2, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { emit entryOpened(m_list2->row(item)); });
}

QPushButton* PageListPanel::command(int number) const {
    switch (number) {
    case 5:
        return m_command5;
    case 6:
        return m_command6;
    case 8:
        return m_command8;
    default:
        return nullptr;
    }
}

void PageListPanel::showPages(const std::vector<std::string>& pages) {
    // Thousands of names: one batch, the view paints once.
    m_list2->setUpdatesEnabled(false);
    m_list2->clear();
    QStringList names;
    names.reserve(static_cast<qsizetype>(pages.size()));
    for (const std::string& p : pages) {
        names.push_back(qs(p));
    }
    m_list2->addItems(names);
    m_list2->setUpdatesEnabled(true);
}

folio::project::PageSelection PageListPanel::selection() const {
    folio::project::PageSelection selection;
    for (int i = 0; i < m_list2->count(); ++i) {
        if (m_list2->item(i)->isSelected()) {
            selection.names.push_back(utf8(m_list2->item(i)->text()));
        }
    }
    selection.whole =
        m_list2->count() > 0 && static_cast<int>(selection.names.size()) == m_list2->count();
    return selection;
}

void PageListPanel::select(const std::vector<bool>& selected) {
    for (int i = 0; i < m_list2->count() && i < static_cast<int>(selected.size()); ++i) {
        m_list2->item(i)->setSelected(selected[static_cast<std::size_t>(i)]);
    }
}

void PageListPanel::selectAll() {
    m_list2->selectAll();
    m_list2->viewport()->update();
}

void PageListPanel::invertSelection() {
    for (int i = 0; i < m_list2->count(); ++i) {
        m_list2->item(i)->setSelected(!m_list2->item(i)->isSelected());
    }
    m_list2->viewport()->update();
}

QString PageListPanel::entryName(int row) const {
    return row >= 0 && row < m_list2->count() ? m_list2->item(row)->text() : QString();
}

int PageListPanel::tabAfterOpening() const {
    if (m_option[1]->isChecked()) {
        return 4;
    }
    return m_option[2]->isChecked() ? 2 : 0;
}

} // namespace folio::maker
