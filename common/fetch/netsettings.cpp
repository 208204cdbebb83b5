// folioNet.ini: the novel site and online library addresses.
#include "fetch/netsettings.h"

#include "core/fileio.h"
#include "core/profile.h"

namespace folio::fetch {

std::string NetSettings::authorPrefix() const {
    std::string host = novelSiteHost;
    while (!host.empty() && host.back() == '/')
        host.pop_back();
    return host + "/Author";
}

NetSettings readNetSettings(const std::string& programFolder) {
    NetSettings settings;
    const std::string path = FixPath(programFolder) + std::string(NetSettingsFileName);
    if (!fileExists(path))
        return settings;
    auto profile = folio::Profile::load(path);
    if (!profile)
        return settings;
    const std::string section(NetSettingsSection);
    // Addresses can be long: a generous buffer instead of the 254-character default.
    constexpr int Buffer = 2048;
    settings.novelSiteHost = profile->get(section, "NovelSite", settings.novelSiteHost, Buffer);
    settings.novelSiteName = profile->get(section, "NovelSiteName", settings.novelSiteName, Buffer);
    settings.libraryBase = profile->get(section, "Library", settings.libraryBase, Buffer);
    if (settings.libraryBase.empty() || settings.libraryBase.back() != '/')
        settings.libraryBase.push_back('/');
    return settings;
}

} // namespace folio::fetch
