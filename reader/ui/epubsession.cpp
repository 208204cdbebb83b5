// Reading an EPUB book from its zip (minizip) for the reading window's panes.
#include "reader/ui/epubsession.h"

#include "qt/resschemehandler.h"

#include <QBuffer>
#include <QUrl>
#include <QWebEngineUrlRequestJob>
#include <QXmlStreamReader>

#include <unzip.h>

namespace folio::readerui {

namespace {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// An href of the package document as the name of its entry: relative to the package's
// folder, escapes decoded, "./" and "../" resolved.
std::string entryName(const std::string& base, const QString& href) {
    const QUrl resolved =
        QUrl(QStringLiteral("zip:///") + QString::fromStdString(base)).resolved(QUrl(href));
    return resolved.path(QUrl::FullyDecoded).mid(1).toStdString();
}

} // namespace

bool isEpubPath(const QString& path) {
    return path.endsWith(QLatin1String(".epub"), Qt::CaseInsensitive);
}

QString epubPrefix(const QString& folder, const QString& fileName) {
    return QStringLiteral("RES://") + folder + QLatin1Char('/') + fileName + QLatin1Char('/');
}

Result<std::shared_ptr<const EpubBook>> EpubBook::open(const std::string& path) {
    std::shared_ptr<EpubBook> book(new EpubBook);
    book->m_zip = unzOpen64(path.c_str());
    if (!book->m_zip)
        return fail(path + ": not a zip, so no EPUB book");
    auto* zip = static_cast<unzFile>(book->m_zip);
    for (int r = unzGoToFirstFile(zip); r == UNZ_OK; r = unzGoToNextFile(zip)) {
        unz_file_info64 info{};
        char name[4096];
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) !=
            UNZ_OK)
            return fail(path + ": its zip directory cannot be read");
        unz64_file_pos pos{};
        unzGetFilePos64(zip, &pos);
        book->m_entries[name] =
            Entry{pos.pos_in_zip_directory, pos.num_of_file, info.uncompressed_size};
    }

    const auto container = book->read("META-INF/container.xml");
    if (!container)
        return fail(path + ": no META-INF/container.xml, so no EPUB book");
    std::string package;
    for (QXmlStreamReader xml(*container); !xml.atEnd();)
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"rootfile") {
            package = xml.attributes().value(QStringLiteral("full-path")).toString().toStdString();
            break;
        }
    const auto opf = package.empty() ? std::nullopt : book->read(package);
    if (!opf)
        return fail(path + ": the package document \"" + package + "\" is missing");

    const std::string base = folderOf(package);
    std::map<QString, std::string> hrefOf; // manifest id -> entry
    QString firstId;
    for (QXmlStreamReader xml(*opf); !xml.atEnd();) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto a = xml.attributes();
        if (xml.name() == u"title" && book->m_title.isEmpty()) {
            book->m_title = xml.readElementText().trimmed();
        } else if (xml.name() == u"creator" && book->m_author.isEmpty()) {
            book->m_author = xml.readElementText().trimmed();
        } else if (xml.name() == u"item") {
            const std::string entry = entryName(base, a.value(QStringLiteral("href")).toString());
            hrefOf[a.value(QStringLiteral("id")).toString()] = entry;
            if (a.value(QStringLiteral("properties")).split(u' ').contains(u"nav"))
                book->m_nav = entry;
        } else if (xml.name() == u"itemref" && firstId.isEmpty() &&
                   a.value(QStringLiteral("linear")) != u"no") {
            firstId = a.value(QStringLiteral("idref")).toString();
        }
    }
    const auto first = hrefOf.find(firstId);
    if (first == hrefOf.end())
        return fail(path + ": its spine names no page");
    book->m_firstPage = first->second;
    return std::shared_ptr<const EpubBook>(std::move(book));
}

EpubBook::~EpubBook() {
    if (m_zip)
        unzClose(static_cast<unzFile>(m_zip));
}

std::optional<QByteArray> EpubBook::read(const std::string& name) const {
    const auto it = m_entries.find(name);
    if (it == m_entries.end())
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    auto* zip = static_cast<unzFile>(m_zip);
    unz64_file_pos pos{it->second.offset, it->second.number};
    if (unzGoToFilePos64(zip, &pos) != UNZ_OK || unzOpenCurrentFile(zip) != UNZ_OK)
        return std::nullopt;
    QByteArray data(static_cast<qsizetype>(it->second.size), Qt::Uninitialized);
    const int n = unzReadCurrentFile(zip, data.data(), static_cast<unsigned>(data.size()));
    // A damaged entry (a bad checksum) is no page: the pane shows nothing rather than part.
    const bool whole = unzCloseCurrentFile(zip) == UNZ_OK && n == data.size();
    return whole ? std::optional<QByteArray>(data) : std::nullopt;
}

EpubSchemeHandler::EpubSchemeHandler(std::shared_ptr<const EpubBook> book, const QString& prefix,
                                     QObject* parent)
    : QWebEngineUrlSchemeHandler(parent), m_book(std::move(book)),
      m_prefixPath(QUrl(prefix).path(QUrl::FullyDecoded)) {}

void EpubSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
    const QString path = job->requestUrl().path(QUrl::FullyDecoded);
    if (!m_book || !path.startsWith(m_prefixPath)) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    const std::string name = path.mid(m_prefixPath.size()).toStdString();
    auto data = m_book->read(name);
    if (!data) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    auto* buffer = new QBuffer(job);
    buffer->setData(std::move(*data));
    job->reply(folio::qt::mimeTypeForName(name), buffer);
}

} // namespace folio::readerui
