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
    in.isOwnFile = [&](const std::string& name) {
        return isProjectOwnFile(projectFolder, settings.title, name);
    };
    return generators::WriteEpub(in, contents, observer);
}

} // namespace folio::project
