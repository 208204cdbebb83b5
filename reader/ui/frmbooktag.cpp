// The bookmarks window (see frmbooktag.h).
#include "reader/ui/frmbooktag.h"

#include "qt/language.h"
#include "reader/ui/companionrules.h"
#include "reader/ui/uitext.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QUrl>

namespace folio::readerui {

namespace {

// The client area shows the name box, the names and the three buttons; the address box and
// the address list sit to the right of it, out of sight.
constexpr int ClientWidth = 4800;
constexpr int ClientHeight = 3720;
constexpr int HiddenLeft = ClientWidth + 600;

} // namespace

FrmBookTag::FrmBookTag(QWidget* parent, QString programFolder, QString currentAddress,
                       std::function<void(QString)> navigate, folio::Observer* dialogs,
                       QString bookPrefix)
    : QDialog(parent), m_programFolder(std::move(programFolder)), m_navigate(std::move(navigate)),
      m_observer(this, nullptr, dialogs) {
    setObjectName(QStringLiteral("FrmBookTag"));
    setWindowTitle(QStringLiteral("书签"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    fixClientTwips(this, ClientWidth, ClientHeight);

    m_text1 = new QLineEdit(this);
    m_text1->setObjectName(QStringLiteral("Text1"));
    placeTwips(m_text1, 120, 120, 3240, 330);

    m_list1 = new QListWidget(this);
    m_list1->setObjectName(QStringLiteral("List1"));
    placeTwips(m_list1, 120, 570, 3240, 3030);

    m_command2 = new QPushButton(QStringLiteral("添加"), this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    placeTwips(m_command2, 3480, 120, 1200, 390);

    m_command3 = new QPushButton(QStringLiteral("删除"), this);
    m_command3->setObjectName(QStringLiteral("Command3"));
    placeTwips(m_command3, 3480, 630, 1200, 390);

    m_command1 = new QPushButton(QStringLiteral("取消"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    placeTwips(m_command1, 3480, 3210, 1200, 390);

    m_text2 = new QLineEdit(this);
    m_text2->setObjectName(QStringLiteral("Text2"));
    placeTwips(m_text2, HiddenLeft, 120, 3240, 330);

    m_list2 = new QListWidget(this);
    m_list2->setObjectName(QStringLiteral("List2"));
    placeTwips(m_list2, HiddenLeft, 570, 3240, 3030);

    connect(m_command2, &QPushButton::clicked, this, &FrmBookTag::add);
    connect(m_command3, &QPushButton::clicked, this, &FrmBookTag::remove);
    connect(m_command1, &QPushButton::clicked, this, &QDialog::reject);
    // A click (or the arrow keys) on a name selects its address too.
    connect(m_list1, &QListWidget::currentRowChanged, m_list2,
            [this](int row) { m_list2->setCurrentRow(row); });
    connect(m_list1, &QListWidget::itemDoubleClicked, this, &FrmBookTag::open);

    auto loaded = folio::reader::BookmarkList::load(utf8(m_programFolder));
    if (loaded) {
        m_list = std::move(*loaded);
    } else {
        // The window still opens (empty) so that bookmarks can be added; saving on close
        // tries the file again. It is not shown yet: the box stands over the reading window.
        folio::qt::WindowObserver(parent, nullptr, dialogs)
            .messageBox("书签文件没有读出：" + loaded.error().message, "书签",
                        folio::MessageIcon::Exclamation);
    }
    // Addresses are compared as the browser shows them, escapes decoded.
    auto decoded = [](const QString& address) {
        return utf8(QUrl(address).toString(QUrl::FullyDecoded));
    };
    const std::string prefix = bookPrefix.isEmpty() ? std::string() : decoded(bookPrefix);
    for (std::size_t i = 0; i < m_list.size(); ++i) {
        const auto& bookmark = m_list.entries()[i];
        if (!folio::reader::bookmarkListedFor(decoded(qs(bookmark.address)), prefix))
            continue;
        m_rows.push_back(static_cast<int>(i));
        m_list1->addItem(qs(bookmark.name));
        m_list2->addItem(qs(bookmark.address));
    }
    m_text1->setText(nextName());
    setAddress(currentAddress);
    folio::qt::ApplyCurrentLanguage(this);
}

FrmBookTag::~FrmBookTag() = default;

void FrmBookTag::setAddress(const QString& address) {
    m_text2->setText(address);
}

QString FrmBookTag::nextName() const {
    // Numbered by the list the user sees, not by the other books' bookmarks.
    return QStringLiteral("书签") + QString::number(m_list1->count());
}

void FrmBookTag::add() {
    m_rows.push_back(static_cast<int>(m_list.size()));
    m_list.add(utf8(m_text1->text()), utf8(m_text2->text()));
    m_list1->addItem(m_text1->text());
    m_list2->addItem(m_text2->text());
    m_text1->setText(nextName());
}

void FrmBookTag::addCurrent() {
    add();
    m_list1->setCurrentRow(m_list1->count() - 1);
}

void FrmBookTag::remove() {
    const int row = m_list1->currentRow();
    if (row < 0 || row >= static_cast<int>(m_rows.size()) || !m_list1->item(row)->isSelected() ||
        !m_list.remove(m_rows[static_cast<std::size_t>(row)]))
        return;
    m_rows.erase(m_rows.begin() + row);
    for (std::size_t i = static_cast<std::size_t>(row); i < m_rows.size(); ++i)
        --m_rows[i]; // the entries after the removed one moved up by one
    delete m_list1->takeItem(row);
    delete m_list2->takeItem(row);
}

void FrmBookTag::open(QListWidgetItem* item) {
    const int row = m_list1->row(item);
    if (row < 0 || row >= static_cast<int>(m_rows.size()))
        return;
    const auto address = m_list.addressAt(m_rows[static_cast<std::size_t>(row)]);
    if (!address)
        return;
    m_list2->setCurrentRow(row);
    if (m_navigate)
        m_navigate(qs(*address));
    accept();
}

void FrmBookTag::save() {
    if (auto written = m_list.save(utf8(m_programFolder)); !written) {
        // Losing the bookmarks silently would be worse than one message.
        m_observer.messageBox("书签没有保存：" + written.error().message, "书签",
                              folio::MessageIcon::Exclamation);
    }
}

void FrmBookTag::done(int result) {
    save();
    QDialog::done(result);
}

} // namespace folio::readerui
