// The reading settings on the Linux readers: read from reading.ini, laid over every page of the
// window's profile before the page is first painted, and over the panes' own widgets.
#pragma once

#include "reader/core/reading.h"

#include <QList>
#include <QString>

class QWebEngineProfile;
class QWebEngineView;
class QWidget;

namespace folio::readerui {

class ReadingStyle {
  public:
    // $XDG_CONFIG_HOME/folio/reading.ini (~/.config/folio/reading.ini without it).
    static QString defaultFile();

    // Reads the default settings from `file`; a file that is missing is the built-in default,
    // and what fell back is said once in the log.
    void load(const QString& file = defaultFile());
    const reader::ReadingSettings& settings() const { return m_settings; }
    // Settings chosen in the panel or kept for the book (their user style sheet read anew).
    void setSettings(const reader::ReadingSettings& settings);
    // Writes `settings` as the default for books not yet read.
    static Result<void> saveDefault(const reader::ReadingSettings& settings,
                                    const QString& file = defaultFile());

    // Lays the settings over every page `pageView` shows from its creation on, the theme alone
    // over every other page of `profile` (the contents pane, full screen), gives both panes the
    // theme's page colour for the moment before a page paints, and `widgets` (the search
    // panel, the status line) its colours. Each setting applied is logged.
    void apply(QWebEngineProfile* profile, QWebEngineView* contentsView, QWebEngineView* pageView,
               const QList<QWidget*>& widgets) const;

  private:
    reader::ReadingSettings m_settings;
    QString m_userCss;
};

// The chapter keys (Space and PageDown at a page's end, PageUp at its top) for every page of
// `profile`.
void installChapterKeys(QWebEngineProfile* profile);

} // namespace folio::readerui
