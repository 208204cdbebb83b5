// The web addresses the fetcher and the online reader use, kept in folioNet.ini beside the
// program (profile format, section [folioNet]).
#pragma once

#include <string>
#include <string_view>

namespace folio::fetch {

inline constexpr std::string_view NetSettingsFileName = "folioNet.ini";
inline constexpr std::string_view NetSettingsSection = "folioNet";

struct NetSettings {
    // The novel site's host ("NovelSite"): its author files live under host + "/Author".
    std::string novelSiteHost = "http://127.0.0.1:8080";
    // Its name, the caption of the novel-site option ("NovelSiteName").
    std::string novelSiteName = "小说网站";
    // The online library's base address, ending in "/" ("Library"): the online reader
    // fetches base + "book/tree.html" and base + "book/index.html".
    std::string libraryBase = "http://127.0.0.1:8080/";

    // novelSiteHost without a final "/", followed by "/Author".
    std::string authorPrefix() const;
};

// Reads folioNet.ini from the folder; a missing file or key keeps the default. The
// library base gets a final "/" when it lacks one.
NetSettings readNetSettings(const std::string& programFolder);

} // namespace folio::fetch
