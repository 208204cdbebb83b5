// The page policy (see pagepolicy.h).
#include "reader/ui/pagepolicy.h"

#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

namespace folio::readerui {

void PagePolicy::setBookPrefix(const QString& prefix) {
    m_rule.setBookPrefix(prefix.toStdString());
}

void PagePolicy::allowWebAddress(const QString& address) {
    // Through QUrl, so that a host is named as the browser names it in its requests (an
    // international name in its ASCII form).
    const QUrl url(address.trimmed());
    if (url.isValid())
        m_rule.allowWebAddress(url.toString(QUrl::FullyEncoded).toStdString());
}

void PagePolicy::allowDescriptorAddresses(const QStringList& fields) {
    std::vector<std::string> pieces;
    pieces.reserve(static_cast<std::size_t>(fields.size()));
    for (const QString& field : fields)
        pieces.push_back(field.toStdString());
    m_rule.allowDescriptorAddresses(pieces);
}

bool PagePolicy::allows(const QUrl& url) const {
    return m_rule.allows(url.toString(QUrl::FullyEncoded).toStdString());
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

} // namespace folio::readerui
