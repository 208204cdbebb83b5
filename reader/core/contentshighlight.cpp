// The contents-pane highlight script, kept here as the one copy the readers run.
#include "reader/core/contentshighlight.h"

#include <cstdio>

namespace folio::reader {

namespace {

// Called with the page's address; returns how many links it marked.
constexpr std::string_view Script = R"JS((function (target) {
    var mark = 'folio-current';
    var doc = document;
    if (!doc || !doc.body) {
        return 0;
    }
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
    function hasMark(element) {
        return (' ' + element.className + ' ').indexOf(' ' + mark + ' ') >= 0;
    }
    if (!doc.getElementById('folio-current-style')) {
        var style = doc.createElement('style');
        style.id = 'folio-current-style';
        style.type = 'text/css';
        style.appendChild(doc.createTextNode('a.' + mark + '{background:#cfe3ff;color:#000;' +
            'outline:1px solid #7aa7e0;}'));
        (doc.getElementsByTagName('head')[0] || doc.body).appendChild(style);
    }
    var links = doc.getElementsByTagName('a');
    var i;
    for (i = 0; i < links.length; i++) {
        if (hasMark(links[i])) {
            links[i].className = (' ' + links[i].className + ' ')
                .replace(' ' + mark + ' ', ' ').replace(/^\s+|\s+$/g, '');
        }
    }
    var wanted = comparable(target);
    var found = [];
    for (i = 0; i < links.length; i++) {
        var href = links[i].getAttribute('href');
        if (!href || /^\s*javascript:/i.test(href)) {
            continue;
        }
        if (comparable(links[i].href) === wanted) {
            found.push(links[i]);
        }
    }
    if (!found.length) {
        return 0;
    }
    for (i = 0; i < found.length; i++) {
        found[i].className = found[i].className ? found[i].className + ' ' + mark : mark;
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
}))JS";

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
    std::string script(Script);
    script += '(';
    script += scriptStringLiteral(pageUrl);
    script += ");";
    return script;
}

} // namespace folio::reader
