// FrmHomePage, "设计首页": edits the book-card fields of one contents entry (author, length,
// cover, newest chapter, state, synopsis) that the home page shows.
#pragma once

#include "maker/generators/contentslist.h"
#include "maker/ui/companionsupport.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace folio::maker {

class FrmHomePage : public QWidget {
    Q_OBJECT
  public:
    // A top-level window over row `row` of `contents` (the grid's current row).
    FrmHomePage(QWidget* parent, folio::generators::ContentsList& contents, int row,
                FileChooser chooseFile = {});

    // Shows another row's fields (the grid's current row changed).
    void setRow(int row);
    int row() const { return m_row; }

    // "..." as a click would run it: choose a cover and show it.
    void chooseCover();
    // "确定": the fields go into the row; the window stays open.
    void apply();

    // Whether Picture1 shows a cover image.
    bool hasCoverPreview() const;

  signals:
    void contentsChanged();

  private:
    void showCover(const QString& path);

    folio::generators::ContentsList& m_contents;
    int m_row = 0;
    FileChooser m_chooseFile;

    QLineEdit* m_text[10] = {}; // Text1 .. Text9 at [1] .. [9]
    QComboBox* m_combo1 = nullptr;
    QLabel* m_picture1 = nullptr;
    QPushButton* m_command1 = nullptr;
    QPushButton* m_command2 = nullptr;
    QPushButton* m_command4 = nullptr;
};

} // namespace folio::maker
