// The book a reading window shows: where it lives (program folder, resource prefix), its
// descriptor and the addresses and caption taken from it, the browser profile its pages load
// in, and the res: scheme handler serving the Book image.
#pragma once

#include "reader/ui/readerrules.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>

class QWebEngineProfile;

namespace folio::book {
class BookImage;
}
namespace folio::qt {
class ResSchemeHandler;
}

namespace folio::readerui {

class EpubSchemeHandler;

class BookSession : public QObject {
    Q_OBJECT
  public:
    // folioPage: `bookPath` is the Book image the reader treats as its own file. folioNet: the
    // program folder (or any file in it). `onlineBase` (folioNet): the library's address, empty
    // for the one from folioNet.ini.
    BookSession(Variant variant, QString bookPath, QString onlineBase, QObject* parent);
    ~BookSession() override;

    // folioPage: opens the Book image and reads its descriptor; false when the book or its
    // descriptor cannot be used (the window then shows the about page). folioNet: settles the
    // library's address and the home page; always true.
    bool open();

    Variant variant() const { return m_variant; }
    QString bookPath() const { return m_bookPath; }
    QString programFolder() const { return m_programFolder; }
    QString resourcePrefix() const { return m_prefix; }
    QString descriptorText() const { return m_descriptorText; }
    QStringList descriptorFields() const { return m_descriptorFields; }
    // The caption open() settled on.
    QString caption() const { return m_caption; }
    QString contentsAddress() const { return m_contentsAddress; }
    QString homeAddress() const { return m_homeAddress; }
    QString shelfAddress() const { return m_shelfAddress; }
    QString onlineBase() const { return m_onlineBase; }
    // The open Book image (folioPage, after a successful open()), else null.
    const std::shared_ptr<const book::BookImage>& book() const { return m_book; }
    QWebEngineProfile* profile() const { return m_profile; }

    // An address as the panes should load it: a bare page name (bookmarks kept by older
    // readers hold "index.html") means a page of this book.
    QUrl addressUrl(const QString& address) const;
    // Lets the pages reach the site of an address the reader chose himself.
    void allowWebAddress(const QString& address);

  private:
    bool openBookImage();
    // folioPage given an .epub: read in place from its zip.
    bool openEpub();
    void openOnline();

    Variant m_variant;
    QString m_bookPath;
    QString m_programFolder;
    QString m_prefix;
    QString m_descriptorText;
    QStringList m_descriptorFields;
    QString m_caption;
    QString m_contentsAddress;
    QString m_homeAddress;
    QString m_shelfAddress; // nothing sets it: the bookshelf button of the offline reader is idle
    QString m_onlineBase;
    std::shared_ptr<const book::BookImage> m_book;
    QWebEngineProfile* m_profile = nullptr;
    folio::qt::ResSchemeHandler* m_handler = nullptr;
    EpubSchemeHandler* m_epubHandler = nullptr;
};

} // namespace folio::readerui
