// Locale name -> LCID, and LCID -> language section name.
#include "core/locale.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>

namespace folio {

namespace {

struct LocaleId {
    std::string_view name; // language_COUNTRY, or a bare language for its main country
    int lcid;
};

// The common locales. Bare languages come after their countries and give the main one.
constexpr auto Locales = std::to_array<LocaleId>({
    {"zh_CN", 2052}, {"zh_TW", 1028}, {"zh_HK", 3076}, {"zh_SG", 4100},  {"zh_MO", 5124},
    {"zh", 2052},    {"en_US", 1033}, {"en_GB", 2057}, {"en_AU", 3081},  {"en_CA", 4105},
    {"en_NZ", 5129}, {"en_IE", 6153}, {"en_ZA", 7177}, {"en_IN", 16393}, {"en_SG", 18441},
    {"en", 1033},    {"ja_JP", 1041}, {"ja", 1041},    {"ko_KR", 1042},  {"ko", 1042},
    {"de_DE", 1031}, {"de_CH", 2055}, {"de_AT", 3079}, {"de", 1031},     {"fr_FR", 1036},
    {"fr_BE", 2060}, {"fr_CA", 3084}, {"fr_CH", 4108}, {"fr", 1036},     {"es_ES", 3082},
    {"es_MX", 2058}, {"es", 3082},    {"it_IT", 1040}, {"it", 1040},     {"pt_BR", 1046},
    {"pt_PT", 2070}, {"pt", 2070},    {"ru_RU", 1049}, {"ru", 1049},     {"nl_NL", 1043},
    {"nl_BE", 2067}, {"nl", 1043},    {"sv_SE", 1053}, {"sv", 1053},     {"da_DK", 1030},
    {"da", 1030},    {"nb_NO", 1044}, {"nb", 1044},    {"fi_FI", 1035},  {"fi", 1035},
    {"pl_PL", 1045}, {"pl", 1045},    {"cs_CZ", 1029}, {"cs", 1029},     {"hu_HU", 1038},
    {"hu", 1038},    {"el_GR", 1032}, {"el", 1032},    {"tr_TR", 1055},  {"tr", 1055},
    {"he_IL", 1037}, {"he", 1037},    {"ar_SA", 1025}, {"ar", 1025},     {"th_TH", 1054},
    {"th", 1054},    {"vi_VN", 1066}, {"vi", 1066},    {"id_ID", 1057},  {"id", 1057},
    {"uk_UA", 1058}, {"uk", 1058},    {"ms_MY", 1086}, {"ms", 1086},     {"hi_IN", 1081},
    {"hi", 1081},    {"bg_BG", 1026}, {"ro_RO", 1048},
});

// "zh-tw.UTF-8@x" -> "zh_TW": language lower case, country upper case, codeset and
// modifier dropped.
std::string normalise(std::string_view name) {
    const auto cut = name.find_first_of(".@");
    if (cut != std::string_view::npos)
        name = name.substr(0, cut);
    std::string out;
    bool country = false;
    for (char c : name) {
        if (c == '-' || c == '_') {
            country = true;
            out.push_back('_');
            continue;
        }
        const auto u = static_cast<unsigned char>(c);
        out.push_back(static_cast<char>(country ? std::toupper(u) : std::tolower(u)));
    }
    return out;
}

} // namespace

int lcidFromLocaleName(std::string_view name) {
    const std::string key = normalise(name);
    if (key.empty())
        return LcidEnglishUS;
    for (const LocaleId& id : Locales) {
        if (id.name == key)
            return id.lcid;
    }
    const std::string language = key.substr(0, key.find('_'));
    for (const LocaleId& id : Locales) {
        if (id.name == language)
            return id.lcid;
    }
    return LcidEnglishUS;
}

int currentLcid() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0')
            return lcidFromLocaleName(value);
    }
    return LcidEnglishUS;
}

std::string languageNameFromLcid(int lcid) {
    switch (lcid) {
    case 1028:
        return "繁體中文";
    case 1033:
        return "English";
    case 2052:
        return "简体中文";
    default:
        break;
    }
    static constexpr char Digits[] = "0123456789ABCDEF";
    auto value = static_cast<unsigned int>(lcid);
    std::string hex;
    do {
        hex.push_back(Digits[value % 16]);
        value /= 16;
    } while (value != 0);
    std::reverse(hex.begin(), hex.end());
    return hex;
}

} // namespace folio
