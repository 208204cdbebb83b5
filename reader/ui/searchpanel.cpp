// The search panel of the reading window: text box, button, result list and status line, with
// the search itself on a worker thread so the window keeps answering.
#include "reader/ui/searchpanel.h"

#include "core/book.h"
#include "qt/language.h"
#include "reader/core/pagefind.h"
#include "reader/ui/uitext.h"

#include <QFile>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtConcurrent/QtConcurrentRun>

namespace folio::readerui {

namespace {

constexpr int NameRole = Qt::UserRole;

} // namespace

SearchPanel::SearchPanel(QWidget* parent, QString programFolder)
    : QWidget(parent), m_programFolder(std::move(programFolder)) {
    setObjectName("SearchPanel");
    setAutoFillBackground(true);

    m_text = new QLineEdit(this);
    m_text->setObjectName("TxtSearch");
    m_text->setClearButtonEnabled(true);
    // The texts come from the language file's own keys for this panel (see retranslate), with
    // built-in ones where a file older than the panel lacks them. The button and the status line
    // stay unnamed: the language walk would give a named button or label the key's name.
    m_button = new QPushButton(this);
    auto* close = m_close = new QToolButton(this);
    close->setObjectName("CmdSearchClose");
    close->setText(QStringLiteral("×"));
    close->setAutoRaise(true);
    m_list = new QListWidget(this);
    m_list->setObjectName("LstSearch");
    m_list->setWordWrap(true);
    m_list->setAlternatingRowColors(true);
    m_status = new QLabel(this);
    m_status->setWordWrap(true);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_text, 1);
    row->addWidget(m_button);
    row->addWidget(close);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(4);
    column->addLayout(row);
    column->addWidget(m_list, 1);
    column->addWidget(m_status);

    connect(m_text, &QLineEdit::returnPressed, this, &SearchPanel::startSearch);
    connect(m_button, &QPushButton::clicked, this, &SearchPanel::startSearch);
    connect(close, &QToolButton::clicked, this, &QWidget::hide);
    // A click opens the page; so do Enter and a double click (activation).
    connect(m_list, &QListWidget::itemClicked, this, &SearchPanel::choose);
    connect(m_list, &QListWidget::itemActivated, this, &SearchPanel::choose);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, &QWidget::hide);
    connect(&m_watcher, &QFutureWatcherBase::finished, this, [this] {
        // Only the latest search counts, and only for the book it was asked of: a search of a
        // book let go was stopped, and its empty result says nothing of the book set now.
        if (m_pendingId != m_searchId)
            return;
        if (m_pendingSession.lock() != m_session) {
            // The folder was looked at again while the search ran: it runs on the fresh one.
            runSearch(m_pendingText);
            return;
        }
        showResults(m_watcher.result(), m_pendingText);
    });
    retranslate();
}

SearchPanel::~SearchPanel() {
    dropSession();
}

QString SearchPanel::languageText(const reader::ReaderText& text) const {
    return folio::qt::CurrentLanguageText(m_programFolder, text.key, text.fallback);
}

void SearchPanel::retranslate() {
    m_text->setPlaceholderText(languageText(reader::SearchHint));
    m_button->setText(languageText(reader::SearchButtonText));
    m_close->setToolTip(languageText(reader::SearchCloseText));
}

void SearchPanel::dropSession() {
    // A build or search under way still holds the session; told to stop, it ends after the
    // page it is on, and nobody waits for it here.
    if (m_session)
        m_session->search.cancel();
    m_session.reset();
}

void SearchPanel::startIndex() {
    // The pages' text is ready before anyone types; a search started meanwhile waits for it.
    (void)QtConcurrent::run([session = m_session] { session->search.buildIndex(); });
}

void SearchPanel::forget() {
    ++m_searchId; // a search still running is of what was searched before
    m_list->clear();
    m_status->clear();
    m_folder.clear();
    dropSession();
}

void SearchPanel::setBook(std::shared_ptr<const book::BookImage> book) {
    forget();
    if (!book)
        return;
    m_session = std::make_shared<Session>(std::move(book));
    startIndex();
}

void SearchPanel::setFolder(const QString& folder) {
    forget();
    m_folder = folder;
    if (!folder.isEmpty())
        indexFolder();
}

void SearchPanel::indexFolder() {
    dropSession();
    m_session =
        std::make_shared<Session>(std::filesystem::path(QFile::encodeName(m_folder).toStdString()));
    startIndex();
}

void SearchPanel::search(const QString& text) {
    m_text->setText(text);
    startSearch();
}

void SearchPanel::startSearch() {
    const QString text = m_text->text();
    ++m_searchId; // whatever runs still is no longer wanted
    if (!m_session) {
        m_list->clear();
        m_status->setText(languageText(reader::SearchNoBook));
        return;
    }
    if (text.trimmed().isEmpty()) {
        m_list->clear();
        m_status->clear();
        return;
    }
    runSearch(text);
}

void SearchPanel::runSearch(const QString& text) {
    m_pendingText = text;
    m_pendingId = m_searchId;
    m_pendingSession = m_session;
    m_status->setText(languageText(reader::SearchBusy));
    // A search still running is left to finish; only the latest one is shown.
    m_watcher.setFuture(QtConcurrent::run([session = m_session, needle = text.toStdString()] {
        return session->search.find(needle);
    }));
}

void SearchPanel::showResults(const std::vector<reader::SearchHit>& hits, const QString& searched) {
    m_list->clear();
    const reader::ReaderTextLookup text = [this](const reader::ReaderText& t) {
        return languageText(t).toStdString();
    };
    for (const reader::SearchHit& hit : hits) {
        auto* item = new QListWidgetItem(
            qs(reader::searchHitHeading(hit, text)) + QLatin1Char('\n') + qs(hit.snippet), m_list);
        item->setData(NameRole, qs(hit.name));
        item->setToolTip(qs(hit.name));
    }
    m_lastText = searched.simplified();
    m_status->setText(qs(reader::searchStatusText(hits, utf8(m_lastText), text)));
    emit searchFinished(static_cast<int>(hits.size()));
}

void SearchPanel::choose(QListWidgetItem* item) {
    if (!item)
        return;
    // A click that also activates the item opens the page once.
    if (item == m_lastChosen && m_chosenAt.isValid() && m_chosenAt.elapsed() < 500)
        return;
    m_lastChosen = item;
    m_chosenAt.start();
    emit pageChosen(item->data(NameRole).toString(), m_lastText);
}

void SearchPanel::activate() {
    retranslate(); // the language may have changed since
    // The online reader's folder holds the pages fetched since the last look.
    if (!m_folder.isEmpty() && !isVisible())
        indexFolder();
    show();
    raise();
    emit activated();
    m_text->setFocus(Qt::ShortcutFocusReason);
    m_text->selectAll();
}

void SearchPanel::placeIn(const QRect& contentsPane) {
    const int height =
        std::min(contentsPane.height(), std::max(220, contentsPane.height() * 55 / 100));
    setGeometry(contentsPane.left(), contentsPane.bottom() + 1 - height, contentsPane.width(),
                height);
    raise();
}

void SearchPanel::openHighlighted(QWebEngineView* view, const QUrl& url, const QString& text,
                                  std::function<void(int matches)> done) {
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(
        view, &QWebEngineView::loadFinished, view, [view, text, done, connection](bool ok) {
            QObject::disconnect(*connection);
            if (!ok || text.isEmpty()) {
                if (done)
                    done(0);
                return;
            }
            view->page()->findText(text, {}, [done](const QWebEngineFindTextResult& result) {
                if (done)
                    done(result.numberOfMatches());
            });
        });
    view->load(url);
}

} // namespace folio::readerui
