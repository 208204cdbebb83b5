// The contents pane (see contentspanel.h): reads the grid's selection, runs the list's edit
// routines and shows the list again with the selection on the entries it moved.
#include "maker/ui/contentspanel.h"

#include "core/twips.h"
#include "maker/generators/convert.h"
#include "maker/project/gridtoolbar.h"
#include "maker/ui/contentsgridmodel.h"
#include "maker/ui/workbenchtoolbars.h"
#include "qt/windowobserver.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

namespace folio::maker {

namespace gen = folio::generators;
using folio::twipsToPixels;

namespace {

QString title() {
    return QString::fromUtf8(gen::MakerTitle);
}

// An entry as a message names it.
QString entryName(const gen::ContentsList& list, int row) {
    return QStringLiteral("“%1”").arg(qs(list.cell(row, gen::ColCaption)));
}

} // namespace

ContentsPanel::ContentsPanel(gen::ContentsList& list, folio::qt::WindowObserver& observer,
                             QWidget* parent)
    : QWidget(parent), m_list(list), m_observer(observer) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    buildToolbar();
    v->addWidget(m_toolbar5);

    m_grid = new QTableView;
    m_grid->setObjectName(QStringLiteral("MSFlexGrid1"));
    m_model = new ContentsGridModel(m_list, this);
    m_grid->setModel(m_model);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_grid->verticalHeader()->setDefaultSectionSize(twipsToPixels(285));
    const int charWidth = std::max(6, m_grid->fontMetrics().averageCharWidth());
    for (int c = 0; c < gen::ContentsColumns; ++c) {
        m_grid->setColumnWidth(c, std::max(12, ContentsGridModel::columnChars(c) * charWidth));
    }
    connect(m_grid, &QTableView::clicked, this, [this](const QModelIndex& index) {
        clickGridRow(ContentsGridModel::listRow(index.row()));
    });
    connect(m_grid->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ContentsPanel::updateCommands);
    connect(m_model, &QAbstractItemModel::dataChanged, this, [this] {
        m_history.commit(m_list, "编辑");
        updateCommands();
        emit contentsEdited();
    });
    connect(m_model, &ContentsGridModel::parentRefused, this, [this](int row, const QString& sid) {
        // After the editor has closed: a box shown while it commits would take its focus
        // and make it commit a second time.
        const QString text =
            QStringLiteral("%1的子编号不能是“%2”：只能填 -1、0 或它上面某一目录项的编号。")
                .arg(entryName(m_list, row), sid);
        QTimer::singleShot(0, this, [this, text] {
            m_observer.messageBox(utf8(text), gen::MakerTitle, folio::MessageIcon::Exclamation);
        });
    });

    auto* gridRow = new QWidget;
    auto* h = new QHBoxLayout(gridRow);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(2);
    h->addWidget(m_grid, 1);
    h->addWidget(buildCommands());

    m_list3 = new QListWidget;
    m_list3->setObjectName(QStringLiteral("List3"));
    m_list3->setSelectionMode(QAbstractItemView::MultiSelection);
    m_list4 = new QListWidget;
    m_list4->setObjectName(QStringLiteral("List4"));
    m_list4->setSelectionMode(QAbstractItemView::MultiSelection);
    connect(m_list3, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { clickLinkText(m_list3->row(item)); });
    connect(m_list4, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { clickLinkTarget(m_list4->row(item)); });
    connect(m_list3->verticalScrollBar(), &QScrollBar::valueChanged, m_list4->verticalScrollBar(),
            &QScrollBar::setValue);
    connect(m_list4->verticalScrollBar(), &QScrollBar::valueChanged, m_list3->verticalScrollBar(),
            &QScrollBar::setValue);
    auto* links = new QSplitter(Qt::Horizontal);
    links->setChildrenCollapsible(false);
    links->addWidget(m_list3);
    links->addWidget(m_list4);

    m_pic3 = new QSplitter(Qt::Vertical);
    m_pic3->addWidget(gridRow);
    m_pic3->addWidget(links);
    m_pic3->setStretchFactor(0, 3);
    m_pic3->setStretchFactor(1, 1);
    v->addWidget(m_pic3, 1);

    m_history.reset(m_list);
    updateCommands();
}

void ContentsPanel::buildToolbar() {
    using S = QStyle;
    m_toolbar5 = makeToolbar(this, 5,
                             {{"清空目录", S::SP_TrashIcon},
                              {"设计首页", S::SP_DesktopIcon},
                              {"生成首页", S::SP_DirHomeIcon},
                              {"分析网址", S::SP_FileDialogContentsView},
                              {"下载网页", S::SP_ArrowDown},
                              {"复制目录", S::SP_FileDialogNewFolder}});
    const auto on = [this](GridButton b, auto slot) {
        connect(action(b), &QAction::triggered, this, slot);
    };
    on(GridButton::ClearContents, [this] { clearContents(); });
    on(GridButton::DesignHomePage, [this] { emit designHomePageRequested(); });
    on(GridButton::GenerateHomePage, [this] { emit generateHomePageRequested(); });
    on(GridButton::AnalyseAddress, [this] { emit analyseAddressRequested(); });
    on(GridButton::Download, [this] { emit downloadRequested(); });
    on(GridButton::CopyLinks, [this] { copyLinks(); });
}

QAction* ContentsPanel::action(GridButton b) const {
    return buttonAt(m_toolbar5, static_cast<int>(b));
}

// A column of buttons beside the grid, each with its key on the grid itself.
QWidget* ContentsPanel::buildCommands() {
    struct Button {
        Command command;
        const char* name;
        const char* caption;
        const char* tip;
        const char* themeIcon;
        QStyle::StandardPixmap icon;
        QKeySequence key;
    };
    using S = QStyle;
    const Button buttons[] = {
        {Command::Delete, "CommandDelete", "删除", "删除选中的目录项，它们的下级留下 (Delete)",
         "edit-delete", S::SP_DialogDiscardButton, QKeySequence(Qt::Key_Delete)},
        {Command::MoveUp, "CommandMoveUp", "上移", "选中的目录项上移一行 (Alt+Up)", "go-up",
         S::SP_ArrowUp, QKeySequence(Qt::ALT | Qt::Key_Up)},
        {Command::MoveDown, "CommandMoveDown", "下移", "选中的目录项下移一行 (Alt+Down)", "go-down",
         S::SP_ArrowDown, QKeySequence(Qt::ALT | Qt::Key_Down)},
        {Command::Indent, "CommandIndent", "缩进", "成为上面同级目录项的下级 (Alt+Right)",
         "format-indent-more", S::SP_ArrowRight, QKeySequence(Qt::ALT | Qt::Key_Right)},
        {Command::Outdent, "CommandOutdent", "减少缩进", "升到上级的同级 (Alt+Left)",
         "format-indent-less", S::SP_ArrowLeft, QKeySequence(Qt::ALT | Qt::Key_Left)},
        {Command::Undo, "CommandUndo", "撤销", "撤销对目录的上一次修改 (Ctrl+Z)", "edit-undo",
         S::SP_DialogResetButton, QKeySequence(QKeySequence::Undo)},
    };
    auto* column = new QWidget;
    auto* v = new QVBoxLayout(column);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(2);
    for (const Button& b : buttons) {
        const QIcon icon =
            QIcon::fromTheme(QString::fromLatin1(b.themeIcon), style()->standardIcon(b.icon));
        auto* button = new QPushButton(icon, QString::fromUtf8(b.caption));
        button->setObjectName(QString::fromLatin1(b.name));
        button->setToolTip(QString::fromUtf8(b.tip));
        button->setFlat(true);
        button->setFocusPolicy(Qt::NoFocus); // the grid keeps the focus and its selection
        v->addWidget(button);
        m_commands[static_cast<int>(b.command)] = button;
        const Command command = b.command;
        connect(button, &QPushButton::clicked, this, [this, command] { run(command); });
        // The keys work where the rows are chosen; an open cell editor keeps its own.
        auto* key = new QAction(m_grid);
        key->setShortcut(b.key);
        key->setShortcutContext(Qt::WidgetShortcut);
        connect(key, &QAction::triggered, this, [this, command] { run(command); });
        m_grid->addAction(key);
    }
    v->addStretch(1);
    return column;
}

void ContentsPanel::run(Command command) {
    if (command == Command::Undo) {
        undo();
        return;
    }
    const std::vector<int> rows = selectedRows();
    gen::EditResult result;
    std::string what;
    switch (command) {
    case Command::Delete:
        result = gen::deleteEntries(m_list, rows);
        what = "删除";
        break;
    case Command::MoveUp:
        result = gen::moveEntries(m_list, rows, -1);
        what = "上移";
        break;
    case Command::MoveDown:
        result = gen::moveEntries(m_list, rows, 1);
        what = "下移";
        break;
    case Command::Indent:
        result = gen::indentEntries(m_list, rows);
        what = "缩进";
        break;
    case Command::Outdent:
        result = gen::outdentEntries(m_list, rows);
        what = "减少缩进";
        break;
    case Command::Undo:
        break;
    }
    if (result) {
        edited(what, *result);
    } else {
        refused(result.error());
    }
}

void ContentsPanel::edited(const std::string& what, const gen::EditOutcome& outcome) {
    m_model->reload();
    m_history.commit(m_list, what);
    selectRows(outcome.rows);
    emit entriesRenumbered(outcome.ids);
    emit contentsEdited();
    emit currentRowMoved(currentRow());
}

void ContentsPanel::refused(const gen::Refusal& refusal) {
    QString text;
    const QString entry = entryName(m_list, refusal.row);
    const QString other = entryName(m_list, refusal.other);
    switch (refusal.why) {
    case gen::EditRefusal::NoEntry:
    case gen::EditRefusal::AtTop:
    case gen::EditRefusal::AtBottom:
        return; // nothing chosen, or the end of the list: nothing to say
    case gen::EditRefusal::ParentAbove:
        text = QStringLiteral("%1不能移到它的上级%2上面。").arg(entry, other);
        break;
    case gen::EditRefusal::ChildBelow:
        text = QStringLiteral("%1不能移到它的下级%2下面。").arg(entry, other);
        break;
    case gen::EditRefusal::NoSibling:
        text = QStringLiteral("%1上面没有同级的目录项，不能缩进。").arg(entry);
        break;
    case gen::EditRefusal::TopLevel:
        text = QStringLiteral("%1已经是顶层目录项，不能减少缩进。").arg(entry);
        break;
    }
    m_observer.messageBox(utf8(text), gen::MakerTitle, folio::MessageIcon::Exclamation);
}

void ContentsPanel::clearContents() {
    const int entries = m_list.entryCount();
    if (entries > 0 &&
        m_observer.messageBox(
            utf8(QStringLiteral("清空目录会删除全部 %1 个目录项。要清空目录吗？").arg(entries)),
            utf8(title()), folio::MessageIcon::Question, folio::MessageButtons::YesNo,
            folio::Answer::No) != folio::Answer::Yes) {
        return;
    }
    folio::project::ClearContents(m_list);
    edited("清空目录", {{1}, {}});
}

void ContentsPanel::copyLinks() {
    const LinkSelection s = links();
    if (folio::project::AddSelectedLinks(m_list, currentRow(), s.texts, s.targets, s.selected) >
        0) {
        listChanged("复制目录");
    }
}

void ContentsPanel::undo() {
    const int row = currentRow();
    if (!m_history.undo(m_list)) {
        return;
    }
    m_model->reload();
    selectRows({std::min(row, m_list.rowCount() - 1)});
    emit contentsEdited();
    emit currentRowMoved(currentRow());
}

void ContentsPanel::listChanged(const std::string& what) {
    const int row = currentRow();
    m_model->reload();
    m_history.commit(m_list, what);
    selectRows({std::min(row, m_list.rowCount() - 1)});
    emit contentsEdited();
}

void ContentsPanel::listReplaced() {
    m_model->reload();
    m_history.reset(m_list);
    updateCommands();
}

int ContentsPanel::currentRow() const {
    const QModelIndex current = m_grid->currentIndex();
    return current.isValid() ? ContentsGridModel::listRow(current.row()) : 1;
}

std::vector<int> ContentsPanel::selectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : m_grid->selectionModel()->selectedRows()) {
        rows.push_back(ContentsGridModel::listRow(index.row()));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void ContentsPanel::selectRows(const std::vector<int>& rows) {
    QItemSelectionModel* selection = m_grid->selectionModel();
    selection->clearSelection();
    for (auto r = rows.rbegin(); r != rows.rend(); ++r) {
        const QModelIndex index = m_model->index(ContentsGridModel::modelRow(*r), 1);
        if (index.isValid()) {
            selection->setCurrentIndex(index,
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    if (!rows.empty()) {
        m_grid->scrollTo(m_grid->currentIndex());
    }
    updateCommands();
}

void ContentsPanel::clickGridRow(int row) {
    const QModelIndex index = m_model->index(ContentsGridModel::modelRow(row), 1);
    QItemSelectionModel* selection = m_grid->selectionModel();
    // A click the view has already handled keeps its selection (Ctrl and Shift add rows).
    if (!selection->isRowSelected(index.row(), {})) {
        selection->setCurrentIndex(index,
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else {
        selection->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    }
    emit rowClicked(row);
}

void ContentsPanel::updateCommands() {
    const std::vector<int> rows = selectedRows();
    const bool entryChosen = !rows.empty() && rows.front() <= m_list.rowCount() - 2;
    for (int c = 0; c < 5; ++c) {
        if (m_commands[c]) {
            m_commands[c]->setEnabled(entryChosen);
        }
    }
    if (QPushButton* undo = m_commands[static_cast<int>(Command::Undo)]) {
        undo->setEnabled(m_history.canUndo());
        const std::string last = m_history.lastChange();
        undo->setToolTip(last.empty() ? QStringLiteral("撤销对目录的上一次修改 (Ctrl+Z)")
                                      : QStringLiteral("撤销“%1” (Ctrl+Z)").arg(qs(last)));
    }
}

void ContentsPanel::setLinks(const QStringList& texts, const QStringList& targets) {
    m_list3->clear();
    m_list4->clear();
    m_list3->addItems(texts);
    m_list4->addItems(targets);
}

LinkSelection ContentsPanel::links() const {
    LinkSelection s;
    for (int i = 0; i < m_list3->count(); ++i) {
        s.texts.push_back(utf8(m_list3->item(i)->text()));
        s.targets.push_back(i < m_list4->count() ? utf8(m_list4->item(i)->text()) : "");
        s.selected.push_back(m_list3->item(i)->isSelected());
    }
    return s;
}

void ContentsPanel::clickLinkText(int row) {
    if (row < 0 || row >= m_list3->count()) {
        return;
    }
    QListWidgetItem* item = m_list3->item(row);
    m_list3->setToolTip(item->text());
    if (row < m_list4->count()) {
        const QSignalBlocker block(m_list4);
        m_list4->setCurrentRow(row, QItemSelectionModel::NoUpdate);
        m_list4->item(row)->setSelected(item->isSelected());
    }
}

void ContentsPanel::clickLinkTarget(int row) {
    if (row < 0 || row >= m_list4->count()) {
        return;
    }
    m_list4->setToolTip(m_list4->item(row)->text());
    if (row < m_list3->count()) {
        const QSignalBlocker block(m_list3);
        m_list3->setCurrentRow(row, QItemSelectionModel::NoUpdate);
    }
}

} // namespace folio::maker
