// Reading-window steps that need nothing of the window but its face: choosing another book to
// open, reading in full screen, and the about box with the keyboard's shortcuts (saving the
// copied text is reader/core's, in commands.h).
#pragma once

#include <QString>

#include <functional>

class QWebEngineProfile;
class QWebEngineView;
class QWidget;

namespace folio::readerui {

// Asks for a book (`choose`, or the file dialog) and opens it (`open`, or a new reader).
void openAnotherBook(QWidget* window, const QString& programFolder,
                     const std::function<QString(QWidget*)>& choose,
                     const std::function<void(const QString&)>& open);

// Gives a window `width` x `height` pixels, or less where the screen's free area is smaller,
// centred on that area.
void fitWindowToScreen(QWidget* window, int width, int height);

// Shows `page`'s chapter in a full-screen window of `window`; the chapter reached there is
// where `page` goes on reading once full screen ends.
void readInFullScreen(QWidget* window, QWebEngineView* page, QWebEngineProfile* profile);

// The about box, modal, listing the keyboard's shortcuts too.
void showReaderAbout(QWidget* window, const QString& programName,
                     const QString& programFolder = {});

} // namespace folio::readerui
