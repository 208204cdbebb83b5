// A book cannot reach outside itself: a hostile book, compiled here with `folio compile`, whose
// page scripts try to read local files (XHR, fetch, img, script, iframe), another Book image
// through res:, and a server on 127.0.0.1 (XHR, fetch, img, WebSocket, beacon), in folioPage and
// folioNet. The page reports through its title; the server must see no request.
#include "core/text.h"
#include "qt/resschemehandler.h"
#include "reader/ui/frmebook.h"
#include "tests/tools/localserver.h"
#include "tests/tools/recordingobserver.h"
#include "tests/tools/waits.h"
#include "tests/tools/webeval.h"
#include "tests/ui/readerwin/testsupport.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>

#include <algorithm>
#include <string>
#include <vector>

using folio::readerui::FrmEBook;
using folio::readerui::ReaderOptions;
using folio::readerui::Variant;

namespace {

// What the watching servers answer to every request: a short page any origin may read.
Reply okForAnyOrigin() {
    Reply reply(200, "ok");
    reply.headers = {{"Content-Type", "text/plain"}, {"Access-Control-Allow-Origin", "*"}};
    return reply;
}

QString baseOf(const LocalServer& server) {
    return QString::fromStdString(server.base()) + QLatin1Char('/');
}

bool asked(const LocalServer& server, const std::string& requestLine) {
    const auto lines = server.requestLines();
    return std::find(lines.begin(), lines.end(), requestLine) != lines.end();
}

std::string joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines)
        all += (all.empty() ? "" : " ") + line;
    return all;
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray smallPng() {
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// The hostile page. %SECRET% is the file: address of a folder outside the book, %OTHER% the
// res: address of another Book image, %SPY% the watching server; a probe that has not ended
// within %WAIT% milliseconds (half the tests' wait bound, which the test waits for the page's
// report) counts as timed out.
const char* const HostilePage = R"(<html><head><title>waiting</title></head><body>
<script>
var results = {}, pending = 0;
function done(name, value) {
  if (results[name] !== undefined) return;
  results[name] = value;
  if (--pending === 0) document.title = 'DONE ' + JSON.stringify(results);
}
function probe(name, start) {
  pending++;
  setTimeout(function () { done(name, 'timeout'); }, %WAIT%);
  try { start(function (v) { done(name, v); }); } catch (e) { done(name, 'blocked'); }
}
function xhr(url) { return function (report) {
  var r = new XMLHttpRequest();
  r.onload = function () { report(r.responseText.length > 0 ? 'read' : 'blocked'); };
  r.onerror = function () { report('blocked'); };
  r.open('GET', url); r.send(); }; }
function viaFetch(url, mode) { return function (report) {
  if (!window.fetch) { report('blocked'); return; }
  fetch(url, {mode: mode}).then(function (r) { return r.text(); })
    .then(function () { report('read'); }, function () { report('blocked'); }); }; }
function img(url) { return function (report) {
  var i = new Image();
  i.onload = function () { report('read'); };
  i.onerror = function () { report('blocked'); };
  i.src = url; }; }
function script(url) { return function (report) {
  var s = document.createElement('script');
  s.onload = function () { report(window.leaked ? 'read' : 'blocked'); };
  s.onerror = function () { report('blocked'); };
  s.src = url; document.body.appendChild(s); }; }
function frame(url) { return function (report) {
  window.addEventListener('message', function (e) {
    if (e.data === 'secret-frame') report('read');
    else if (e.data === 'loaded ' + url) report('blocked');
  });
  var f = document.createElement('iframe');
  // A frame that read the secret posted it before its load event: a message posted after
  // that event comes after it.
  f.onload = function () { window.postMessage('loaded ' + url, '*'); };
  f.src = url; document.body.appendChild(f); }; }
function socket(url) { return function (report) {
  var w = new WebSocket(url);
  w.onopen = function () { report('read'); };
  w.onerror = function () { report('blocked'); };
  w.onclose = function () { report('blocked'); }; }; }

probe('ownImage', img('pic.png'));
probe('xhrFile', xhr('%SECRET%secret.txt'));
probe('xhrFolder', xhr('%SECRET%'));
probe('fetchFile', viaFetch('%SECRET%secret.txt', 'no-cors'));
probe('imgFile', img('%SECRET%secret.png'));
probe('scriptFile', script('%SECRET%secret.js'));
probe('iframeFile', frame('%SECRET%secret.html'));
probe('xhrOtherBook', xhr('%OTHER%index.html'));
probe('imgOtherBook', img('%OTHER%pic.png'));
probe('xhrHttp', xhr('%SPY%xhr'));
probe('fetchHttp', viaFetch('%SPY%fetch', 'no-cors'));
probe('imgHttp', img('%SPY%img.png'));
probe('scriptHttp', script('%SPY%script.js'));
probe('webSocket', socket('%SPYWS%'));
probe('beacon', function (report) {
  if (navigator.sendBeacon) navigator.sendBeacon('%SPY%beacon', 'x');
  report('blocked'); }); // only the server can tell
probe('peer', function (report) {
  report(typeof RTCPeerConnection === 'undefined' &&
         typeof webkitRTCPeerConnection === 'undefined' ? 'blocked' : 'read'); });
probe('iframeHttp', frame('%SPY%frame.html'));
%OWNXHR%
</script></body></html>
)";

} // namespace

class PagePolicyTest : public QObject {
    Q_OBJECT
  public:
    PagePolicyTest() {
        m_spy.setFallback(okForAnyOrigin());
        m_named.setFallback(okForAnyOrigin());
    }

  private slots:
    void hostileBookInFolioPage();
    void hostileLibraryInFolioNet();

  private:
    // Writes the files a page must never read into `dir`/secret/.
    void writeSecrets(const QString& dir);
    QByteArray hostilePage(const QString& dir, const QString& other, bool ownXhr) const;
    // Runs the window on its page and gives what the page's probes reported.
    void runHostile(const ReaderOptions& options, QJsonObject& results);
    void checkEscapesFailed(const QJsonObject& results);

    LocalServer m_spy;   // counts every connection: a page may reach it through no door
    LocalServer m_named; // the site the descriptor names
};

void PagePolicyTest::writeSecrets(const QString& dir) {
    const QString s = dir + QStringLiteral("/secret/");
    QVERIFY(writeBytes(s + QStringLiteral("secret.txt"), "root:x:0:0:top secret"));
    QVERIFY(writeBytes(s + QStringLiteral("secret.png"), smallPng()));
    QVERIFY(writeBytes(s + QStringLiteral("secret.js"), "window.leaked = true;"));
    QVERIFY(writeBytes(s + QStringLiteral("secret.html"),
                       "<script>parent.postMessage('secret-frame', '*');</script>"));
}

QByteArray PagePolicyTest::hostilePage(const QString& dir, const QString& other,
                                       bool ownXhr) const {
    QString page = QString::fromUtf8(HostilePage);
    page.replace(QStringLiteral("%SECRET%"),
                 QUrl::fromLocalFile(dir + QStringLiteral("/secret/")).toString());
    page.replace(QStringLiteral("%OTHER%"), other);
    page.replace(QStringLiteral("%SPYWS%"),
                 QStringLiteral("ws://127.0.0.1:%1/ws").arg(m_spy.port()));
    page.replace(QStringLiteral("%SPY%"), baseOf(m_spy));
    page.replace(QStringLiteral("%WAIT%"), QString::number(folio::testing::WaitBoundMs / 2));
    // Pages of a Book image read each other through the book's own scheme.
    page.replace(QStringLiteral("%OWNXHR%"),
                 ownXhr ? QStringLiteral("probe('ownXhr', xhr('tree.html'));") : QString());
    return page.toUtf8();
}

void PagePolicyTest::runHostile(const ReaderOptions& options, QJsonObject& results) {
    m_spy.forgetRequests();
    m_named.forgetRequests();
    FrmEBook window(options);
    QWebEngineView* book = window.findChild<QWebEngineView*>(QStringLiteral("WebBook"));
    QVERIFY(book);
    QSignalSpy loads(book, &QWebEngineView::loadStarted);
    QSignalSpy loaded(book, &QWebEngineView::loadFinished);
    window.load();
    window.show();
    FOLIO_WAIT_VERIFY(book->title().startsWith(QStringLiteral("DONE ")));
    results = QJsonDocument::fromJson(book->title().mid(5).toUtf8()).object();
    // Last, the page tries to leave: the pane must stay where it is. By the time the renderer
    // has answered, a navigation let through would have started; every load started is waited
    // for to its end, when a request let through has reached the server.
    folio::testing::evaluate(book,
                             QStringLiteral("location.href = '%1navigate'; 0").arg(baseOf(m_spy)));
    FOLIO_WAIT_VERIFY(loaded.count() >= loads.count());
    // The site the book's descriptor (or the online reader's settings) names is the one the
    // reader may open.
    book->load(QUrl(baseOf(m_named) + QStringLiteral("named.html")));
    FOLIO_WAIT_VERIFY(asked(m_named, "GET /named.html HTTP/1.1"));
}

void PagePolicyTest::checkEscapesFailed(const QJsonObject& r) {
    for (const char* name : {"xhrFile", "xhrFolder", "fetchFile", "imgFile", "scriptFile",
                             "iframeFile", "xhrOtherBook", "imgOtherBook", "xhrHttp", "fetchHttp",
                             "imgHttp", "scriptHttp", "webSocket", "beacon", "peer"}) {
        const QString got = r.value(QLatin1String(name)).toString();
        QVERIFY2(got == QLatin1String("blocked") || got == QLatin1String("timeout"),
                 qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(name), got)));
    }
    QVERIFY2(m_spy.connections() == 0, joined(m_spy.requestLines()).c_str());
}

void PagePolicyTest::hostileBookInFolioPage() {
    QTemporaryDir dir;
    const QString root = dir.path();
    writeSecrets(root);
    const QString project = root + QStringLiteral("/hostile");
    const QString other = QStringLiteral("res://") + root + QStringLiteral("/other.exe/");
    QVERIFY(writeBytes(project + QStringLiteral("/index.html"), hostilePage(root, other, true)));
    QVERIFY(writeBytes(project + QStringLiteral("/tree.html"), "<html><title>tree</title></html>"));
    QVERIFY(writeBytes(project + QStringLiteral("/pic.png"), smallPng()));
    // The descriptor names one web site: the one page requests may reach.
    QByteArray settings;
    for (const QString& line :
         {QStringLiteral("电子书名称：Hostile"), QStringLiteral("索引页：index.html"),
          QStringLiteral("目录树：tree.html"), QStringLiteral("输出文件：book"),
          QStringLiteral("作者：nobody"), QStringLiteral("网址：") + baseOf(m_named)}) {
        settings += QByteArray::fromStdString(folio::toAnsi(line.toStdString())) + "\r\n";
    }
    QVERIFY(writeBytes(project + QStringLiteral("/hostile.ini"), settings));

    const QString dist = QStringLiteral(FOLIO_DIST_DIR);
    QProcess compile;
    compile.start(dist + QStringLiteral("/folio"),
                  {QStringLiteral("compile"), project, QStringLiteral("--maker"), dist,
                   QStringLiteral("--out"), root});
    QVERIFY(compile.waitForFinished(folio::testing::WaitBoundMs));
    QVERIFY2(compile.exitCode() == 0, compile.readAllStandardError().constData());
    const QString bookPath = root + QStringLiteral("/book.exe");
    QVERIFY(QFile::exists(bookPath));
    QVERIFY(QFile::copy(bookPath, root + QStringLiteral("/other.exe")));

    folio::testing::RecordingObserver messages;
    folio::testing::FakeSpeech speech;
    ReaderOptions options;
    options.variant = Variant::Page;
    options.bookPath = bookPath;
    options.dialogs = &messages;
    options.speech = &speech;
    QJsonObject results;
    runHostile(options, results);
    QVERIFY(!results.isEmpty());
    // The book itself works: its picture and its other page.
    QCOMPARE(results.value(QLatin1String("ownImage")).toString(), QStringLiteral("read"));
    QCOMPARE(results.value(QLatin1String("ownXhr")).toString(), QStringLiteral("read"));
    checkEscapesFailed(results);
}

void PagePolicyTest::hostileLibraryInFolioNet() {
    QTemporaryDir dir;
    const QString root = dir.path();
    writeSecrets(root);
    // The online reader keeps the library's pages as files in its folder.
    const QString library = root + QStringLiteral("/library");
    const QString other = QStringLiteral("res://") + root + QStringLiteral("/other.exe/");
    QVERIFY(writeBytes(library + QStringLiteral("/index.html"), hostilePage(root, other, false)));
    QVERIFY(writeBytes(library + QStringLiteral("/tree/tree.html"),
                       "<html><title>tree</title></html>"));
    QVERIFY(writeBytes(library + QStringLiteral("/pic.png"), smallPng()));
    QVERIFY(QFile::copy(QStringLiteral(FOLIO_DIST_DIR) + QStringLiteral("/folioPage/folioPage.dat"),
                        root + QStringLiteral("/other.exe")));

    folio::testing::RecordingObserver messages;
    folio::testing::FakeSpeech speech;
    ReaderOptions options;
    options.variant = Variant::Net;
    options.bookPath = library;
    options.dialogs = &messages;
    options.speech = &speech;
    options.onlineBase = baseOf(m_named); // the reader's own setting: its library's site
    options.downloads = false;
    QJsonObject results;
    runHostile(options, results);
    QVERIFY(!results.isEmpty());
    QCOMPARE(results.value(QLatin1String("ownImage")).toString(), QStringLiteral("read"));
    checkEscapesFailed(results);
}

int main(int argc, char** argv) {
    folio::qt::ResSchemeHandler::registerScheme();
    QApplication app(argc, argv);
    PagePolicyTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "pagepolicy_test.moc"
