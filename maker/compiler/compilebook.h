// Compiling a project folder into a Book image, without any window.
#pragma once

#include "core/error.h"
#include "core/observer.h"
#include "core/projectsettings.h"

#include <functional>
#include <string>
#include <vector>

namespace folio::compiler {

struct PageEntry {
    std::string name; // as listed in List2
    bool selected = false;
};

struct CompileInputs {
    ProjectSettings settings;
    std::string iconPath;      // TxtIconPath; empty keeps the template's icon
    std::string makerFolder;   // program folder of the maker
    std::string skinFileName;  // Combo2's text (file under makerFolder/skin/)
    std::string projectFolder; // File3's path
    std::vector<PageEntry> pages;
    std::string dateText; // today's date in the user's short date format
};

using folio::MessageIcon;
// The compiler reports through the common observer.
using CompileObserver = folio::Observer;

enum class CompileOutcome { Done, Invalid, DescriptorFailed, Failed };

struct CompileResult {
    CompileOutcome outcome = CompileOutcome::Failed;
    std::string bookPath;
    std::string error;  // the system's description for Failed (and the reason for
                        // DescriptorFailed)
    int pagesAdded = 0; // page resources in the finished book
    struct Skipped {
        std::string name; // the entry as listed
        std::string why;  // what it is: "a FIFO", "a dangling symbolic link", ...
    };
    std::vector<Skipped> skipped; // selected entries that are neither a page nor a folder
};

// The icon step, called after the pages when an icon path is set, on the book as it is being
// built (a temporary file beside the book). Its error is raised into the failure trap.
using IconStep = std::function<Result<void>(const std::string& iconPath,
                                            const std::string& bookPath, CompileObserver&)>;

// Default icon step: the icon replacement routine of maker/compiler/icon.h.
IconStep defaultIconStep();

CompileResult CompileBook(const CompileInputs& in, CompileObserver& observer,
                          IconStep iconStep = defaultIconStep());

} // namespace folio::compiler
