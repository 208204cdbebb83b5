// What the pages of a book may load or open, in both readers: the book itself, the files of a
// local library folder, and the web only where the book's own descriptor or the reader's
// settings name an address. Pages are untrusted content (adverts and scripts of the sites they
// were saved from), so every address a page gives is read the way the laxest browser reads it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace folio::reader {

class PageRule {
  public:
    // Where the book's pages live: "RES://<folder>/<name>.exe/" (a Book image, encoded as the
    // Linux readers hand it over, or "RES://C:\folder\name.exe/" as the Windows reader builds
    // it) or "file:///<library folder>/" (the online reader's kept pages). Anything else
    // leaves the pages no home: only what they make themselves.
    void setBookPrefix(std::string_view prefix);
    // Lets pages reach the site of this http(s) address (scheme, host and port); anything
    // else is ignored.
    void allowWebAddress(std::string_view address);
    // The web addresses a descriptor names (update, bookshelf, advert, web site fields).
    void allowDescriptorAddresses(const std::vector<std::string>& descriptorFields);

    // Whether a page may load or open `url`, in any element, request or navigation.
    bool allows(std::string_view url) const;

  private:
    struct Site {
        std::string scheme, host;
        int port = 0;
        bool operator==(const Site&) const = default;
    };
    static bool webSite(std::string_view url, Site& site);
    bool inside(const std::string& path, const std::string& home) const;

    std::string m_resPath;   // the open book's path ("/folder/book.exe/", "C:/folder/book.exe/")
    std::string m_localPath; // the library folder ("/folder/"), when pages are local files
    bool m_windows = false;  // the home is a Windows path: "\" is "/", case does not count
    std::vector<Site> m_sites;
};

} // namespace folio::reader
