// Full-screen reading: the current page in a borderless window covering the screen, with the
// small exit window on top of it.
#pragma once

#include <QPointer>
#include <QUrl>
#include <QWidget>

class QTimer;
class QWebEngineProfile;
class QWebEngineView;

namespace folio::readerui {

class FrmFullScreenB;

class FrmFullScreen : public QWidget {
    Q_OBJECT
  public:
    // `profile` is the reading window's browser profile, so that the book's res: addresses
    // resolve here too; null uses the default profile. A non-empty `page` is navigated to.
    FrmFullScreen(QWidget* parent, QUrl page, QWebEngineProfile* profile);
    ~FrmFullScreen() override;

    // Shows the window over the whole screen, with the exit window (the load step).
    void open();
    void navigate(const QUrl& page);

    QWebEngineView* webB() const { return m_webB; }
    QTimer* timer1() const { return m_timer1; }
    FrmFullScreenB* exitWindow() const { return m_exitWindow; }

    // Keeps a window above all ordinary windows.
    static void OnTop(QWidget* theForm);
    // Takes away a window's close command and close box.
    static void DisableX(QWidget* theForm);

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void firstTick();

    QWebEngineView* m_webB = nullptr;
    QTimer* m_timer1 = nullptr;
    QPointer<FrmFullScreenB> m_exitWindow;
    bool m_loaded = false;
};

} // namespace folio::readerui
