// The contents tree builder window (see frmtree.h).
#include "maker/ui/frmtree.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <utility>

namespace folio::maker {

using folio::generators::TitleSource;

Frmtree::Frmtree(QWidget* parent, folio::generators::ContentsList& contents,
                 ExplorerSource explorer, folio::Observer& observer)
    : QWidget(parent, Qt::Window), m_contents(contents), m_explorer(std::move(explorer)),
      m_observer(observer) {
    setObjectName(QStringLiteral("Frmtree"));
    setWindowTitle(QStringLiteral("目录管理"));

    m_txtSID = new QLineEdit(QStringLiteral("-1"), this);
    m_txtSID->setObjectName(QStringLiteral("TxtSID"));
    m_txtTitle = new QLineEdit(this);
    m_txtTitle->setObjectName(QStringLiteral("TxtTitle"));
    m_txtURL = new QLineEdit(this);
    m_txtURL->setObjectName(QStringLiteral("TxtURL"));
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("子编号："), m_txtSID);
    fields->addRow(QStringLiteral("标题："), m_txtTitle);
    fields->addRow(QStringLiteral("连接："), m_txtURL);

    static const char* const captions[6] = {"使用文件名称做为标题",    "使用文本文件首行做为标题",
                                            "使用HTML的Title做为标题", "使用HTML的H1为标题",
                                            "使用HTML的H2为标题",      "自定义"};
    auto* group = new QButtonGroup(this);
    auto* choices = new QVBoxLayout;
    for (int i = 0; i < 6; ++i) {
        m_options[i] = new QRadioButton(QString::fromUtf8(captions[i]), this);
        m_options[i]->setObjectName(QStringLiteral("Option%1").arg(i + 1));
        group->addButton(m_options[i], i);
        choices->addWidget(m_options[i]);
    }
    m_options[0]->setChecked(true);

    m_command1 = new QPushButton(QStringLiteral("生成"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setDefault(true);
    m_command3 = new QPushButton(QStringLiteral("取消"), this);
    m_command3->setObjectName(QStringLiteral("Command3"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_command1);
    buttons->addWidget(m_command3);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(choices);
    layout->addStretch();
    layout->addLayout(buttons);
    resize(420, 330);

    connect(m_command1, &QPushButton::clicked, this, &Frmtree::generate);
    connect(m_command3, &QPushButton::clicked, this, &QWidget::close);
}

void Frmtree::setParentEntry(const QString& id, const QString& caption) {
    m_txtSID->setText(id);
    m_txtTitle->setText(caption);
}

void Frmtree::followRenumbering(const folio::generators::Renumbering& ids) {
    const std::string sid = utf8(m_txtSID->text().trimmed());
    if (const auto found = ids.find(sid); found != ids.end())
        m_txtSID->setText(qs(found->second));
    else if (sid != "-1" && sid != "0")
        m_txtSID->setText(QStringLiteral("-1"));
}

TitleSource Frmtree::titleSource() const {
    for (int i = 0; i < 6; ++i)
        if (m_options[i]->isChecked())
            return static_cast<TitleSource>(i);
    return TitleSource::FileName;
}

void Frmtree::setTitleSource(TitleSource source) {
    m_options[static_cast<int>(source)]->setChecked(true);
}

void Frmtree::generate() {
    // The run lets the window handle events; a second click meanwhile must not start a
    // second run over the same list.
    if (m_running)
        return;
    // New entries hang under an entry that is there, or at the top level.
    const QString sid = m_txtSID->text().trimmed();
    if (!folio::generators::isExistingParent(m_contents, utf8(sid))) {
        m_observer.messageBox(
            utf8(QStringLiteral("子编号“%1”不是目录中现有目录项的编号。请在目录中点选上级目录项，"
                                "或填 -1（顶层）、0。没有添加目录项。")
                     .arg(sid)),
            folio::generators::MakerTitle, folio::MessageIcon::Exclamation);
        return;
    }
    m_running = true;
    m_command1->setEnabled(false);

    folio::generators::BuildInputs in;
    if (m_explorer)
        in.list = m_explorer();
    in.source = titleSource();
    in.sid = utf8(sid);
    in.customTitle = utf8(m_txtTitle->text());
    in.customUrl = utf8(m_txtURL->text());
    // The run handles events: the window may be closed and deleted before it returns.
    QPointer<Frmtree> self(this);
    auto summary = folio::generators::BuildContentsEntries(in, m_contents, m_observer);
    if (!self)
        return;
    m_summary = std::move(summary);

    m_command1->setEnabled(true);
    m_running = false;
    if (m_summary.added > 0)
        emit contentsChanged();
    // One message after the run. Pages that could not be read get no entry; say which, or
    // the author never learns that chapters are missing from the contents. A page that got
    // a second entry keeps both, but two entries opening one page are seldom meant.
    std::string text;
    if (!m_summary.skipped.empty()) {
        text = "以下文件不能读取，没有生成目录项：";
        for (const auto& s : m_summary.skipped)
            text += "\r\n" + s.name + "：" + s.why;
    }
    if (!m_summary.duplicates.empty()) {
        if (!text.empty())
            text += "\r\n\r\n";
        text += "以下页面在目录中已有目录项，又添加了一项：";
        for (const std::string& link : m_summary.duplicates)
            text += "\r\n" + link;
    }
    if (!text.empty())
        m_observer.messageBox(text, folio::generators::MakerTitle, folio::MessageIcon::Exclamation);
    close();
}

} // namespace folio::maker
