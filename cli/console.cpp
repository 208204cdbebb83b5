// What every folio command shares: the usage text, usage errors and the console observer.
#include "cli/console.h"

#include "core/fileio.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <system_error>

namespace fs = std::filesystem;

namespace folio::cli {

const char* const Usage =
    R"(usage: folio new <maker folder or folder> <title> [--author NAME] [--from FOLDER]
                    [--maker DIR]
       folio compile <project folder> [--maker DIR] [--out DIR] [--icon FILE.ico]
                    [--skin NAME] [--date TEXT] [--chm] [--force] [--full] [--check]
                    [--subfolders]
       folio check <project folder> [--json] [--werror] [--subfolders]
       folio contents add <project> [--title-from file-name|first-line|title|h1|h2|custom]
                    [--parent ID] [--caption TEXT] [--link TEXT] FILE...
       folio contents home|list|clear <project>
       folio contents folders <project> <folder>
       folio contents delete <project> ID...
       folio contents move <project> ID up|down [ROWS]
       folio generate <project> [--maker DIR] [--force]
       folio epub <project> [--out FILE.epub] [--maker DIR]
       folio txt2html [--maker DIR] FILE...
       folio html2txt [--title-from title|h1] [--start TEXT] [--end TEXT] [--remove LIST] FILE...
       folio rename [--by first-line|title|h1|h2|symbols] [--relink] --yes FILE...
       folio info <book>
       folio extract [--force] <book> <dir>
       folio search <book> <text>
       folio --help

new      makes the project <folder>/<title> with its settings file <title>.ini (CP936, CR LF:
         the title, --author, index.html, tree.html, the output file <title>) and the contents
         page's support files of <maker>/list/tree/, and copies the files lying directly in
         --from into it. In a maker folder the project also gets the output folder
         <maker>/out/ and joins Pro.ini. An existing folder is refused.
compile  reads <folder>/<name>.ini and compiles every file directly in the folder, in name
         order, into a Book image; the project's own files (<name>.ini, <name>.toc,
         config.ini, the help project) are no pages. The index and contents pages must be
         among the pages, and no two names may become one resource (equal once upper-cased);
         otherwise nothing is written. An output file that is another title's book is
         replaced only with --force. The maker folder (reader template, skin library, skins)
         defaults to the folder of this program; the output folder to the settings' output
         folder, else <maker>/out/; the skin to the first .she in <maker>/skin/; the date to
         today (YYYY-MM-DD). A page unchanged since the last build of the same book (same
         size and times) is copied from that book; --full reads every page afresh. --chm
         then compiles the help project <title>.hhp that generate wrote into <title>.chm
         with <maker>/chm/hhc. --check runs check first and compiles nothing when it finds
         an error. --subfolders (or the settings line 子文件夹资源：1) also compiles the
         files lying directly in each sub-folder, as resources whose type is the folder's
         name upper-cased, so that a page's img/pic.png is found in the book.
check    resolves every link, picture, frame, script, style sheet (url(), @import), srcset,
         media source and contents entry of the project as the readers will in the book
         compile would make, and prints each finding as FILE:LINE:COLUMN: error|warning|
         note: MESSAGE [CODE] (codes: broken-link, not-in-book, same-resource, bad-name,
         contents-target, unreachable, online, local-path, encoding, no-title, empty-page,
         large-page, duplicate-title), then a count. --json prints a JSON array of objects
         (file, line, column, severity, code, message, target) instead. Exit status 0
         without errors, 1 with errors (or with warnings under --werror), 2 on trouble.
contents keeps the project's contents list in <project>/<name>.toc. add: one entry per FILE
         (in the project folder, else a path), in natural order (2 before 10, 第九 before
         第十), numbered by its row, under --parent (default -1), captioned by --title-from
         (default file-name); --caption TEXT alone captions one FILE's entry, linked to that
         FILE unless --link says otherwise; home: the book's entry for index.html; folders:
         one entry per subfolder of <folder>; list prints the entries; clear empties the
         list; delete takes the entries away, their children moving up a level; move takes
         one entry up or down by ROWS (default 1), never above its parent or below its
         child. delete and move number the entries afresh, one per row.
generate writes tree.html, tree.ini and index.html into the project from its saved list and
         the maker's list/tree/ and list/index/ templates (TreeTag.ini, HomePageTag.ini), and
         the help project <title>.hhp, .hhc and .hhk from the list/chm/ templates. A tree.html
         or index.html that folio did not write is kept (exit status 1) unless --force.
epub     writes the project as an EPUB 3 book for any e-reader, to --out or to the
         settings' output folder (else <maker>/out/) as <output file>.epub: its pages in
         the contents list's order (nested as the list is), then the pages they link to
         that the list lacks; each page as XHTML in UTF-8 without scripts, with the style
         sheets, pictures, fonts and sounds it uses; the title, author and cover of the
         home page's book card. Links to files not in the book become plain text, each
         named in a warning. The book's identifier is kept in the settings file.
info     prints the book's descriptor fields and its resources (type, name, language, size).
extract  writes the book's pages into <dir>, named as stored; of several copies of a page (in
         other languages, or names differing only in case) the one the reader reads keeps
         the name, the others go to <dir>/<language>/. Files already in <dir> are replaced
         only with --force; otherwise nothing is written.
search   prints each page of the book whose text holds <text> (markup, scripts and styles
         left out; Latin letters in any case), in page order: its name, a TAB, the text
         around the first match. Exit status 0 when a page matched, 1 when none did, 2 on
         trouble.
txt2html turns each FILE ending in .txt into a page <name>.html beside it, from the template
         <maker>/list/page/page.html.
html2txt turns each FILE ending in .html into <name>.txt beside it: the title (from the first
         <h1>, or <title>), then the text between --start and --end with the phrases before
         the last "," of --remove deleted.
rename   renames each FILE after its first line, title, heading, or its own name cleaned of
         symbols (default first-line); it asks first, and only --yes answers yes. --relink
         then rewrites the links to the renamed files in every .htm/.html page of their
         folder, and the entries of the folder's contents list <name>.toc if it has one.

Exit status: 0 success, 1 failure, 2 usage error.
)";

int usageError(const std::string& message) {
    std::cerr << "folio: " << message << "\n\n" << Usage;
    return ExitUsage;
}

Answer ConsoleObserver::messageBox(const std::string& text, const std::string& /*title*/,
                                   MessageIcon /*icon*/, MessageButtons buttons,
                                   Answer /*defaultAnswer*/) {
    // The paragraph break of a message box becomes one blank on the console.
    std::string flat;
    for (std::size_t pos = 0; pos < text.size();) {
        if (text.compare(pos, 4, "\r\n\r\n") == 0) {
            flat += ' ';
            pos += 4;
        } else if (text.compare(pos, 2, "\r\n") == 0) {
            flat += ' ';
            pos += 2;
        } else {
            flat += text[pos++];
        }
    }
    m_boxes.push_back(flat);
    if (buttons != MessageButtons::YesNo)
        return Answer::Ok;
    if (m_answerYes)
        return Answer::Yes;
    m_declined.push_back(std::move(flat));
    return Answer::No;
}

int failure(const std::string& text) {
    std::cerr << "folio: " << printable(text) << "\n";
    return ExitFailure;
}

std::string printable(std::string_view text) {
    std::string out;
    char buf[8];
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool c1 = c == 0xC2 && i + 1 < text.size() &&
                        static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if (c < 0x20 || c == 0x7F) {
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else if (c1) {
            std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned char>(text[++i]));
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

Result<std::unique_ptr<book::BookImage>> openBook(const std::string& path) {
    if (const std::string what = describeNonRegular(path); !what.empty())
        return fail(path + ": " + (what == "no such file" ? what : "not a book but " + what));
    return book::BookImage::open(path);
}

std::string executableFolder() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return fs::current_path().string();
    return self.parent_path().string();
}

} // namespace folio::cli
