// The res: scheme for the browser panes: serves the pages of the one open Book image, straight
// from its memory-mapped file.
#pragma once

#include "core/book.h"
#include "core/pe.h"
#include "qt/respath.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

class QWebEngineUrlRequestJob;

namespace folio::qt {

// MIME type of a resource by its file extension (case ignored); "application/octet-stream"
// for an unknown one.
QByteArray mimeTypeForName(std::string_view name);

class ResSchemeHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
  public:
    static constexpr const char* SchemeName = "res";

    // Must run before the QApplication is created.
    static void registerScheme();

    // Serves `book`'s resources under `prefix`, the reader's resource prefix ("RES://" +
    // folder + "/" + name + ".exe/"). A null book serves nothing.
    ResSchemeHandler(std::shared_ptr<const book::BookImage> book, const QString& prefix,
                     QObject* parent = nullptr);

    struct Reply {
        QByteArray mimeType;
        std::span<const std::uint8_t> data; // inside the mapped book
    };

    // The lookup path of a request: URL to bytes, without the browser.
    std::optional<Reply> lookup(const QUrl& url) const;

    void requestStarted(QWebEngineUrlRequestJob* job) override;

    // The page (HTML) served in place of a name the book lacks, given the name the address
    // asked for; nullopt (or no such function) fails the request, and the browser shows its
    // own error.
    using MissingPage = std::function<std::optional<QByteArray>(const QString& name)>;
    void setMissingPage(MissingPage page) { m_missingPage = std::move(page); }
    // The reply for `url` when the book lacks it, for an address of the book, else nothing.
    std::optional<QByteArray> missingReply(const QUrl& url) const;

    const std::shared_ptr<const book::BookImage>& book() const { return m_book; }
    const QString& prefixPath() const { return m_prefixPath; }

  private:
    std::shared_ptr<const book::BookImage> m_book;
    QString m_prefixPath; // the prefix without "RES://", e.g. "/books/book.exe/"
    MissingPage m_missingPage;
};

// A read-only device over bytes inside the mapped book that keeps the book alive while the
// browser or the player reads from it (no copy of the data).
std::unique_ptr<class QIODevice> openBookBytes(std::shared_ptr<const book::BookImage> book,
                                               std::span<const std::uint8_t> data);

} // namespace folio::qt
