// Reading-window commands without the window's insides (see readercommands.h).
#include "reader/ui/readercommands.h"

#include "reader/ui/frmabout.h"
#include "reader/ui/frmfullscreen.h"
#include "reader/ui/frmfullscreenb.h"
#include "reader/ui/readerrules.h"
#include "reader/ui/uitext.h"

#include <QApplication>
#include <QBoxLayout>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QTimer>
#include <QWebEngineView>

#include <algorithm>
#include <memory>

namespace folio::readerui {

void openAnotherBook(QWidget* window, const QString& programFolder,
                     const std::function<QString(QWidget*)>& choose,
                     const std::function<void(const QString&)>& open) {
    const QString path =
        choose ? choose(window)
               : QFileDialog::getOpenFileName(window, QStringLiteral("打开电子书"), programFolder,
                                              QStringLiteral("电子书 (*.exe *.EXE);;全部文件 (*)"));
    if (path.isEmpty()) {
        return;
    }
    if (open) {
        open(path);
    } else {
        // Each book reads in a reader of its own, as a book started by itself does.
        QProcess::startDetached(QCoreApplication::applicationFilePath(), {path});
    }
}

namespace {

// Places a window of the wanted size on its screen's free area; once the window is shown and
// its frame is known, the frame is made to fit as well.
class ScreenFit : public QObject {
  public:
    ScreenFit(QWidget* window, int width, int height)
        : QObject(window), m_window(window), m_width(width), m_height(height) {
        window->installEventFilter(this);
        place({0, 0});
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_window && event->type() == QEvent::Show) {
            // The frame is known only once the window manager has the window.
            QTimer::singleShot(0, this, [this] {
                const QRect frame = m_window->frameGeometry();
                const QRect inner = m_window->geometry();
                place({frame.width() - inner.width(), frame.height() - inner.height()});
                deleteLater();
            });
            m_window->removeEventFilter(this);
        }
        return false;
    }

  private:
    void place(QSize frame) {
        const QScreen* s =
            m_window->screen() ? m_window->screen() : QGuiApplication::primaryScreen();
        if (!s) {
            m_window->resize(m_width, m_height);
            return;
        }
        const QRect free = s->availableGeometry();
        const ScreenRect r = fitOnScreen(m_width + frame.width(), m_height + frame.height(),
                                         {free.x(), free.y(), free.width(), free.height()});
        m_window->resize(r.width - frame.width(), r.height - frame.height());
        m_window->move(r.x, r.y); // a top-level window's position is its frame's
    }

    QWidget* m_window;
    int m_width, m_height;
};

} // namespace

void fitWindowToScreen(QWidget* window, int width, int height) {
    // At a large display scaling the screen has fewer logical pixels than the window asks
    // for: it is made smaller rather than opening past the screen's edges.
    new ScreenFit(window, width, height);
}

void showReaderAbout(QWidget* window, const QString& programName, const QString& programFolder) {
    frmAbout box(window, programName, QCoreApplication::applicationVersion(), programFolder);
    // The keyboard's shortcuts, above the box's button row.
    if (auto* rows = qobject_cast<QBoxLayout*>(box.layout())) {
        auto* keys = new QLabel(QStringLiteral("键盘：\n") + qs(shortcutsText()), &box);
        keys->setObjectName(QStringLiteral("lblKeys"));
        keys->setTextInteractionFlags(Qt::TextSelectableByMouse);
        rows->insertWidget(std::max(0, static_cast<int>(rows->count()) - 2), keys);
        box.adjustSize();
    }
    box.exec();
}

void readInFullScreen(QWidget* window, QWebEngineView* page, QWebEngineProfile* profile) {
    // The full-screen window deletes itself when full screen ends.
    auto* full = new FrmFullScreen(window, QUrl(), profile);
    auto reached = std::make_shared<QUrl>();
    QObject::connect(full->webB(), &QWebEngineView::urlChanged, full, [reached](const QUrl& url) {
        if (url.isValid() && url != QUrl(QStringLiteral("about:blank")))
            *reached = url;
    });
    QObject::connect(full, &QObject::destroyed, page, [reached, page] {
        if (reached->isValid() && *reached != page->url())
            page->load(*reached);
    });
    full->open();
    full->navigate(page->url());
}

} // namespace folio::readerui
