// The workbench's toolbars as named buttons: how every one of them is made (Toolbar1 of the
// preview and Toolbar5 of the contents pane too), and the window's own Toolbar2 (contents),
// Toolbar3 (pages), Toolbar4 (output) and Toolbar6 (main).
#pragma once

#include <QStyle>

#include <initializer_list>

class QAction;
class QToolBar;
class QWidget;

namespace folio::maker {

// The buttons by their 1-based position, separators counted: the language file gives a
// toolbar's captions in this order, so the order never changes. Positions not named here
// are separators or buttons without an action.
enum class ContentsButton { Builder = 1, GenerateContents = 2, SelectFiles = 5 };
enum class PagesButton {
    SelectFiles = 1,
    Rename = 2,
    TidyHtml = 3, // no action
    TextToPages = 4,
    PagesToText = 5,
    HomeEntry = 6,
    FolderEntries = 7,
};
enum class OutputButton { CopyFiles = 1, Compile = 2, SelectFiles = 5, Check = 6 };
enum class MainButton { Copy = 1, Paste = 2, Clear = 3, Save = 4, About = 5, Exit = 6 };

// A button as a toolbar is built: its caption (nullptr: a separator; "": the picture alone,
// its tip saying what it opens) and its picture.
struct ToolButton {
    const char* caption;
    QStyle::StandardPixmap icon;
};

// "Toolbar<number>", captions under the pictures.
QToolBar* makeToolbar(const QWidget* styleFrom, int number,
                      std::initializer_list<ToolButton> buttons);

// The button at a 1-based position (separators counted); null outside the bar.
QAction* buttonAt(const QToolBar* bar, int position);

class WorkbenchToolbars {
  public:
    explicit WorkbenchToolbars(const QWidget* window);

    QToolBar* toolbar(int number) const; // 2, 3, 4 or 6; null for any other
    QAction* action(ContentsButton b) const { return buttonAt(m_bars[2], static_cast<int>(b)); }
    QAction* action(PagesButton b) const { return buttonAt(m_bars[3], static_cast<int>(b)); }
    QAction* action(OutputButton b) const { return buttonAt(m_bars[4], static_cast<int>(b)); }
    QAction* action(MainButton b) const { return buttonAt(m_bars[6], static_cast<int>(b)); }

  private:
    QToolBar* m_bars[7] = {};
};

} // namespace folio::maker
