// The page policy (see pagepolicy.h).
#include "qt/pagepolicy.h"

#include <QDir>
#include <QRegularExpression>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

namespace folio::qt {

namespace {

// scheme://host:port, with the scheme's default port filled in.
QUrl siteOf(const QUrl& url) {
    QUrl site;
    site.setScheme(url.scheme().toLower());
    site.setHost(url.host().toLower());
    const int defaultPort = site.scheme() == QLatin1String("https") ? 443 : 80;
    site.setPort(url.port(defaultPort));
    return site;
}

bool isWebScheme(const QString& scheme) {
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

} // namespace

void PagePolicy::setBookPrefix(const QString& prefix) {
    const QUrl url(prefix);
    m_resPath.clear();
    m_localPath.clear();
    if (url.scheme().compare(QLatin1String("res"), Qt::CaseInsensitive) == 0) {
        m_resPath = url.path(QUrl::FullyDecoded);
    } else if (url.isLocalFile()) {
        m_localPath = QDir::cleanPath(url.toLocalFile());
        if (!m_localPath.endsWith(QLatin1Char('/'))) {
            m_localPath += QLatin1Char('/');
        }
    }
}

void PagePolicy::allowWebAddress(const QString& address) {
    const QUrl url(address.trimmed());
    if (url.isValid() && isWebScheme(url.scheme().toLower()) && !url.host().isEmpty()) {
        const QUrl site = siteOf(url);
        if (!m_sites.contains(site)) {
            m_sites << site;
        }
    }
}

void PagePolicy::allowDescriptorAddresses(const QStringList& fields) {
    // Fields 5 to 8 of a descriptor: update, bookshelf, advert and the web site. The
    // descriptor splits at every ":", so an address arrives in pieces ("http", "//host",
    // "8080/page"): the addresses are found in the pieces joined again.
    const QString tail = fields.mid(4).join(QLatin1Char(':'));
    static const QRegularExpression address(
        QStringLiteral("https?://[^\\s:/?#]+(:[0-9]+)?[^\\s:]*"),
        QRegularExpression::CaseInsensitiveOption);
    for (auto it = address.globalMatch(tail); it.hasNext();) {
        allowWebAddress(it.next().captured(0));
    }
}

bool PagePolicy::allows(const QUrl& url) const {
    const QString scheme = url.scheme().toLower();
    // Made by the page itself, reaching nothing outside it.
    if (scheme == QLatin1String("data") || scheme == QLatin1String("blob") ||
        scheme == QLatin1String("about")) {
        return true;
    }
    if (scheme == QLatin1String("res")) {
        // The handler serves only the open book; another book's path stops here already.
        return !m_resPath.isEmpty() && url.path(QUrl::FullyDecoded).startsWith(m_resPath);
    }
    if (scheme == QLatin1String("file")) {
        if (m_localPath.isEmpty()) {
            return false;
        }
        const QString path = QDir::cleanPath(url.toLocalFile());
        return path.startsWith(m_localPath);
    }
    if (isWebScheme(scheme)) {
        return m_sites.contains(siteOf(url));
    }
    // ws:, wss:, ftp:, and every scheme of the browser's own: nothing a book needs.
    return false;
}

void PageRequestGuard::interceptRequest(QWebEngineUrlRequestInfo& info) {
    if (!m_policy.allows(info.requestUrl())) {
        info.block(true);
    }
}

PageRequestGuard* PageRequestGuard::of(QWebEngineProfile* profile) {
    return profile ? profile->findChild<PageRequestGuard*>(QString(), Qt::FindDirectChildrenOnly)
                   : nullptr;
}

PageRequestGuard* guardPages(QWebEngineProfile* profile, const QString& bookPrefix) {
    // Kept pages of the online reader are local files showing each other's pictures; they
    // need file access, and the guard keeps it inside their folder. A Book image's pages
    // have no business with files at all.
    const bool localPages = QUrl(bookPrefix).isLocalFile();
    QWebEngineSettings* s = profile->settings();
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, localPages);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    s->setAttribute(QWebEngineSettings::WebRTCPublicInterfacesOnly, true);

    // Peer-to-peer connections would carry data past the request guard: pages get none.
    QWebEngineScript noPeers;
    noPeers.setName(QStringLiteral("folio-no-peer-connections"));
    noPeers.setInjectionPoint(QWebEngineScript::DocumentCreation);
    noPeers.setWorldId(QWebEngineScript::MainWorld);
    noPeers.setRunsOnSubFrames(true);
    noPeers.setSourceCode(QStringLiteral(
        "(function(){var n=['RTCPeerConnection','webkitRTCPeerConnection','RTCDataChannel'];"
        "for(var i=0;i<n.length;i++){try{delete window[n[i]];}catch(e){}"
        "try{Object.defineProperty(window,n[i],{value:undefined,writable:false,"
        "configurable:false});}catch(e){}}})();"));
    profile->scripts()->insert(noPeers);

    auto* guard = new PageRequestGuard(profile);
    guard->policy().setBookPrefix(bookPrefix);
    profile->setUrlRequestInterceptor(guard);
    return guard;
}

} // namespace folio::qt
