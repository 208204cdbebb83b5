// The reading window's toolbars: Toolbar1 (main commands), Toolbar2 (contents pane and saving),
// folioNet's Toolbar3 with the address box, and how they stack at the top of the window.
#pragma once

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

// Toolbar1's buttons by their 1-based position, separators counted (the language file and the
// tests address them by position, so the order never changes).
enum class Toolbar1Button {
    Back = 2,
    Forward = 3,
    Refresh = 4,
    Stop = 5,
    Home = 6,
    Bookmark = 8,
    Find = 9,
    ZoomIn = 10,
    ZoomOut = 11,
    FullScreen = 13,
    ReadAloud = 14,
    StopReading = 15,
    Settings = 16,
    Play = 18,
    Pause = 19,
    StopPlayer = 20,
    About = 22,
    Exit = 23,
};

// Toolbar2's buttons by position.
enum class Toolbar2Button {
    Close = 2,
    Expand = 3,
    Copy = 4,
    Save = 5,
    Update = 6,
    Bookshelf = 7,
};

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
    QComboBox* addressBox() const { return m_comURL; }

    // Stacks the bars, the speech panel and (online) the address box from the top of a window
    // `width` pixels wide; returns the height they take.
    int layoutTop(int width, QWidget* speechPanel);
    // The buttons' captions changed (another language): the next layoutTop measures them again.
    void captionsChanged();

  signals:
    // An entry of the zoom button's drop-down list was chosen.
    void zoomChosen(int percent);
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
