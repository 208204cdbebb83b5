// The book a reading window shows (see booksession.h).
#include "reader/ui/booksession.h"

#include "core/book.h"
#include "fetch/netsettings.h"
#include "qt/resschemehandler.h"
#include "reader/ui/epubsession.h"
#include "reader/ui/pagepolicy.h"
#include "reader/ui/uitext.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

namespace folio::readerui {

BookSession::BookSession(Variant variant, QString bookPath, QString onlineBase, QObject* parent)
    : QObject(parent), m_variant(variant), m_onlineBase(std::move(onlineBase)) {
    m_bookPath = bookPath.isEmpty() ? QCoreApplication::applicationFilePath() : bookPath;
    // The program folder is the book's folder: its settings files and skin sit beside it.
    const QFileInfo info(m_bookPath);
    m_programFolder =
        m_variant == Variant::Net && info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    m_prefix = m_variant == Variant::Page
                   ? qs(book::resourcePrefix(utf8(m_programFolder), utf8(info.fileName())))
                   : qs(localPrefix(utf8(m_programFolder)));
    if (m_variant == Variant::Page && isEpubPath(m_bookPath))
        m_prefix = epubPrefix(m_programFolder, info.fileName());

    m_profile = new QWebEngineProfile(this);
    // Pages are untrusted: they reach the book and the addresses allowed below, nothing else.
    folio::readerui::guardPages(m_profile, m_prefix);
    if (m_variant == Variant::Net) {
        // The online book is kept as files: its pages need their own style sheets and
        // pictures, which the request guard still confines to the program folder.
        m_profile->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls,
                                            true);
    }
    m_caption =
        m_variant == Variant::Net ? QStringLiteral("folioNet") : QStringLiteral("folioPage");
}

BookSession::~BookSession() = default;

bool BookSession::open() {
    if (m_variant == Variant::Net) {
        openOnline();
        return true;
    }
    return openBookImage();
}

bool BookSession::openBookImage() {
    if (isEpubPath(m_bookPath))
        return openEpub();
    auto opened = book::BookImage::open(utf8(m_bookPath));
    if (!opened) {
        return false;
    }
    m_book = std::shared_ptr<const book::BookImage>(std::move(*opened));
    if (!m_handler) {
        m_handler = new folio::qt::ResSchemeHandler(m_book, m_prefix, this);
        // A link to a page the book lacks says so in the reader's words and offers the way
        // back, instead of the browser's error.
        m_handler->setMissingPage([this](const QString& name) -> std::optional<QByteArray> {
            if (!showsMissingPage(utf8(name)))
                return std::nullopt;
            return QByteArray::fromStdString(
                missingPageHtml(utf8(name), utf8(m_homeAddress), readerTexts(m_programFolder)));
        });
        m_profile->installUrlSchemeHandler(folio::qt::ResSchemeHandler::SchemeName, m_handler);
    }
    auto text = m_book->descriptor();
    if (!text) {
        return false;
    }
    m_descriptorText = qs(*text);
    m_descriptorFields.clear();
    for (const std::string& f : book::splitDescriptor(*text)) {
        m_descriptorFields << qs(f);
    }
    folio::readerui::PageRequestGuard::of(m_profile)->policy().allowDescriptorAddresses(
        m_descriptorFields);
    auto addresses = book::readerAddresses(*text, utf8(m_prefix));
    if (!addresses) {
        return false;
    }
    m_caption = qs(addresses->caption);
    m_contentsAddress = qs(addresses->contentsUrl);
    m_homeAddress = qs(addresses->homeUrl);
    return true;
}

bool BookSession::openEpub() {
    auto opened = EpubBook::open(utf8(m_bookPath));
    if (!opened || (*opened)->navigation().empty())
        return false;
    const std::shared_ptr<const EpubBook> epub = std::move(*opened);
    if (!m_epubHandler) {
        m_epubHandler = new EpubSchemeHandler(epub, m_prefix, this);
        m_profile->installUrlSchemeHandler(folio::qt::ResSchemeHandler::SchemeName, m_epubHandler);
    }
    // The same panes as a Book image's: the navigation document in the contents pane, the
    // spine's first page in the page pane.
    m_caption = QStringLiteral("folioPage-") + epub->title() + QLatin1Char('-') + epub->author();
    m_contentsAddress = m_prefix + qs(epub->navigation());
    m_homeAddress = m_prefix + qs(epub->firstPage());
    return true;
}

void BookSession::openOnline() {
    if (m_onlineBase.isEmpty()) {
        // The settings lie beside the book; a book folder without them uses the ones beside
        // the program.
        QString folder = m_programFolder;
        if (!QFileInfo::exists(
                QDir(folder).filePath(qs(std::string(fetch::NetSettingsFileName))))) {
            folder = QCoreApplication::applicationDirPath();
        }
        m_onlineBase = qs(fetch::readNetSettings(utf8(folder)).libraryBase);
    }
    allowWebAddress(m_onlineBase);
    m_contentsAddress = m_prefix + QStringLiteral("tree/tree.html");
    m_homeAddress = m_prefix + QStringLiteral("index.html");
}

QUrl BookSession::addressUrl(const QString& address) const {
    const QUrl url(address);
    return url.isRelative() ? QUrl(m_prefix).resolved(url) : url;
}

void BookSession::allowWebAddress(const QString& address) {
    folio::readerui::PageRequestGuard::of(m_profile)->policy().allowWebAddress(address);
}

} // namespace folio::readerui
