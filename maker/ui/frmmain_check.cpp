// The workbench's check: "检查" shows the project's findings in FrmCheck, the compile asks
// before it builds a book with errors, and a finding opens its file in the code view.
#include "maker/check/checkproject.h"
#include "maker/ui/frmcheck.h"
#include "maker/ui/frmmain.h"
#include "maker/ui/pagelistpanel.h"
#include "qt/uitext.h"

#include <QColor>
#include <QPlainTextEdit>
#include <QTextBlock>

namespace folio::maker {

using folio::qt::qs;
using folio::qt::utf8;

namespace {

// The check of the open project as a compile of `entries` would make the book; none (all the
// project's files, as the command line compiles them) for an empty or whole selection.
std::optional<check::CheckReport> checked(const project::MakerState& state,
                                          std::optional<std::vector<std::string>> entries,
                                          Observer& observer) {
    check::CheckInputs in;
    in.projectFolder = state.openFolder;
    in.settings = state.settings;
    in.selected = std::move(entries);
    auto report = check::CheckProject(in);
    if (!report) {
        observer.messageBox("无法检查工程：" + report.error().message, "检查",
                            MessageIcon::Critical);
        return std::nullopt;
    }
    return std::move(*report);
}

} // namespace

void Frmmain::checkProject() {
    readFields();
    if (m_state.openFolder.empty())
        return;
    const project::PageSelection selection = m_pages->selection();
    std::optional<std::vector<std::string>> entries;
    if (!selection.whole && !selection.names.empty())
        entries = selection.names;
    if (auto report = checked(m_state, std::move(entries), m_observer))
        showCheckReport(*report);
}

bool Frmmain::checkBeforeCompile(const std::vector<std::string>& entries) {
    const auto report = checked(m_state, entries, m_observer);
    if (!report || check::compileDespiteFindings(*report, m_observer))
        return true;
    showCheckReport(*report);
    return false;
}

void Frmmain::showCheckReport(const check::CheckReport& report) {
    if (!m_frmCheck) {
        m_frmCheck = new FrmCheck(this);
        connect(m_frmCheck, &FrmCheck::openAt, this, &Frmmain::openAtLine);
    }
    m_frmCheck->showReport(report, qs(m_state.openFolder));
    m_frmCheck->show();
    m_frmCheck->raise();
}

void Frmmain::openAtLine(const QString& path, int line) {
    openPage(path);
    selectTab(4); // "代码"
    QTextCursor cursor(m_richTextBox1->document()->findBlockByNumber(std::max(0, line - 1)));
    m_richTextBox1->setTextCursor(cursor);
    m_richTextBox1->centerCursor();
    // The finding's line stands out until another page is shown.
    QTextEdit::ExtraSelection mark;
    mark.cursor = cursor;
    mark.format.setBackground(QColor(255, 236, 160));
    mark.format.setProperty(QTextFormat::FullWidthSelection, true);
    m_richTextBox1->setExtraSelections({mark});
    m_richTextBox1->setFocus();
}

} // namespace folio::maker
