// The reading window's toolbars, built from reader/core's tables: Toolbar1 (main commands),
// Toolbar2 (contents pane and saving), folioNet's Toolbar3 with the address box, and how they
// stack at the top of the window.
#pragma once

#include "reader/core/commands.h"
#include "reader/core/readaloud.h"
#include "reader/ui/readerrules.h"

#include <QObject>

class QAction;
class QComboBox;
class QFrame;
class QMenu;
class QToolBar;
class QWidget;

namespace folio::readerui {

class ImageList;

class ReaderToolbars : public QObject {
    Q_OBJECT
  public:
    // The bars are children of `window`; folioNet also gets Toolbar3 and the address box.
    ReaderToolbars(QWidget* window, ImageList* images, Variant variant);

    QToolBar* toolbar(int number) const; // 1, 2, 3 (null when the window has none)
    // The button at a 1-based position (separators counted); null outside the bar.
    QAction* button(int toolbarNumber, int index) const;
    QAction* action(Toolbar1Button b) const { return button(1, static_cast<int>(b)); }
    QAction* action(Toolbar2Button b) const { return button(2, static_cast<int>(b)); }
    QAction* downloadAction() const { return button(3, 1); }
    // The button that runs `command`, if a toolbar has one.
    QAction* action(Command command) const;
    QComboBox* addressBox() const { return m_comURL; }

    // Stacks the bars, the speech panel and (online) the address box from the top of a window
    // `width` pixels wide; returns the height they take.
    int layoutTop(int width, QWidget* speechPanel);
    // The buttons' captions changed (another language): the next layoutTop measures them again.
    void captionsChanged();

  signals:
    // An entry of the zoom button's drop-down list was chosen.
    void zoomChosen(int percent);
    // An entry of the read-aloud button's sleep timer list was chosen.
    void sleepChosen(folio::reader::SleepChoice choice);
    // folioNet: the address box was clicked or Enter pressed in it.
    void addressChosen(const QString& address);

  private:
    QToolBar* makeBar(QWidget* window, const char* name);
    void buildAddressBox(QWidget* window);

    QToolBar* m_toolbar1 = nullptr;
    QToolBar* m_toolbar2 = nullptr;
    QToolBar* m_toolbar3 = nullptr;
    QFrame* m_picture2 = nullptr;
    QComboBox* m_comURL = nullptr;
    int m_toolbarTextWidth = 0; // the first toolbar's width with its captions
};

} // namespace folio::readerui
