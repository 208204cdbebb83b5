// The batch rename window (see frmrename.h).
#include "maker/ui/frmrename.h"

#include "maker/generators/rename.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <utility>

namespace folio::maker {

namespace gen = folio::generators;

FrmReName::FrmReName(QWidget* parent, ExplorerSource explorer, folio::Observer& observer)
    : QDialog(parent), m_explorer(std::move(explorer)), m_observer(observer),
      m_summary(std::make_unique<gen::RenameSummary>()) {
    setObjectName(QStringLiteral("FrmReName"));
    setWindowTitle(QStringLiteral("批量改名"));
    setModal(true);

    static const char* const captions[5] = {"使用文本文件首行做为文件名",
                                            "使用HTML的Title做为文件名称", "使用HTML的H1为文件名称",
                                            "使用HTML的H2为文件名称", "去除文件名称中有的符号"};
    auto* group = new QButtonGroup(this);
    auto* layout = new QVBoxLayout(this);
    for (int i = 0; i < 5; ++i) {
        m_options[i] = new QRadioButton(QString::fromUtf8(captions[i]), this);
        m_options[i]->setObjectName(QStringLiteral("Option%1").arg(i + 1));
        group->addButton(m_options[i], i);
        layout->addWidget(m_options[i]);
    }
    m_options[0]->setChecked(true);
    m_checkRelink = new QCheckBox(QStringLiteral("同时更新其他网页中的链接"), this);
    m_checkRelink->setObjectName(QStringLiteral("CheckRelink"));
    layout->addSpacing(6);
    layout->addWidget(m_checkRelink);

    m_command1 = new QPushButton(QStringLiteral("批量改名"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_command1);
    layout->addStretch();
    layout->addLayout(buttons);
    resize(360, 270);

    connect(m_command1, &QPushButton::clicked, this, &FrmReName::renameFiles);
}

FrmReName::~FrmReName() = default;

int FrmReName::titleSource() const {
    for (int i = 0; i < 5; ++i)
        if (m_options[i]->isChecked())
            return i;
    return 0;
}

void FrmReName::setTitleSource(int option) {
    if (option >= 0 && option < 5)
        m_options[option]->setChecked(true);
}

bool FrmReName::relinks() const {
    return m_checkRelink->isChecked();
}

void FrmReName::setRelinks(bool relink) {
    m_checkRelink->setChecked(relink);
}

void FrmReName::renameFiles() {
    if (m_running)
        return;
    m_running = true;
    m_command1->setEnabled(false);
    gen::RenameInputs in;
    if (m_explorer)
        in.list = m_explorer();
    in.source = static_cast<gen::RenameSource>(titleSource());
    in.relink = relinks();
    // The run handles events: the window may be closed and deleted before it returns.
    QPointer<FrmReName> self(this);
    auto summary = gen::RenamePagesByTitle(in, m_observer);
    if (!self)
        return;
    *m_summary = std::move(summary);
    m_command1->setEnabled(true);
    m_running = false;
    if (m_summary->renamed.empty())
        return;
    emit filesRenamed();
    if (in.relink)
        m_observer.messageBox(gen::RelinkReport(*m_summary), in.programTitle,
                              folio::MessageIcon::Information);
}

} // namespace folio::maker
