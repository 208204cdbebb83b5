// The compiled help output: the three help files from their templates, and the compiler run.
#include "maker/compiler/help.h"

#include "core/fileio.h"
#include "core/text.h"
#include "maker/hhc/process.h"

#include <filesystem>
#include <system_error>

namespace folio::compiler {

namespace {

constexpr const char* MessageTitle = "folioMake";
constexpr const char* WriteFailed = "帮助文件生成失败：";
constexpr const char* CompileFailed = "帮助文件编译失败：";

// The template's lines each followed by CR LF, so all line ends come out as CR LF.
Result<std::string> readTemplate(const HelpInputs& in, const std::string& name) {
    return ReadPageText(FixPath(in.makerFolder) + "list/chm/" + name);
}

// Every occurrence, left to right; replaced text is not searched again.
std::string replaceAll(const std::string& text, const std::string& token,
                       const std::string& value) {
    std::string out;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(token, from)) != std::string::npos;
         from = at + token.size())
        out.append(text, from, at - from).append(value);
    return out.append(text, from);
}

// The title names three files in the project folder, so it must be a plain file name.
Result<void> checkTitle(const std::string& title) {
    if (title.empty())
        return fail("the book title is empty, so the help files have no name");
    if (!isPlainFileName(title))
        return fail("the book title \"" + title + "\" is not a plain file name");
    return {};
}

// Captions and links go in as they stand: a quote inside a caption is not escaped.
std::string quoted(const std::string& s) {
    return "\"" + s + "\"";
}

// The pages lie in the project folder beside the project file, and the compiler stores each
// file under the name it is listed by; so a page is listed by its link, relative to the
// project file, as the contents and index files name it too.
std::string fileList(const generators::ContentsList& list) {
    std::string out;
    for (int row = 1; row <= list.rowCount() - 2; ++row)
        out += list.cell(row, generators::ColURL) + "\r\n";
    return out;
}

std::string contentsList(const generators::ContentsList& list) {
    std::string out = "<UL>\r\n";
    for (int row = 1; row <= list.rowCount() - 2; ++row) {
        const std::string& caption = list.cell(row, generators::ColCaption);
        const std::string& url = list.cell(row, generators::ColURL);
        out += "<LI><OBJECT type=" + quoted("text/sitemap") + "/><param name=" + quoted("Name") +
               " value=" + quoted(caption) + ">\r\n<param name=" + quoted("Local") +
               " value=" + quoted(url) + ">\r\n</OBJECT>\r\n";
    }
    return out + "</UL>\r\n";
}

std::string indexList(const generators::ContentsList& list) {
    std::string out = "<UL>\r\n";
    for (int row = 1; row <= list.rowCount() - 2; ++row) {
        const std::string& caption = list.cell(row, generators::ColCaption);
        const std::string& url = list.cell(row, generators::ColURL);
        out += "<LI>\r\n<OBJECT type=" + quoted("text/sitemap") +
               "/>\r\n<OBJECT type=" + quoted("Keyword") + " value=" + quoted(caption) +
               "/>\r\n<param name=" + quoted("Name") + " value=" + quoted(caption) +
               ">\r\n<param name=" + quoted("Local") + " value=" + quoted(url) +
               ">\r\n</OBJECT>\r\n";
    }
    return out + "</UL>\r\n";
}

using Filler = std::string (*)(const HelpInputs&, std::string);

Result<std::string> writeHelpFile(const HelpInputs& in, Observer& observer,
                                  const std::string& templateName, const std::string& extension,
                                  Filler fill) {
    auto written = [&]() -> Result<std::string> {
        if (auto t = checkTitle(in.settings.title); !t)
            return fail(t.error().message);
        auto text = readTemplate(in, templateName);
        if (!text)
            return fail(text.error().message);
        const std::string path = helpFilePath(in, extension);
        if (auto w = writeFileAtomic(path, toAnsi(fill(in, std::move(*text)))); !w)
            return fail(w.error().message);
        return path;
    }();
    if (!written)
        observer.messageBox(WriteFailed + std::string("\r\n") + written.error().message,
                            MessageTitle, MessageIcon::Critical);
    return written;
}

} // namespace

std::string helpFilePath(const HelpInputs& in, const std::string& extension) {
    return FixPath(in.projectFolder) + in.settings.title + extension;
}

Result<std::string> WriteHelpProject(const HelpInputs& in, Observer& observer) {
    return writeHelpFile(in, observer, "chm.hhp", ".hhp", [](const HelpInputs& in, std::string t) {
        t = replaceAll(t, "$title", in.settings.title);
        return replaceAll(t, "$FileList", fileList(in.contents));
    });
}

Result<std::string> WriteHelpContents(const HelpInputs& in, Observer& observer) {
    return writeHelpFile(in, observer, "chm.hhc", ".hhc", [](const HelpInputs& in, std::string t) {
        return replaceAll(t, "$LoopTag", contentsList(in.contents));
    });
}

Result<std::string> WriteHelpIndex(const HelpInputs& in, Observer& observer) {
    return writeHelpFile(in, observer, "chm.hhk", ".hhk", [](const HelpInputs& in, std::string t) {
        return replaceAll(t, "$LoopTag", indexList(in.contents));
    });
}

Result<std::string> CompileHelp(const HelpInputs& in, Observer& observer) {
    auto compiled = [&]() -> Result<std::string> {
        if (auto t = checkTitle(in.settings.title); !t)
            return fail(t.error().message);
        // The launcher runs in the project folder, so neither path may be relative.
        std::error_code ec;
        const std::string project = std::filesystem::absolute(helpFilePath(in, ".hhp"), ec);
        if (!fileExists(project))
            return fail(project + ": the help project has not been written (generate the "
                                  "contents first)");
        const std::string launcher =
            std::filesystem::absolute(FixPath(in.makerFolder) + "chm/hhc", ec);
        if (!fileExists(launcher))
            return fail(launcher + ": the help compiler is missing");
        auto run = chm::runProcess(launcher, {project}, in.projectFolder,
                                   [&observer] { observer.processEvents(); });
        if (!run)
            return fail(run.error().message);
        if (run->status != 0)
            return fail(run->output.empty()
                            ? launcher + " failed with exit status " + std::to_string(run->status)
                            : run->output);
        return run->output;
    }();
    if (!compiled)
        observer.messageBox(CompileFailed + std::string("\r\n") + compiled.error().message,
                            MessageTitle, MessageIcon::Critical);
    return compiled;
}

} // namespace folio::compiler
