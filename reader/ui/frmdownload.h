// The online reader's download window: fetches the chosen chapters of the page shown in the
// reading window into a local folder.
#pragma once

#include "fetch/download.h"
#include "fetch/fetchpass.h"
#include "qt/fetchrunner.h"
#include "qt/windowobserver.h"
#include "reader/ui/companionrules.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace folio::readerui {

struct FrmDownloadSettings {
    QString novelSiteName = QStringLiteral("小说网站"); // the novel-site option's caption
    std::string authorPrefix;                           // the site's host + "/Author"
    folio::fetch::DownloadOptions download;
    folio::Observer* dialogs = nullptr; // null: the real message boxes
    FolderChooser chooseFolder;         // empty: the real folder picker
    QString folder;                     // the download folder offered at start
};

class FrmDownload : public QWidget {
    Q_OBJECT
  public:
    // A top-level window beside `parent`, listing the links of the page (texts and their
    // targets, in document order).
    FrmDownload(QWidget* parent, QStringList linkTexts, QStringList linkTargets,
                FrmDownloadSettings settings = {});
    ~FrmDownload() override;

    // Refills both lists (the reading window's hand-over).
    void setLinks(const QStringList& linkTexts, const QStringList& linkTargets);

    // True while a fetch pass runs.
    bool isFetching() const;
    // True while the pass may wait on a failed download (cleared by "停止").
    bool isRunning() const;
    const folio::fetch::FetchSummary& lastSummary() const { return m_summary; }

  signals:
    // A fetch pass has ended ("开始" and "退出" are enabled again).
    void fetchFinished();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void start();
    void stop();
    void browse();
    void passEnded(const folio::fetch::FetchSummary& summary);
    void list3Clicked();
    void list4Clicked();

    FrmDownloadSettings m_settings;
    folio::qt::WindowObserver m_messages;
    folio::fetch::FetchSummary m_summary;
    bool m_placed = false;

    QListWidget* m_list3 = nullptr;
    QListWidget* m_list4 = nullptr;
    QLineEdit* m_text1 = nullptr;
    QRadioButton* m_option1 = nullptr;
    QRadioButton* m_option2 = nullptr;
    QPushButton* m_command1 = nullptr;
    QPushButton* m_command2 = nullptr;
    QPushButton* m_command3 = nullptr;
    QPushButton* m_command4 = nullptr;
    QProgressBar* m_progressBar1 = nullptr;
    QLabel* m_label1 = nullptr;
    QLabel* m_label2 = nullptr;
    // Last, so that it goes first: a window going mid-pass waits for the pass to end.
    std::unique_ptr<folio::qt::FetchRunner> m_runner;
};

} // namespace folio::readerui
