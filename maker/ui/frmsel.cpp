// The file-selection window (see frmsel.h).
#include "maker/ui/frmsel.h"

#include "maker/project/explorer.h"
#include "maker/ui/companionsupport.h"

#include <QAbstractItemView>
#include <QHBoxLayout>
#include <QItemSelection>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <vector>

namespace folio::maker {

FrmSel::FrmSel(QWidget* parent, const std::string& makerFolder, QAbstractItemView* list1)
    : QDialog(parent), m_list1(list1) {
    setObjectName(QStringLiteral("FrmSel"));
    setWindowTitle(QStringLiteral("选择文件"));

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("ListExt"));
    // A maker folder without Ext.ini offers no patterns; the pattern box still works.
    if (auto patterns = folio::project::readExtPatterns(makerFolder)) {
        for (const auto& p : *patterns)
            if (!p.empty())
                m_list->addItem(qs(p));
    }
    m_text1 = new QLineEdit(QString::fromUtf8(folio::project::AllFilesPattern.data(),
                                              qsizetype(folio::project::AllFilesPattern.size())),
                            this);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_command1 = new QPushButton(QStringLiteral("选择"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setDefault(true);
    m_command2 = new QPushButton(QStringLiteral("取消"), this);
    m_command2->setObjectName(QStringLiteral("Command2"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_text1, 1);
    buttons->addWidget(m_command1);
    buttons->addWidget(m_command2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    resize(300, 320);

    connect(m_command1, &QPushButton::clicked, this, [this] { selectFiles(); });
    connect(m_command2, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { choosePattern(m_list->row(item)); });
}

int FrmSel::selectFiles() {
    if (!m_list1 || !m_list1->model() || !m_list1->selectionModel())
        return 0;
    QAbstractItemModel* model = m_list1->model();
    QItemSelectionModel* selection = m_list1->selectionModel();
    const QModelIndex root = m_list1->rootIndex();
    const int rows = model->rowCount(root);
    std::vector<std::string> names;
    std::vector<bool> selected;
    names.reserve(static_cast<std::size_t>(rows));
    selected.reserve(static_cast<std::size_t>(rows));
    for (int r = 0; r < rows; ++r) {
        const QModelIndex index = model->index(r, 0, root);
        names.push_back(utf8(index.data().toString()));
        selected.push_back(selection->isSelected(index));
    }
    const std::vector<bool> before = selected;
    const int added = folio::project::selectByPattern(names, selected, utf8(m_text1->text()));

    // One selection of contiguous ranges: a folder of thousands of files is selected at once.
    QItemSelection grow;
    for (int r = 0; r < rows;) {
        if (!selected[std::size_t(r)] || before[std::size_t(r)]) {
            ++r;
            continue;
        }
        int end = r;
        while (end + 1 < rows && selected[std::size_t(end + 1)] && !before[std::size_t(end + 1)])
            ++end;
        grow.select(model->index(r, 0, root), model->index(end, 0, root));
        r = end + 1;
    }
    if (!grow.isEmpty())
        selection->select(grow, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    m_list1->viewport()->update();
    return added;
}

void FrmSel::choosePattern(int row) {
    if (auto* item = m_list->item(row)) {
        m_text1->setText(item->text());
        selectFiles();
        accept();
    }
}

} // namespace folio::maker
