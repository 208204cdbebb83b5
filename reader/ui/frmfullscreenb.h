// The small exit window of full-screen reading: one button that leaves full screen. It has no
// close button of its own and stays on top of the full-screen page.
#pragma once

#include <QIcon>
#include <QVector>
#include <QWidget>

#include <functional>

class QAction;
class QToolBar;

namespace folio::readerui {

class FrmFullScreenB : public QWidget {
    Q_OBJECT
  public:
    // `exitFullScreen` closes the full-screen window; the button then closes this window too.
    FrmFullScreenB(QWidget* parent, std::function<void()> exitFullScreen);

    QToolBar* toolbar() const { return m_tbrFull; }
    QAction* exitButton() const { return m_exit; }
    // The image list imgFull (1-based, as the toolbar refers to it).
    QIcon image(int index) const;

    // Closes the window as its button does (the only way it closes).
    void closeFromButton();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void exitClicked();

    std::function<void()> m_exitFullScreen;
    QVector<QIcon> m_imgFull;
    QToolBar* m_tbrFull = nullptr;
    QAction* m_exit = nullptr;
    bool m_closing = false;
};

} // namespace folio::readerui
