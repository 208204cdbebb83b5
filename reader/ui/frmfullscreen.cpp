// Full-screen reading (see frmfullscreen.h).
#include "reader/ui/frmfullscreen.h"

#include "reader/ui/frmfullscreenb.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace folio::readerui {

FrmFullScreen::FrmFullScreen(QWidget* parent, QUrl page, QWebEngineProfile* profile)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("FrmFullScreen"));
    setWindowTitle(QStringLiteral("全屏"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_webB = new QWebEngineView(this);
    m_webB->setObjectName(QStringLiteral("WebB"));
    auto* webPage = profile ? new QWebEnginePage(profile, m_webB) : new QWebEnginePage(m_webB);
    m_webB->setPage(webPage);
    // Right-clicking the page shows no menu.
    m_webB->setContextMenuPolicy(Qt::NoContextMenu);
    // The window has no toolbar: links that ask for a new window open here.
    connect(
        webPage, &QWebEnginePage::newWindowRequested, this,
        [this](QWebEngineNewWindowRequest& request) { m_webB->setUrl(request.requestedUrl()); });

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(100);
    connect(m_timer1, &QTimer::timeout, this, &FrmFullScreen::firstTick);

    if (!page.isEmpty())
        navigate(page);
}

FrmFullScreen::~FrmFullScreen() = default;

void FrmFullScreen::open() {
    showFullScreen();
    // Cover the screen even where no window manager acts on the full-screen state.
    if (const QScreen* where = screen(); where && geometry() != where->geometry())
        setGeometry(where->geometry());
}

void FrmFullScreen::navigate(const QUrl& page) {
    m_webB->setUrl(page);
}

void FrmFullScreen::OnTop(QWidget* theForm) {
    if (!theForm)
        return;
    const bool wasVisible = theForm->isVisible();
    theForm->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    // Changing a window's flags hides it; it comes back at once, now on top.
    if (wasVisible)
        theForm->show();
    theForm->raise();
}

void FrmFullScreen::DisableX(QWidget* theForm) {
    if (!theForm)
        return;
    const bool wasVisible = theForm->isVisible();
    theForm->setWindowFlag(Qt::CustomizeWindowHint, true);
    theForm->setWindowFlag(Qt::WindowCloseButtonHint, false);
    theForm->setWindowFlag(Qt::WindowSystemMenuHint, false);
    if (wasVisible)
        theForm->show();
}

void FrmFullScreen::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_loaded)
        return;
    m_loaded = true;
    m_exitWindow = new FrmFullScreenB(this, [this] { close(); });
    // The floating button is not the only way out: Esc and F11 leave full screen too, in
    // whichever of the two windows has the keyboard.
    for (QWidget* window : {static_cast<QWidget*>(this), static_cast<QWidget*>(m_exitWindow)}) {
        for (const QKeySequence& key : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::Key_F11)}) {
            auto* shortcut = new QShortcut(key, window);
            connect(shortcut, &QShortcut::activated, this, &QWidget::close);
        }
    }
    m_exitWindow->show();
    DisableX(m_exitWindow);
    m_timer1->start();
}

void FrmFullScreen::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_webB->setGeometry(0, 0, width(), height());
}

void FrmFullScreen::firstTick() {
    // Shown after the exit window, the page would cover it: it is lifted on top once.
    OnTop(m_exitWindow);
    // Showing it again gave it the keyboard; the page takes it back, so that the keys scroll
    // the page and Esc leaves at once.
    activateWindow();
    m_webB->setFocus();
    m_timer1->stop();
}

void FrmFullScreen::closeEvent(QCloseEvent* event) {
    // The two windows live and die together, however this one is closed.
    m_timer1->stop();
    if (m_exitWindow)
        m_exitWindow->closeFromButton();
    QWidget::closeEvent(event);
}

} // namespace folio::readerui
