// libcurl downloads: http/https only, bounded in time, redirects and size.
#include "fetch/download.h"

#include "core/fileio.h"

#include <curl/curl.h>

#include <cstdio>
#include <mutex>
#include <string_view>

namespace folio::fetch {

namespace {

void globalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Sink {
    std::FILE* file = nullptr;   // either a file ...
    std::string* text = nullptr; // ... or a string
    std::int64_t written = 0;
    std::int64_t limit = 0;
    bool tooLarge = false;
    bool writeFailed = false;
};

size_t writeCallback(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const size_t n = size * count;
    if (sink->written + static_cast<std::int64_t>(n) > sink->limit) {
        sink->tooLarge = true;
        return 0; // aborts the transfer
    }
    if (sink->file != nullptr) {
        if (std::fwrite(data, 1, n, sink->file) != n) {
            sink->writeFailed = true;
            return 0;
        }
    } else {
        sink->text->append(data, n);
    }
    sink->written += static_cast<std::int64_t>(n);
    return n;
}

struct CurlHandle {
    CURL* curl = curl_easy_init();
    ~CurlHandle() {
        if (curl != nullptr)
            curl_easy_cleanup(curl);
    }
};

Result<void> transfer(const std::string& url, Sink& sink, const DownloadOptions& options) {
    if (!isAllowedUrl(url))
        return fail("refused to download \"" + url +
                    "\": only http and https addresses are "
                    "allowed");
    globalInit();
    CurlHandle handle;
    if (handle.curl == nullptr)
        return fail("cannot start a download of " + url + ": libcurl did not initialise");
    CURL* c = handle.curl;
    char errorText[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);
    // Redirects may not switch to another scheme either.
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, options.maxRedirects);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(options.connectTimeout.count()));
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(options.totalTimeout.count()));
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.maxBytes));
    curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L); // safe off the main thread
    curl_easy_setopt(c, CURLOPT_USERAGENT, "folio/0.1");
    curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, ""); // whatever libcurl can decode
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, writeCallback);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
    sink.limit = options.maxBytes;

    const CURLcode code = curl_easy_perform(c);
    if (sink.tooLarge || code == CURLE_FILESIZE_EXCEEDED)
        return fail("download of " + url + " stopped: the answer is larger than " +
                    std::to_string(options.maxBytes) + " bytes");
    if (sink.writeFailed)
        return fail("download of " + url + " failed: cannot write the received data");
    if (code != CURLE_OK) {
        std::string reason = errorText[0] != '\0' ? errorText : curl_easy_strerror(code);
        return fail("download of " + url + " failed: " + reason);
    }
    return {};
}

} // namespace

bool isAllowedUrl(const std::string& url) {
    const auto colon = url.find("://");
    if (colon == std::string::npos)
        return false;
    std::string scheme = url.substr(0, colon);
    for (char& ch : scheme)
        ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
    return scheme == "http" || scheme == "https";
}

Result<void> downloadToFile(const std::string& url, const std::string& localFile,
                            const DownloadOptions& options) {
    if (!isAllowedUrl(url))
        return fail("refused to download \"" + url + "\" to " + localFile +
                    ": only http and https addresses are allowed");
    // Received into a temporary file beside the target, renamed over it when complete; a
    // download killed on the way leaves that file, and the next download of the same file
    // removes it.
    removeStaleStages(localFile);
    auto stage = StagedFile::create(localFile);
    if (!stage)
        return fail("cannot download " + url + " to " + localFile + ": " + stage.error().message);
    Sink sink;
    sink.file = stage->stream();
    auto result = transfer(url, sink, options);
    if (!result)
        return fail(result.error().message + " (file " + localFile + " left unchanged)");
    if (auto committed = stage->commit(); !committed)
        return fail("cannot download " + url + " to " + localFile + ": " +
                    committed.error().message);
    return {};
}

bool DownloadFile(const std::string& url, const std::string& localFile,
                  const DownloadOptions& options) {
    return downloadToFile(url, localFile, options).has_value();
}

Result<std::string> fetchText(const std::string& url, const DownloadOptions& options) {
    std::string text;
    Sink sink;
    sink.text = &text;
    FOLIO_TRY(transfer(url, sink, options));
    return text;
}

} // namespace folio::fetch
