// Find in page: a bar under the page pane with the text to find, next and previous, the match
// count ("第 2/5 处") and "未找到" when the page does not hold the text.
#pragma once

#include "reader/core/readerrules.h"

#include <QFrame>
#include <QString>

class QLabel;
class QLineEdit;
class QToolButton;
class QWebEngineView;

namespace folio::readerui {

class FindBar : public QFrame {
    Q_OBJECT
  public:
    // Finds in `view`'s page; `programFolder` holds the language file the bar's own texts
    // come from.
    FindBar(QWidget* window, QWebEngineView* view, QString programFolder);

    // Shows the bar with the text selected, ready for typing.
    void open();
    // Hides the bar and clears the marks in the page; false when it was not open.
    bool close();
    // The next or previous match of the text in the box (the box's text, when it is empty
    // the bar opens instead).
    void findNext();
    void findPrevious();

    QString text() const;
    // What the status shows: the match count, "未找到", or nothing.
    QString status() const;
    int matches() const { return m_matches; }
    int activeMatch() const { return m_active; }

  signals:
    void visibilityChanged();
    // A search has answered (status() tells how).
    void searched();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void find(bool backward);
    void retranslate();
    QString languageText(const reader::ReaderText& text) const;

    QWebEngineView* m_view;
    QString m_programFolder;
    QLabel* m_label = nullptr;
    QLineEdit* m_text = nullptr;
    QToolButton* m_previous = nullptr;
    QToolButton* m_next = nullptr;
    QToolButton* m_close = nullptr;
    QLabel* m_status = nullptr;
    int m_matches = 0;
    int m_active = 0;
};

} // namespace folio::readerui
