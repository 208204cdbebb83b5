// The project's settings, identifier and own files handed to the EPUB writer.
#include "maker/project/epubbook.h"

#include "core/fileio.h"
#include "maker/project/projectfiles.h"
#include "maker/project/settings.h"

namespace folio::project {

std::string epubPathOf(const ProjectSettings& settings) {
    return FixPath(settings.outPath) + settings.outFile + ".epub";
}

Result<generators::EpubOutcome> MakeProjectEpub(const std::string& projectFolder,
                                                const ProjectSettings& settings,
                                                const generators::ContentsList& contents,
                                                const std::string& outputPath, Observer& observer) {
    auto id = keepBookId(settingsFilePath(projectFolder));
    FOLIO_TRY(id);
    generators::EpubInputs in;
    in.projectFolder = projectFolder;
    in.settings = settings;
    in.identifier = *id;
    in.outputPath = outputPath.empty() ? epubPathOf(settings) : outputPath;
    in.isOwnFile = [own = ProjectOwnFiles(projectFolder, settings.title)](const std::string& name) {
        return own.contains(name);
    };
    return generators::WriteEpub(in, contents, observer);
}

std::string epubDoneMessage(const generators::EpubOutcome& outcome) {
    std::string text = "EPUB 电子书已写成：\r\n\r\n" + outcome.path + "\r\n\r\n" +
                       std::to_string(outcome.pages) + " 个页面，" +
                       std::to_string(outcome.resources) + " 个样式表、图片、字体和声音。";
    constexpr std::size_t Shown = 10;
    if (!outcome.warnings.empty()) {
        text += "\r\n\r\n" + std::to_string(outcome.warnings.size()) + " 条提示：";
        for (std::size_t i = 0; i < outcome.warnings.size() && i < Shown; ++i)
            text += "\r\n" + outcome.warnings[i];
        if (outcome.warnings.size() > Shown)
            text += "\r\n……";
    }
    return text;
}

} // namespace folio::project
