// The res: scheme handler (see resschemehandler.h).
#include "qt/resschemehandler.h"

#include <QBuffer>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

#include <algorithm>
#include <array>
#include <cctype>

namespace folio::qt {

QByteArray mimeTypeForName(std::string_view name) {
    struct Entry {
        std::string_view ext;
        const char* mime;
    };
    static constexpr std::array<Entry, 24> table{{
        {"html", "text/html"},
        {"htm", "text/html"},
        {"xhtml", "application/xhtml+xml"},
        {"css", "text/css"},
        {"js", "text/javascript"},
        {"txt", "text/plain"},
        {"xml", "text/xml"},
        {"jpg", "image/jpeg"},
        {"jpeg", "image/jpeg"},
        {"png", "image/png"},
        {"gif", "image/gif"},
        {"bmp", "image/bmp"},
        {"ico", "image/x-icon"},
        {"svg", "image/svg+xml"},
        {"webp", "image/webp"},
        {"mp3", "audio/mpeg"},
        {"wav", "audio/wav"},
        {"ogg", "audio/ogg"},
        {"mid", "audio/midi"},
        {"swf", "application/x-shockwave-flash"},
        {"json", "application/json"},
        {"woff", "font/woff"},
        {"ttf", "font/ttf"},
        {"ini", "text/plain"},
    }};
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos) {
        return "application/octet-stream";
    }
    std::string ext(name.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const Entry& e : table) {
        if (e.ext == ext) {
            return e.mime;
        }
    }
    return "application/octet-stream";
}

void ResSchemeHandler::registerScheme() {
    QWebEngineUrlScheme scheme(SchemeName);
    // Path syntax: there is no host for the browser to lower-case, the book's own path is
    // the path. Not local: a book's pages are untrusted and get no access to the user's
    // files (the browser refuses file: to content of other schemes). Secure and CORS-enabled
    // so that XHR between pages of the book works.
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::CorsEnabled |
                    QWebEngineUrlScheme::ContentSecurityPolicyIgnored);
    QWebEngineUrlScheme::registerScheme(scheme);
}

ResSchemeHandler::ResSchemeHandler(std::shared_ptr<const book::BookImage> book,
                                   const QString& prefix, QObject* parent)
    : QWebEngineUrlSchemeHandler(parent), m_book(std::move(book)) {
    QString p = prefix;
    if (p.startsWith(QLatin1String("res://"), Qt::CaseInsensitive)) {
        p = p.mid(6);
    }
    // The prefix is built percent-encoded; requests are matched on their decoded path.
    m_prefixPath = QUrl::fromPercentEncoding(p.toUtf8());
}

namespace {

std::optional<ResTarget> targetOf(const QUrl& url, const QString& prefixPath) {
    if (url.scheme().compare(QLatin1String(ResSchemeHandler::SchemeName), Qt::CaseInsensitive) !=
        0) {
        return std::nullopt;
    }
    const QByteArray path = url.path(QUrl::FullyDecoded).toUtf8();
    const QByteArray prefix = prefixPath.toUtf8();
    return parseResPath(std::string_view(path.constData(), path.size()),
                        std::string_view(prefix.constData(), prefix.size()));
}

} // namespace

std::optional<ResSchemeHandler::Reply> ResSchemeHandler::lookup(const QUrl& url) const {
    if (!m_book) {
        return std::nullopt;
    }
    const auto target = targetOf(url, m_prefixPath);
    if (!target) {
        return std::nullopt;
    }
    const auto data = m_book->find(target->type, target->name);
    if (!data) {
        return std::nullopt;
    }
    return Reply{mimeTypeForName(target->name), *data};
}

std::optional<QByteArray> ResSchemeHandler::missingReply(const QUrl& url) const {
    if (!m_missingPage) {
        return std::nullopt;
    }
    const auto target = targetOf(url, m_prefixPath);
    if (!target) {
        return std::nullopt;
    }
    return m_missingPage(QString::fromStdString(target->name));
}

void ResSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
    const auto reply = lookup(job->requestUrl());
    if (!reply) {
        // A failed request would show the browser's own error page, in the browser's words
        // ("res" links blocked, ERR_FILE_NOT_FOUND): a missing page gets the reader's own.
        if (auto page = missingReply(job->requestUrl())) {
            auto* buffer = new QBuffer(job);
            buffer->setData(*page);
            buffer->open(QIODevice::ReadOnly);
            job->reply(QByteArrayLiteral("text/html"), buffer);
            return;
        }
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    // The job owns the device and deletes it when the browser is done with it.
    std::unique_ptr<QIODevice> device = openBookBytes(m_book, reply->data);
    QIODevice* raw = device.release();
    raw->setParent(job);
    job->reply(reply->mimeType, raw);
}

namespace {

class BookBytesDevice : public QBuffer {
  public:
    BookBytesDevice(std::shared_ptr<const book::BookImage> book, std::span<const std::uint8_t> data)
        : m_book(std::move(book)),
          m_bytes(QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()),
                                          static_cast<qsizetype>(data.size()))) {
        setBuffer(&m_bytes);
        open(QIODevice::ReadOnly);
    }

  private:
    std::shared_ptr<const book::BookImage> m_book; // keeps the mapping alive
    QByteArray m_bytes;                            // a view of the mapped bytes
};

} // namespace

std::unique_ptr<QIODevice> openBookBytes(std::shared_ptr<const book::BookImage> book,
                                         std::span<const std::uint8_t> data) {
    return std::make_unique<BookBytesDevice>(std::move(book), data);
}

} // namespace folio::qt
