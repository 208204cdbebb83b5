// FrmGetURL, "分析网址": collects the links of the page shown in the workbench's preview into
// the two link lists, all of them or those whose inner HTML holds a keyword.
#pragma once

#include "core/observer.h"
#include "fetch/links.h"

#include <QPointer>
#include <QStringList>
#include <QWebEnginePage>
#include <QWidget>

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace folio::maker {

class FrmGetURL : public QWidget {
    Q_OBJECT
  public:
    // `page` is the preview's page (WebBook); `observer` shows the closing message.
    FrmGetURL(QWidget* parent, QWebEnginePage* page, folio::Observer& observer);

    void setPage(QWebEnginePage* page) { m_page = page; }

    // "分析" as a click would run it. The page answers asynchronously: linksFound follows,
    // then the message, then the window hides.
    void analyse();
    bool isAnalysing() const { return m_analysing; }

    // The keyword rule applied to the links a page gave (Option2), or all of them (Option1).
    folio::fetch::LinkLists choose(const folio::fetch::LinkLists& all) const;

  signals:
    // The new contents of List3 (texts) and List4 (targets), replacing the old.
    void linksFound(const QStringList& texts, const QStringList& targets);

  private:
    void finish(const folio::fetch::LinkLists& all);

    QPointer<QWebEnginePage> m_page;
    folio::Observer& m_observer;
    bool m_analysing = false;

    QRadioButton* m_option1 = nullptr;
    QRadioButton* m_option2 = nullptr;
    QLineEdit* m_text1 = nullptr;
    QPushButton* m_command1 = nullptr;
};

} // namespace folio::maker
