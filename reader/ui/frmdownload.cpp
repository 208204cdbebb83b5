// The online reader's download window (see frmdownload.h).
#include "reader/ui/frmdownload.h"

#include "reader/ui/uitext.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>

#include <algorithm>
#include <utility>

namespace folio::readerui {

namespace {

constexpr int ClientWidth = 9600;
constexpr int ClientHeight = 6540;

} // namespace

FrmDownload::FrmDownload(QWidget* parent, QStringList linkTexts, QStringList linkTargets,
                         FrmDownloadSettings settings)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint),
      m_settings(std::move(settings)), m_messages(this, nullptr, m_settings.dialogs),
      m_runner(std::make_unique<folio::qt::FetchRunner>()) {
    if (!m_settings.chooseFolder)
        m_settings.chooseFolder = defaultFolderChooser();
    setObjectName(QStringLiteral("FrmDownload"));
    setWindowTitle(QStringLiteral("更新章节"));
    fixClientTwips(this, ClientWidth, ClientHeight);

    m_list3 = new QListWidget(this);
    m_list3->setObjectName(QStringLiteral("List3"));
    m_list3->setSelectionMode(QAbstractItemView::MultiSelection);
    placeTwips(m_list3, 120, 120, 4620, 4200);
    m_list4 = new QListWidget(this);
    m_list4->setObjectName(QStringLiteral("List4"));
    m_list4->setSelectionMode(QAbstractItemView::MultiSelection);
    placeTwips(m_list4, 4860, 120, 4620, 4200);

    auto* pathLabel = new QLabel(QStringLiteral("下载路径："), this);
    pathLabel->setObjectName(QStringLiteral("Label13"));
    placeTwips(pathLabel, 120, 4470, 1080, 330);
    m_text1 = new QLineEdit(this);
    m_text1->setObjectName(QStringLiteral("Text1"));
    placeTwips(m_text1, 1200, 4440, 6960, 360);
    m_text1->setText(m_settings.folder);
    m_command4 = new QPushButton(QStringLiteral("浏览(&B)"), this);
    m_command4->setObjectName(QStringLiteral("Command4"));
    placeTwips(m_command4, 8280, 4425, 1200, 390);

    m_option1 = new QRadioButton(m_settings.novelSiteName, this);
    m_option1->setObjectName(QStringLiteral("Option1"));
    placeTwips(m_option1, 120, 4920, 2400, 330);
    m_option2 = new QRadioButton(QStringLiteral("通用连接"), this);
    m_option2->setObjectName(QStringLiteral("Option2"));
    placeTwips(m_option2, 2640, 4920, 2400, 330);
    auto* options = new QButtonGroup(this);
    options->addButton(m_option1);
    options->addButton(m_option2);
    m_option1->setChecked(true);

    m_label1 = new QLabel(this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    placeTwips(m_label1, 120, 5250, 9360, 270);
    m_label2 = new QLabel(this);
    m_label2->setObjectName(QStringLiteral("Label2"));
    placeTwips(m_label2, 120, 5520, 9360, 480);
    // A failure reason takes two lines here and is whole in the tooltip.
    m_label2->setWordWrap(true);
    m_label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_label2->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_progressBar1 = new QProgressBar(this);
    m_progressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar1->setRange(0, 100);
    m_progressBar1->setValue(0);
    placeTwips(m_progressBar1, 120, 6030, 5820, 330);

    m_command1 = new QPushButton(QStringLiteral("开始"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    placeTwips(m_command1, 6120, 6000, 1080, 390);
    m_command3 = new QPushButton(QStringLiteral("停止"), this);
    m_command3->setObjectName(QStringLiteral("Command3"));
    placeTwips(m_command3, 7260, 6000, 1080, 390);
    m_command2 = new QPushButton(QStringLiteral("退出"), this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    placeTwips(m_command2, 8400, 6000, 1080, 390);

    connect(m_command1, &QPushButton::clicked, this, &FrmDownload::start);
    connect(m_command3, &QPushButton::clicked, this, &FrmDownload::stop);
    connect(m_command2, &QPushButton::clicked, this, &QWidget::close);
    connect(m_command4, &QPushButton::clicked, this, &FrmDownload::browse);

    connect(m_list3, &QListWidget::itemClicked, this, &FrmDownload::list3Clicked);
    connect(m_list4, &QListWidget::itemClicked, this, &FrmDownload::list4Clicked);
    // Scrolling one list moves the other list's current item, not only its view.
    connect(m_list3->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        m_list4->setCurrentRow(m_list3->currentRow(), QItemSelectionModel::NoUpdate);
    });
    connect(m_list4->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        m_list3->setCurrentRow(m_list4->currentRow(), QItemSelectionModel::NoUpdate);
    });

    m_runner->showOn(m_progressBar1, m_label1, m_label2);
    connect(m_runner.get(), &folio::qt::FetchRunner::finished, this, &FrmDownload::passEnded);

    setLinks(linkTexts, linkTargets);
}

FrmDownload::~FrmDownload() = default;

void FrmDownload::setLinks(const QStringList& linkTexts, const QStringList& linkTargets) {
    m_list3->clear();
    m_list4->clear();
    m_list3->addItems(linkTexts);
    m_list4->addItems(linkTargets);
}

bool FrmDownload::isFetching() const {
    return m_runner->isFetching();
}
bool FrmDownload::isRunning() const {
    return m_runner->isRunning();
}

void FrmDownload::list3Clicked() {
    const int row = m_list3->currentRow();
    m_list4->setCurrentRow(row, QItemSelectionModel::NoUpdate);
    if (auto* item = m_list3->item(row)) {
        m_list3->setToolTip(item->text());
        if (auto* other = m_list4->item(row))
            other->setSelected(item->isSelected());
    }
}

void FrmDownload::list4Clicked() {
    const int row = m_list4->currentRow();
    m_list3->setCurrentRow(row, QItemSelectionModel::NoUpdate);
    if (auto* item = m_list4->item(row))
        m_list4->setToolTip(item->text());
}

void FrmDownload::browse() {
    const QString folder =
        m_settings.chooseFolder(this, QString::fromUtf8(FolderPickerTitle), m_text1->text());
    if (!folder.isEmpty())
        m_text1->setText(folder);
}

void FrmDownload::start() {
    if (m_text1->text().isEmpty()) {
        m_messages.messageBox("下载路径不存在，请选择下载路径！！", "提示！！！",
                              folio::MessageIcon::None);
        return;
    }
    if (isFetching()) {
        // After "停止" the previous pass still finishes its list; two passes writing the
        // same folder at once would race on the same files.
        m_messages.messageBox("上一次下载还没有结束，请稍候再开始。", "提示！！！",
                              folio::MessageIcon::Information);
        return;
    }
    // A folder that is not there yet is made, so the chapters have somewhere to go.
    if (!QDir().mkpath(m_text1->text())) {
        m_messages.messageBox("不能建立下载路径：" + utf8(m_text1->text()), "提示！！！",
                              folio::MessageIcon::Exclamation);
        return;
    }
    m_command1->setEnabled(false);
    m_command2->setEnabled(false);

    std::vector<std::string> texts, targets;
    std::vector<bool> selected;
    for (int i = 0; i < m_list3->count(); ++i) {
        texts.push_back(utf8(m_list3->item(i)->text()));
        selected.push_back(m_list3->item(i)->isSelected());
        targets.push_back(i < m_list4->count() ? utf8(m_list4->item(i)->text()) : std::string());
    }
    folio::fetch::FetchOptions options;
    options.novelSite = m_option1->isChecked();
    options.authorPrefix = m_settings.authorPrefix;
    options.targetFolder = utf8(m_text1->text());
    options.processEventsEveryTenth = false;
    options.download = m_settings.download;

    m_runner->start(std::move(texts), std::move(targets), std::move(selected), std::move(options));
}

void FrmDownload::stop() {
    m_runner->stop();
    m_command1->setEnabled(true);
    m_command2->setEnabled(true);
}

void FrmDownload::passEnded(const folio::fetch::FetchSummary& summary) {
    m_summary = summary;
    m_command1->setEnabled(true);
    m_command2->setEnabled(true);
    emit fetchFinished();
}

void FrmDownload::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Wholly on the screen, whatever the size of the reading window it opens beside.
    QScreen* screen = parentWidget() ? parentWidget()->screen() : this->screen();
    if (!screen)
        return;
    const QRect room = screen->availableGeometry();
    QRect frame = frameGeometry();
    if (parentWidget() && !m_placed) {
        frame.moveCenter(parentWidget()->frameGeometry().center());
        m_placed = true;
    }
    frame.moveLeft(std::clamp(frame.left(), room.left(),
                              std::max(room.left(), room.right() - frame.width() + 1)));
    frame.moveTop(std::clamp(frame.top(), room.top(),
                             std::max(room.top(), room.bottom() - frame.height() + 1)));
    move(frame.topLeft());
}

void FrmDownload::closeEvent(QCloseEvent* event) {
    if (m_runner->closeWhenDone(this)) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

} // namespace folio::readerui
