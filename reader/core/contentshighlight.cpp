// The contents-pane scripts (the page being read, the pages read), kept here as the one copy
// the readers run.
#include "reader/core/contentshighlight.h"

#include <cstdio>

namespace folio::reader {

namespace {

// What both contents-pane scripts stand on, put inside their function: the document, the form
// two addresses of one page share, a class looked for or added, a style rule added once, and
// the links whose resolved target passes a test.
constexpr std::string_view Helpers = R"JS(
    var doc = document;
    function comparable(address) {
        if (!address) {
            return '';
        }
        var hash = address.indexOf('#');
        if (hash >= 0) {
            address = address.substring(0, hash);
        }
        try {
            address = decodeURI(address);
        } catch (e) {
        }
        return address.toUpperCase();
    }
    function hasClass(element, name) {
        return (' ' + element.className + ' ').indexOf(' ' + name + ' ') >= 0;
    }
    function addClass(element, name) {
        if (!hasClass(element, name)) {
            element.className = element.className ? element.className + ' ' + name : name;
        }
    }
    function addStyle(id, rule) {
        if (doc.getElementById(id)) {
            return;
        }
        var style = doc.createElement('style');
        style.id = id;
        style.type = 'text/css';
        style.appendChild(doc.createTextNode(rule));
        (doc.getElementsByTagName('head')[0] || doc.body).appendChild(style);
    }
    function linksWhere(accept) {
        var links = doc.getElementsByTagName('a');
        var found = [];
        for (var l = 0; l < links.length; l++) {
            var href = links[l].getAttribute('href');
            if (href && !/^\s*javascript:/i.test(href) && accept(comparable(links[l].href))) {
                found.push(links[l]);
            }
        }
        return found;
    }
)JS";

// Called with the page's address; returns how many links it marked.
constexpr std::string_view HighlightBody = R"JS(
    var mark = 'folio-current';
    if (!doc || !doc.body) {
        return 0;
    }
    addStyle('folio-current-style', 'a.' + mark + '{background:#cfe3ff;color:#000;' +
        'outline:1px solid #7aa7e0;}');
    var links = doc.getElementsByTagName('a');
    var i;
    for (i = 0; i < links.length; i++) {
        if (hasClass(links[i], mark)) {
            links[i].className = (' ' + links[i].className + ' ')
                .replace(' ' + mark + ' ', ' ').replace(/^\s+|\s+$/g, '');
        }
    }
    var wanted = comparable(target);
    var found = linksWhere(function (address) {
        return address === wanted;
    });
    if (!found.length) {
        return 0;
    }
    for (i = 0; i < found.length; i++) {
        addClass(found[i], mark);
    }
    // A collapsed branch around the link is opened: through the generated tree's own
    // object when there is one (so its +/- sign follows), otherwise by showing it.
    var tree = window.d;
    for (var node = found[0].parentNode; node && node !== doc.body; node = node.parentNode) {
        if (!node.style || node.style.display !== 'none') {
            continue;
        }
        var opened = false;
        if (tree && tree.nodes && typeof tree.setOpen === 'function') {
            for (var n = 0; n < tree.nodes.length; n++) {
                if (tree.nodes[n].list === node) {
                    tree.setOpen(tree.nodes[n], true);
                    opened = true;
                    break;
                }
            }
        }
        if (!opened) {
            node.style.display = '';
        }
    }
    try {
        found[0].scrollIntoView({block: 'nearest', inline: 'nearest'});
    } catch (e) {
        found[0].scrollIntoView(false);
    }
    return found.length;
})JS";

// Called with the pages' addresses; returns how many links carry the mark.
constexpr std::string_view ReadMarksBody = R"JS(
    if (!doc || !doc.body) {
        return 0;
    }
    addStyle('folio-read-style', '.folio-read{opacity:.55}');
    var wanted = {};
    for (var t = 0; t < targets.length; t++) {
        wanted[' ' + comparable(targets[t])] = true;
    }
    var found = linksWhere(function (address) {
        return wanted.hasOwnProperty(' ' + address);
    });
    for (var i = 0; i < found.length; i++) {
        addClass(found[i], 'folio-read');
    }
    return found.length;
})JS";

// The script of `body` with the helpers in its function, called with `argument`.
std::string contentsScript(std::string_view parameter, std::string_view body,
                           std::string_view argument) {
    std::string script = "(function (";
    script += parameter;
    script += ") {";
    script += Helpers;
    script += body;
    script += ")(";
    script += argument;
    script += ");";
    return script;
}

} // namespace

std::string scriptStringLiteral(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", c);
            out += escape;
        } else if (c == 0xE2 && i + 2 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) == 0x80 &&
                   (static_cast<unsigned char>(text[i + 2]) == 0xA8 ||
                    static_cast<unsigned char>(text[i + 2]) == 0xA9)) {
            // U+2028 and U+2029 end a line inside an ES5 string literal.
            out += static_cast<unsigned char>(text[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
            i += 2;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
    return out;
}

std::string contentsHighlightScript(std::string_view pageUrl) {
    return contentsScript("target", HighlightBody, scriptStringLiteral(pageUrl));
}

std::string readMarksScript(const std::vector<std::string>& pageUrls) {
    std::string list = "[";
    for (const std::string& url : pageUrls) {
        if (list.size() > 1)
            list += ',';
        list += scriptStringLiteral(url);
    }
    list += ']';
    return contentsScript("targets", ReadMarksBody, list);
}

} // namespace folio::reader
