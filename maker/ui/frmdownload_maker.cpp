// The maker's chapter download window (see frmdownload_maker.h).
#include "maker/ui/frmdownload_maker.h"

#include "core/fileio.h"
#include "fetch/netsettings.h"
#include "maker/generators/convert.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <utility>

namespace folio::maker {

namespace gen = folio::generators;

// The pass runs on the window's thread and yields to the event loop while it waits, so its
// reports reach the widgets directly.
class FrmDownLoad::Reporter : public folio::fetch::FetchObserver {
  public:
    Reporter(FrmDownLoad* window, std::string parentId)
        : m_window(window), m_parentId(std::move(parentId)) {}

    void setProgressMaximum(int maximum) override {
        if (m_window)
            m_window->m_progressBar1->setMaximum(std::max(maximum, 0));
    }
    void setProgressValue(int value) override {
        if (m_window && value >= m_window->m_progressBar1->minimum() &&
            value <= m_window->m_progressBar1->maximum())
            m_window->m_progressBar1->setValue(value);
    }
    void showChapter(const std::string& title, const std::string& link) override {
        if (!m_window)
            return;
        m_window->m_label1->setText(qs(title));
        m_window->m_label2->setText(qs(link));
        m_window->m_label2->setToolTip(qs(link));
    }
    void chapterStarted(int, const std::string& title, const std::string& localFile) override {
        gen::ContentsList* contents = m_window ? m_window->m_in.contents : nullptr;
        if (!contents)
            return;
        // The link is the name the chapter is really written under: a title holding "/" or
        // other characters a file name cannot carry is written under a cleaned name.
        contents->appendEntry(std::to_string(contents->rowCount() - 1), m_parentId, title,
                              folio::fileName(localFile));
        emit m_window->contentsChanged();
    }
    void downloadFailed(int, const std::string& reason) override {
        if (!m_window)
            return;
        m_window->m_label2->setText(QStringLiteral("下载失败，点“停止”继续：") + qs(reason));
        m_window->m_label2->setToolTip(qs(reason));
    }
    // "停止" ends the wait after a failure; a window that is gone can no longer be pressed.
    bool keepWaiting() override { return !m_window.isNull(); }
    void processEvents() override { QCoreApplication::processEvents(QEventLoop::AllEvents, 50); }

  private:
    QPointer<FrmDownLoad> m_window;
    std::string m_parentId;
};

FrmDownLoad::FrmDownLoad(QWidget* parent, FrmDownLoadInputs inputs, folio::Observer& observer)
    : QWidget(parent, Qt::Window), m_in(std::move(inputs)), m_observer(observer),
      m_pass(std::make_shared<folio::fetch::FetchPass>()) {
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
}

FrmDownLoad::~FrmDownLoad() {
    m_pass->stop();
}

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
    const LinkSelection links = m_in.links ? m_in.links() : LinkSelection{};
    std::string parentId;
    if (m_in.contents && m_in.currentRow)
        parentId = m_in.contents->cell(m_in.currentRow(), gen::ColID);

    m_command1->setEnabled(false);
    m_command2->setEnabled(false);
    folio::fetch::FetchOptions options;
    options.novelSite = m_option1->isChecked();
    options.authorPrefix = m_authorPrefix;
    options.targetFolder = utf8(folder);
    options.processEventsEveryTenth = true;
    options.download = m_in.download;
    Reporter reporter(this, parentId);
    const std::shared_ptr<folio::fetch::FetchPass> pass = m_pass;
    QPointer<FrmDownLoad> self(this);
    const folio::fetch::FetchSummary summary =
        pass->run(links.texts, links.targets, links.selected, options, reporter);
    if (!self)
        return;
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
    if (std::exchange(m_closeWhenDone, false))
        close();
}

void FrmDownLoad::stop() {
    m_pass->stop();
    m_command1->setEnabled(true);
    m_command2->setEnabled(true);
}

void FrmDownLoad::closeEvent(QCloseEvent* event) {
    if (isFetching()) {
        // The pass is inside this window's call stack: it is told to stop waiting and the
        // window goes when the pass has finished its list.
        m_pass->stop();
        m_closeWhenDone = true;
        hide();
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

} // namespace folio::maker
