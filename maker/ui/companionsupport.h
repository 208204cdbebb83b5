// What the workbench hands its companion windows: the explorer's selection, the link lists, an
// open-file dialog, and the step between the routines' UTF-8 and the windows' QString; and the
// splitters its panels are laid out with.
#pragma once

#include "maker/generators/convert.h"
#include "qt/uitext.h"
#include "qt/windowobserver.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

class QAbstractItemView;
class QSplitter;
class QWidget;

namespace folio::maker {

using folio::qt::qs;
using folio::qt::utf8;

// The explorer list (List1) as it stands when a command runs: its folder, names and selection.
using ExplorerSource = std::function<folio::generators::ExplorerList()>;

// The explorer list of a view whose model lists file names in its first column.
folio::generators::ExplorerList explorerListOf(const QAbstractItemView* view,
                                               const QString& folder);

// The link lists (List3 texts, List4 targets) with List3's selection.
struct LinkSelection {
    std::vector<std::string> texts;
    std::vector<std::string> targets;
    std::vector<bool> selected;
};
using LinkSource = std::function<LinkSelection()>;

// An open-file dialog: the chosen path, or an empty text when the user cancels. The filter is
// in the system's own form ("description|patterns|description|patterns").
using FileChooser = std::function<QString(QWidget* parent, const QString& title,
                                          const QString& folder, const QString& filter)>;

// The real dialog: QFileDialog::getOpenFileName.
FileChooser defaultFileChooser();

// A splitter of the workbench, named `name`: its handle turns black while pressed, and neither
// side collapses.
void markSplitter(QSplitter* splitter, const char* name);

// The system's filter in Qt's form (the Qt observer's rule, shared by every dialog).
using folio::qt::qtFileFilter;

} // namespace folio::maker
