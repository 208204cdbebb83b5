// The page-to-text window (see frmhtmltotxt.h).
#include "maker/ui/frmhtmltotxt.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <utility>

namespace folio::maker {

namespace gen = folio::generators;

FrmHtmlToTxt::FrmHtmlToTxt(QWidget* parent, ExplorerSource explorer, folio::Observer& observer)
    : QWidget(parent, Qt::Window), m_explorer(std::move(explorer)), m_observer(observer) {
    setObjectName(QStringLiteral("FrmHtmlToTxt"));
    setWindowTitle(QStringLiteral("HtmlToTxt"));

    m_option1 = new QRadioButton(QStringLiteral("Title"), this);
    m_option1->setObjectName(QStringLiteral("Option1"));
    m_option2 = new QRadioButton(QStringLiteral("H1"), this);
    m_option2->setObjectName(QStringLiteral("Option2"));
    auto* group = new QButtonGroup(this);
    group->addButton(m_option1);
    group->addButton(m_option2);
    m_option2->setChecked(true);
    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(new QLabel(QStringLiteral("标题提取："), this));
    titleRow->addWidget(m_option1);
    titleRow->addWidget(m_option2);
    titleRow->addStretch();

    m_text1 = new QLineEdit(this);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text2 = new QLineEdit(this);
    m_text2->setObjectName(QStringLiteral("Text2"));
    auto* bodyRow = new QHBoxLayout;
    bodyRow->addWidget(new QLabel(QStringLiteral("正文截取："), this));
    bodyRow->addWidget(m_text1, 1);
    bodyRow->addWidget(m_text2, 1);

    m_text3 = new QPlainTextEdit(this);
    m_text3->setObjectName(QStringLiteral("Text3"));
    auto* removeRow = new QHBoxLayout;
    auto* removeLabel = new QLabel(QStringLiteral("剔除内容："), this);
    removeLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    removeRow->addWidget(removeLabel);
    removeRow->addWidget(m_text3, 1);

    m_command1 = new QPushButton(QStringLiteral("转换"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_command1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(titleRow);
    layout->addLayout(bodyRow);
    layout->addLayout(removeRow, 1);
    layout->addLayout(buttons);
    resize(480, 300);

    connect(m_command1, &QPushButton::clicked, this, &FrmHtmlToTxt::convert);
}

gen::PagesToTextInputs FrmHtmlToTxt::inputs() const {
    gen::PagesToTextInputs in;
    if (m_explorer)
        in.list = m_explorer();
    in.titleFrom = m_option1->isChecked() ? gen::TitleElement::Title : gen::TitleElement::H1;
    in.startMarker = utf8(m_text1->text());
    in.endMarker = utf8(m_text2->text());
    // A multi-line box holds its lines with CR LF, the line end of the pages it is matched
    // against.
    QString removeList = m_text3->toPlainText();
    removeList.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    in.removeList = utf8(removeList);
    return in;
}

void FrmHtmlToTxt::convert() {
    if (m_running)
        return;
    m_running = true;
    m_command1->setEnabled(false);
    // The run handles events: the window may be closed and deleted before it returns.
    QPointer<FrmHtmlToTxt> self(this);
    const auto result = gen::ConvertPagesToText(inputs(), m_observer);
    if (!self)
        return;
    m_written = result ? result->written : std::vector<std::string>{};
    m_command1->setEnabled(true);
    m_running = false;
    if (!m_written.empty())
        emit filesWritten();
    // A failed run has shown its message naming the file; the window stays for another try.
    if (result)
        hide();
}

} // namespace folio::maker
