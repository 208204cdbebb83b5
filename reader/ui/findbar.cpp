// Find in page (see findbar.h).
#include "reader/ui/findbar.h"

#include "qt/language.h"
#include "reader/core/pagefind.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QToolButton>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace folio::readerui {

FindBar::FindBar(QWidget* window, QWebEngineView* view, QString programFolder)
    : QFrame(window), m_view(view), m_programFolder(std::move(programFolder)) {
    setObjectName(QStringLiteral("FindBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 2, 6, 2);
    row->setSpacing(6);

    // The captions come from the language file's keys (see retranslate), with the built-in
    // texts where a file older than the bar lacks them; the generic walk would show a missing
    // key's name, so it is kept off these controls (the label is unnamed, the buttons are
    // tool buttons).
    m_label = new QLabel(this);
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("TextFind"));
    m_text->setClearButtonEnabled(true);
    m_text->setMinimumWidth(160);
    m_text->installEventFilter(this);
    m_previous = new QToolButton(this);
    m_previous->setObjectName(QStringLiteral("CommandFindPrevious"));
    m_next = new QToolButton(this);
    m_next->setObjectName(QStringLiteral("CommandFindNext"));
    m_close = new QToolButton(this);
    m_close->setObjectName(QStringLiteral("CommandFindClose"));
    // The status changes with every search: its texts are looked up when shown.
    m_status = new QLabel(this);
    m_status->setMinimumWidth(90);
    for (QToolButton* b : {m_previous, m_next, m_close}) {
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        b->setFocusPolicy(Qt::NoFocus);
    }
    retranslate();

    row->addWidget(m_label);
    row->addWidget(m_text, 1);
    row->addWidget(m_previous);
    row->addWidget(m_next);
    row->addWidget(m_status);
    row->addStretch();
    row->addWidget(m_close);

    connect(m_text, &QLineEdit::returnPressed, this, &FindBar::findNext);
    // Typing searches as it goes, from the top of the page.
    connect(m_text, &QLineEdit::textEdited, this, [this] { find(false); });
    connect(m_next, &QToolButton::clicked, this, &FindBar::findNext);
    connect(m_previous, &QToolButton::clicked, this, &FindBar::findPrevious);
    connect(m_close, &QToolButton::clicked, this, &FindBar::close);
    hide();
}

QString FindBar::text() const {
    return m_text->text();
}

QString FindBar::status() const {
    return m_status->text();
}

void FindBar::retranslate() {
    m_label->setText(languageText(reader::FindLabel));
    m_previous->setText(languageText(reader::FindPreviousText));
    m_next->setText(languageText(reader::FindNextText));
    m_close->setText(languageText(reader::FindCloseText));
}

void FindBar::open() {
    const bool wasHidden = isHidden();
    if (wasHidden) {
        retranslate(); // the language may have changed since
    }
    show();
    raise();
    m_text->setFocus();
    m_text->selectAll();
    if (wasHidden) {
        emit visibilityChanged();
    }
}

bool FindBar::close() {
    if (isHidden()) {
        return false;
    }
    hide();
    m_view->findText(QString()); // clears the marks
    m_status->clear();
    m_matches = m_active = 0;
    m_view->setFocus();
    emit visibilityChanged();
    return true;
}

void FindBar::findNext() {
    find(false);
}

void FindBar::findPrevious() {
    find(true);
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_text && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return && (key->modifiers() & Qt::ShiftModifier)) {
            findPrevious();
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

QString FindBar::languageText(const reader::ReaderText& text) const {
    return folio::qt::CurrentLanguageText(m_programFolder, text.key, text.fallback);
}

void FindBar::find(bool backward) {
    if (isHidden()) {
        open();
    }
    const QString wanted = m_text->text();
    if (wanted.isEmpty()) {
        m_view->findText(QString());
        m_status->clear();
        m_matches = m_active = 0;
        emit searched();
        return;
    }
    QWebEnginePage::FindFlags flags;
    if (backward) {
        flags |= QWebEnginePage::FindBackward;
    }
    QPointer<FindBar> self(this);
    m_view->findText(wanted, flags, [self, wanted](const QWebEngineFindTextResult& result) {
        if (!self || self->m_text->text() != wanted) {
            return; // a later search answers for itself
        }
        self->m_matches = result.numberOfMatches();
        self->m_active = result.activeMatch();
        self->m_status->setText(QString::fromStdString(reader::findStatusText(
            self->m_active, self->m_matches,
            [&](const reader::ReaderText& t) { return self->languageText(t).toStdString(); })));
        emit self->searched();
    });
}

} // namespace folio::readerui
