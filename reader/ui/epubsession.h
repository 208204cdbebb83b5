// An EPUB book read in place from its zip: the package's title, author, first page and
// navigation document, and the res: handler that serves its files to the panes, confined to
// the one open book as the Book image's handler is.
#pragma once

#include "core/error.h"

#include <QByteArray>
#include <QString>
#include <QWebEngineUrlSchemeHandler>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class QWebEngineUrlRequestJob;

namespace folio::readerui {

// A path the reader opens as an EPUB book (its name ends in ".epub", in any case).
bool isEpubPath(const QString& path);

// The resource prefix of an EPUB book: "RES://" + folder + "/" + file name + "/"; its files
// are the prefix followed by their names in the zip.
QString epubPrefix(const QString& folder, const QString& fileName);

class EpubBook {
  public:
    // Opens the zip and reads META-INF/container.xml and the package document it names. A
    // file that is no EPUB (no container, no package, no page in its spine) is an error
    // naming it.
    static Result<std::shared_ptr<const EpubBook>> open(const std::string& path);
    ~EpubBook();
    EpubBook(const EpubBook&) = delete;
    EpubBook& operator=(const EpubBook&) = delete;

    // The bytes of the entry named `name` in the zip; nullopt for a name it lacks.
    std::optional<QByteArray> read(const std::string& name) const;

    const QString& title() const { return m_title; }
    const QString& author() const { return m_author; }
    const std::string& firstPage() const { return m_firstPage; } // the spine's first page
    const std::string& navigation() const { return m_nav; }      // "" when it has none

  private:
    EpubBook() = default;
    struct Entry {
        unsigned long long offset = 0, number = 0; // minizip's place of the entry
        unsigned long long size = 0;
    };
    void* m_zip = nullptr;
    std::map<std::string, Entry> m_entries;
    mutable std::mutex m_mutex; // one entry read at a time from the one zip
    QString m_title, m_author;
    std::string m_firstPage, m_nav;
};

class EpubSchemeHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
  public:
    // Serves `book`'s entries under `prefix` (epubPrefix); everything else fails.
    EpubSchemeHandler(std::shared_ptr<const EpubBook> book, const QString& prefix,
                      QObject* parent = nullptr);
    void requestStarted(QWebEngineUrlRequestJob* job) override;

  private:
    std::shared_ptr<const EpubBook> m_book;
    QString m_prefixPath; // the prefix without "RES://"
};

} // namespace folio::readerui
