// The res: scheme for the browser panes: serves the pages of the one open Book image, straight
// from its memory-mapped file.
#pragma once

#include "book.h"
#include "pe.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

class QWebEngineUrlRequestJob;

namespace folio::qt {

// What a res: path names inside the open book.
struct ResTarget {
    pe::ResourceId type; // the page type 2110 unless the path names one
    std::string name;    // as written in the address (matched without regard to case)
};

// Splits a decoded res: path against the open book's own path prefix ("/folder/book.exe/"):
// prefix + name names a page (type 2110), prefix + type + "/" + name names a type ("#2110", a
// number or a string). Anything else, including another file's path, is no target.
std::optional<ResTarget> parseResPath(std::string_view path, std::string_view bookPrefixPath);

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

    const std::shared_ptr<const book::BookImage>& book() const { return m_book; }
    const QString& prefixPath() const { return m_prefixPath; }

  private:
    std::shared_ptr<const book::BookImage> m_book;
    QString m_prefixPath; // the prefix without "RES://", e.g. "/books/book.exe/"
};

// A read-only device over bytes inside the mapped book that keeps the book alive while the
// browser or the player reads from it (no copy of the data).
std::unique_ptr<class QIODevice> openBookBytes(std::shared_ptr<const book::BookImage> book,
                                               std::span<const std::uint8_t> data);

} // namespace folio::qt
