// The start page: the open button, the recent books list, and books dropped on it.
#include "reader/ui/startpage.h"

#include "reader/core/recentbooks.h"
#include "reader/ui/uitext.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace folio::readerui {

namespace {
constexpr int PathRole = Qt::UserRole + 1;
}

QString droppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile())
            return QFileInfo(url.toLocalFile()).absoluteFilePath();
    }
    return {};
}

BookDrops::BookDrops(const QList<QWidget*>& widgets, QObject* parent) : QObject(parent) {
    for (QWidget* widget : widgets) {
        if (!widget)
            continue;
        widget->setAcceptDrops(true);
        widget->installEventFilter(this);
        // A browser pane receives drops through the child widget that draws it, which may be
        // made only when the pane first shows a page.
        for (QWidget* child : widget->findChildren<QWidget*>())
            child->installEventFilter(this);
    }
}

bool BookDrops::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ChildAdded:
        if (auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child()))
            child->installEventFilter(this);
        break;
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (droppedFile(drag->mimeData()).isEmpty())
            break;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString path = droppedFile(drop->mimeData());
        if (path.isEmpty())
            break;
        drop->acceptProposedAction();
        emit bookDropped(path);
        return true;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

StartPage::StartPage(folio::Observer* dialogs, QString stateFolder, QWidget* parent)
    : QWidget(parent), m_observer(this, nullptr, dialogs), m_stateFolder(std::move(stateFolder)) {
    setObjectName(QStringLiteral("StartPage"));
    setWindowTitle(QStringLiteral("folioPage"));
    setAcceptDrops(true);

    auto* title = new QLabel(QStringLiteral("folioPage"), this);
    title->setObjectName(QStringLiteral("LblTitle"));
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    title->setFont(big);

    m_open = new QPushButton(QStringLiteral("打开"), this);
    m_open->setObjectName(QStringLiteral("CmdOpen"));
    m_open->setDefault(true);
    m_open->setMinimumWidth(120);

    auto* recentLabel = new QLabel(QStringLiteral("最近打开的书"), this);
    recentLabel->setObjectName(QStringLiteral("LblRecent"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("ListRecent"));
    m_list->setAlternatingRowColors(true);
    m_list->setSpacing(3);
    m_empty = new QLabel(QStringLiteral("还没有打开过书。"), this);
    m_empty->setObjectName(QStringLiteral("LblEmpty"));
    m_empty->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* top = new QHBoxLayout;
    top->addWidget(title);
    top->addStretch(1);
    top->addWidget(m_open);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(12);
    layout->addLayout(top);
    layout->addWidget(recentLabel);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_empty, 1); // takes the list's room when there is no list
    auto* hint =
        new QLabel(QStringLiteral("按“打开”选一本电子书，或把电子书拖到这个窗口上。"), this);
    hint->setObjectName(QStringLiteral("LblHint"));
    hint->setWordWrap(true);
    layout->addWidget(hint);

    m_choose = [](QWidget* parent) {
        return QFileDialog::getOpenFileName(parent, QStringLiteral("打开"), QDir::homePath(),
                                            QStringLiteral("电子书 (*.exe);;全部文件 (*)"));
    };
    connect(m_open, &QPushButton::clicked, this, &StartPage::chooseFile);
    connect(m_list, &QListWidget::itemActivated, this, &StartPage::itemActivated);
    reload();
    resize(640, 440);
}

StartPage::~StartPage() = default;

void StartPage::setFileChooser(std::function<QString(QWidget*)> choose) {
    m_choose = std::move(choose);
}

void StartPage::reload() {
    m_list->clear();
    const folio::reader::RecentBooks recent(utf8(m_stateFolder));
    for (const folio::reader::RecentBook& book : recent.list()) {
        const QString path = qs(book.path);
        const QString title = book.title.empty() ? QFileInfo(path).fileName() : qs(book.title);
        auto* item = new QListWidgetItem(
            title + QStringLiteral("\n") + QDir::toNativeSeparators(path), m_list);
        item->setData(PathRole, path);
        item->setToolTip(path);
    }
    m_empty->setVisible(m_list->count() == 0);
    m_list->setVisible(m_list->count() > 0);
}

bool StartPage::openBook(const QString& path) {
    auto title = folio::reader::readBookTitle(utf8(path));
    if (!title) {
        m_observer.messageBox("不能打开这本书：" + title.error().message, "folioPage",
                              folio::MessageIcon::Exclamation);
        reload(); // a listed book may have gone meanwhile
        return false;
    }
    emit bookChosen(QFileInfo(path).absoluteFilePath());
    return true;
}

void StartPage::chooseFile() {
    const QString path = m_choose ? m_choose(this) : QString();
    if (!path.isEmpty())
        openBook(path);
}

void StartPage::itemActivated(QListWidgetItem* item) {
    if (item)
        openBook(item->data(PathRole).toString());
}

void StartPage::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void StartPage::dropEvent(QDropEvent* event) {
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    openBook(path);
}

} // namespace folio::readerui
