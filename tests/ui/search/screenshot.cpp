// A picture of the reading window with the search panel showing results and the chosen page
// highlighted, for looking at: run under a virtual display with a CJK font.
// Arguments: a Book image, the text to search for, the PNG file to write.
#include "reader/ui/frmebook.h"
#include "reader/ui/searchpanel.h"

#include "qt/resschemehandler.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineView>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s BOOK TEXT OUTPUT.png\n", argv[0]);
        return 2;
    }
    folio::qt::ResSchemeHandler::registerScheme();
    QApplication app(argc, argv);
    folio::readerui::ReaderOptions options;
    options.bookPath = QString::fromLocal8Bit(argv[1]);
    folio::readerui::FrmEBook window(options);
    window.show();
    window.load();
    QTest::qWait(3000);

    folio::readerui::SearchPanel* panel = window.searchPanel();
    QSignalSpy finished(panel, &folio::readerui::SearchPanel::searchFinished);
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    // A virtual display without a window manager never makes the window active, and a
    // window's shortcut waits for that.
    if (!panel->isVisible())
        panel->activate();
    panel->textBox()->setText(QString::fromLocal8Bit(argv[2]));
    QTest::keyClick(panel->textBox(), Qt::Key_Return);
    if (!finished.wait(20000)) {
        std::fprintf(stderr, "the search did not finish\n");
        return 1;
    }
    QListWidget* list = panel->results();
    if (list->count() > 0) {
        QSignalSpy loaded(window.webBook(), &QWebEngineView::loadFinished);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(0)).center());
        loaded.wait(20000);
        QTest::qWait(1500); // the highlight follows the load
    }
    const bool saved = window.grab().save(QString::fromLocal8Bit(argv[3]));
    std::printf("%d results; %s\n", list->count(), saved ? "saved" : "not saved");
    return saved ? 0 : 1;
}
