// What the pages of a book may reach: the book itself, and the web only where the book's own
// descriptor or the reader's settings name an address. Pages are untrusted content.
#pragma once

#include "reader/core/pagerule.h"

#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWebEngineUrlRequestInterceptor>

class QWebEngineProfile;

namespace folio::readerui {

// The decision itself, without a browser: the readers' one page rule, in Qt's terms.
class PagePolicy {
  public:
    // Where the book's pages live: "RES://<folder>/<name>.exe/" (a Book image, served by the
    // res: handler) or "file:///<library folder>/" (the online reader's kept pages).
    void setBookPrefix(const QString& prefix);
    // Lets pages reach the site of this http(s) address (scheme, host and port); anything
    // else is ignored.
    void allowWebAddress(const QString& address);
    // The web addresses a descriptor names (update, bookshelf, advert, web site fields).
    void allowDescriptorAddresses(const QStringList& descriptorFields);

    // Whether a page may load `url`, in any element or request.
    bool allows(const QUrl& url) const;

  private:
    folio::reader::PageRule m_rule;
};

// Blocks every request of the profile's pages that the policy forbids.
class PageRequestGuard : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
  public:
    explicit PageRequestGuard(QObject* parent = nullptr)
        : QWebEngineUrlRequestInterceptor(parent) {}
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

    PagePolicy& policy() { return m_policy; }
    // The guard installed on `profile` by guardPages, or nullptr.
    static PageRequestGuard* of(QWebEngineProfile* profile);

  private:
    PagePolicy m_policy;
};

// Settings that keep a profile's pages inside the book (no file access from local content,
// no remote access, no peer-to-peer connections) and the request guard, scoped to the book at
// `bookPrefix`. Call once, before any page of the profile loads.
PageRequestGuard* guardPages(QWebEngineProfile* profile, const QString& bookPrefix);

} // namespace folio::readerui
