// What folioPage shows when it is started without a book: "打开" and the books opened lately.
#pragma once

#include "qt/windowobserver.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QWidget>

#include <functional>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QMimeData;
class QPushButton;

namespace folio::readerui {

// The first local file among dropped data (the book a user drags onto a reader window);
// empty when the drop holds none.
QString droppedFile(const QMimeData* data);

// Watches widgets (a window and its browser panes) for a book dropped on them; the browser
// panes would otherwise take the file for a page to show.
class BookDrops : public QObject {
    Q_OBJECT
  public:
    BookDrops(const QList<QWidget*>& widgets, QObject* parent);

  signals:
    void bookDropped(const QString& path);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

class StartPage : public QWidget {
    Q_OBJECT
  public:
    // `dialogs` null means the real message boxes; `stateFolder` empty means the user's own.
    explicit StartPage(folio::Observer* dialogs = nullptr, QString stateFolder = {},
                       QWidget* parent = nullptr);
    ~StartPage() override;

    // Replaces the file dialog of "打开" (tests answer it); it returns the chosen path or "".
    void setFileChooser(std::function<QString(QWidget*)> choose);

    // Lists the recent books again (those still on disk, most recent first).
    void reload();

    QPushButton* openButton() const { return m_open; }
    QListWidget* recentList() const { return m_list; }

    // Opens `path` when it is a Book image (emits bookChosen), else says why it is not one.
    bool openBook(const QString& path);

  signals:
    // A Book image to read (checked: it opens and has a usable descriptor).
    void bookChosen(const QString& path);

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void chooseFile();
    void itemActivated(QListWidgetItem* item);

    folio::qt::WindowObserver m_observer;
    QString m_stateFolder;
    std::function<QString(QWidget*)> m_choose;
    QPushButton* m_open = nullptr;
    QListWidget* m_list = nullptr;
    QLabel* m_empty = nullptr;
};

} // namespace folio::readerui
