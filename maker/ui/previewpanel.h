// The workbench's preview: the browser pane WebBook under its own toolbar Toolbar1 (back,
// forward, refresh, stop, the built-in page, zoom), and the address panel PicGetURL whose box
// ComURL navigates it.
#pragma once

#include <QWebEngineView>
#include <QWidget>

class QAction;
class QComboBox;
class QProgressBar;
class QToolBar;

namespace folio::maker {

// Toolbar1's buttons by position (see workbenchtoolbars.h).
enum class PreviewButton {
    Back = 1,
    Forward = 2,
    Refresh = 3,
    Stop = 4,
    Home = 5,
    ZoomIn = 7,
    ZoomOut = 8
};

// The browser pane: it remembers the last status text and turns every request for a new
// window into a navigation of itself to that text.
class PreviewView : public QWebEngineView {
    Q_OBJECT
  public:
    explicit PreviewView(QWidget* parent);
    const QString& lastStatusText() const { return m_status; }
    void setLastStatusText(const QString& text) { m_status = text; }

  protected:
    QWebEngineView* createWindow(QWebEnginePage::WebWindowType type) override;

  private:
    QString m_status;
};

class PreviewPanel : public QWidget {
    Q_OBJECT
  public:
    // The page's loading shows on `progress` (may be null).
    explicit PreviewPanel(QProgressBar* progress, QWidget* parent = nullptr);

    PreviewView* view() const { return m_webBook; }
    QToolBar* toolbar() const { return m_toolbar1; }
    QAction* action(PreviewButton b) const;
    // PicGetURL, the pane of its own that the address tab brings to the front.
    QWidget* addressPane() const { return m_picGetURL; }

    // A local file by its path (when it exists) or an address.
    void navigate(const QString& pathOrUrl);
    // The built-in start page, written into the pane.
    void showBuiltInPage();
    // The start page: help/help.html by its path, or the built-in page for "".
    void showStartPage(const QString& path);

    int zoomLevel() const { return m_zoomLevel; }

  signals:
    // The address box sent the preview to its text.
    void addressChosen();

  private:
    void buildToolbar();
    void buildAddressPane();
    void zoomBy(int (*step)(int));

    QToolBar* m_toolbar1 = nullptr;
    PreviewView* m_webBook = nullptr;
    QWidget* m_picGetURL = nullptr;
    QComboBox* m_comURL = nullptr;
    int m_zoomLevel = 100;
};

} // namespace folio::maker
