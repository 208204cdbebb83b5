// The maker's chapter download window (see frmdownload_maker.h).
#include "maker/ui/frmdownload_maker.h"

#include "core/fileio.h"
#include "fetch/netsettings.h"
#include "maker/generators/convert.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <utility>

namespace folio::maker {

namespace gen = folio::generators;

FrmDownLoad::FrmDownLoad(QWidget* parent, FrmDownLoadInputs inputs, folio::Observer& observer)
    : QWidget(parent, Qt::Window), m_in(std::move(inputs)), m_observer(observer),
      m_runner(std::make_unique<folio::qt::FetchRunner>()) {
    setObjectName(QStringLiteral("FrmDownLoad"));
    setWindowTitle(QStringLiteral("下载文件"));
    const folio::fetch::NetSettings net = folio::fetch::readNetSettings(m_in.makerFolder);
    m_authorPrefix = net.authorPrefix();

    m_option1 = new QRadioButton(qs(net.novelSiteName), this);
    m_option1->setObjectName(QStringLiteral("Option1"));
    m_option2 = new QRadioButton(QStringLiteral("通用连接"), this);
    m_option2->setObjectName(QStringLiteral("Option2"));
    auto* group = new QButtonGroup(this);
    group->addButton(m_option1);
    group->addButton(m_option2);
    m_option1->setChecked(true);
    auto* options = new QHBoxLayout;
    options->addWidget(m_option1);
    options->addWidget(m_option2);
    options->addStretch();

    m_label1 = new QLabel(this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label2 = new QLabel(this);
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_label2->setWordWrap(true);
    m_label2->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_progressBar1 = new QProgressBar(this);
    m_progressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar1->setRange(0, 100);
    m_progressBar1->setValue(0);

    m_command1 = new QPushButton(QStringLiteral("开始"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command3 = new QPushButton(QStringLiteral("停止"), this);
    m_command3->setObjectName(QStringLiteral("Command3"));
    m_command2 = new QPushButton(QStringLiteral("退出"), this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_progressBar1, 1);
    buttons->addWidget(m_command1);
    buttons->addWidget(m_command3);
    buttons->addWidget(m_command2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(options);
    layout->addWidget(m_label1);
    layout->addWidget(m_label2);
    layout->addStretch();
    layout->addLayout(buttons);
    resize(480, 200);

    connect(m_command1, &QPushButton::clicked, this, &FrmDownLoad::start);
    connect(m_command3, &QPushButton::clicked, this, &FrmDownLoad::stop);
    connect(m_command2, &QPushButton::clicked, this, &QWidget::close);

    m_runner->showOn(m_progressBar1, m_label1, m_label2);
    connect(
        m_runner.get(), &folio::qt::FetchRunner::chapterStarted, this,
        [this](int, const QString& title, const QString& file) { chapterStarted(title, file); });
    connect(m_runner.get(), &folio::qt::FetchRunner::finished, this, &FrmDownLoad::passEnded);
}

FrmDownLoad::~FrmDownLoad() = default;

void FrmDownLoad::start() {
    // "停止" enables "开始" while the pass still finishes its list.
    if (isFetching()) {
        m_observer.messageBox("上一次下载还没有结束，请稍候再开始。", gen::MakerTitle,
                              folio::MessageIcon::Information);
        return;
    }
    const QString folder = m_in.projectFolder ? m_in.projectFolder() : QString();
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        // Chapters are written only into the open project's folder; without one they would
        // have nowhere to go.
        m_observer.messageBox("工程文件夹不存在，不能下载：" + utf8(folder), gen::MakerTitle,
                              folio::MessageIcon::Exclamation);
        return;
    }
    LinkSelection links = m_in.links ? m_in.links() : LinkSelection{};
    m_parentId.clear();
    if (m_in.contents && m_in.currentRow)
        m_parentId = m_in.contents->cell(m_in.currentRow(), gen::ColID);

    m_command1->setEnabled(false);
    m_command2->setEnabled(false);
    folio::fetch::FetchOptions options;
    options.novelSite = m_option1->isChecked();
    options.authorPrefix = m_authorPrefix;
    options.targetFolder = utf8(folder);
    options.processEventsEveryTenth = true;
    options.download = m_in.download;
    m_runner->start(std::move(links.texts), std::move(links.targets), std::move(links.selected),
                    std::move(options));
}

void FrmDownLoad::chapterStarted(const QString& title, const QString& localFile) {
    gen::ContentsList* contents = m_in.contents;
    if (!contents)
        return;
    // The link is the name the chapter is really written under: a title holding "/" or other
    // characters a file name cannot carry is written under a cleaned name.
    contents->appendEntry(std::to_string(contents->rowCount() - 1), m_parentId, utf8(title),
                          folio::fileName(utf8(localFile)));
    emit contentsChanged();
}

void FrmDownLoad::passEnded(const folio::fetch::FetchSummary& summary) {
    m_summary = summary;
    if (m_summary.failed == 0) {
        m_observer.messageBox("成功下载所有网页！", gen::MakerTitle,
                              folio::MessageIcon::Information);
    } else {
        // The same words for a pass with failures would report lost chapters as fetched.
        m_observer.messageBox("下载完成：成功 " + std::to_string(m_summary.downloaded) +
                                  " 个，失败 " + std::to_string(m_summary.failed) + " 个网页。",
                              gen::MakerTitle, folio::MessageIcon::Exclamation);
    }
    m_command1->setEnabled(true);
    m_command2->setEnabled(true);
    emit fetchFinished();
}

void FrmDownLoad::stop() {
    m_runner->stop();
    m_command1->setEnabled(true);
    m_command2->setEnabled(true);
}

void FrmDownLoad::closeEvent(QCloseEvent* event) {
    if (m_runner->closeWhenDone(this)) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

} // namespace folio::maker
