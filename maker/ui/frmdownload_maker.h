// FrmDownLoad, "下载文件": fetches the chapters selected in the link lists into the project
// folder and adds one contents entry per chapter under the grid's current row.
#pragma once

#include "core/observer.h"
#include "fetch/download.h"
#include "fetch/fetchpass.h"
#include "maker/generators/contentslist.h"
#include "maker/ui/companionsupport.h"
#include "qt/fetchrunner.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace folio::maker {

struct FrmDownLoadInputs {
    folio::generators::ContentsList* contents = nullptr;
    LinkSource links;                       // List3 / List4 and List3's selection
    std::function<int()> currentRow;        // the grid's current row
    std::function<QString()> projectFolder; // maker folder + "/" + TxtTitle, read at "开始"
    std::string makerFolder;                // folioNet.ini there names the novel site
    folio::fetch::DownloadOptions download;
};

class FrmDownLoad : public QWidget {
    Q_OBJECT
  public:
    // `observer` shows the messages (the workbench's).
    FrmDownLoad(QWidget* parent, FrmDownLoadInputs inputs, folio::Observer& observer);
    ~FrmDownLoad() override;

    // "开始" as a click would run it: the pass starts on its own thread and fetchFinished()
    // follows its end; the window stays responsive meanwhile.
    void start();
    // "停止": failed downloads are no longer waited on.
    void stop();

    bool isFetching() const { return m_runner->isFetching(); }
    bool isRunning() const { return m_runner->isRunning(); }
    const folio::fetch::FetchSummary& lastSummary() const { return m_summary; }
    const std::string& authorPrefix() const { return m_authorPrefix; }

  signals:
    // A row was added to the contents list.
    void contentsChanged();
    // A pass has ended ("开始" and "退出" are enabled again).
    void fetchFinished();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void chapterStarted(const QString& title, const QString& localFile);
    void passEnded(const folio::fetch::FetchSummary& summary);

    FrmDownLoadInputs m_in;
    folio::Observer& m_observer;
    std::string m_authorPrefix;
    std::string m_parentId; // of the rows the running pass adds: the grid's row at "开始"
    folio::fetch::FetchSummary m_summary;

    QRadioButton* m_option1 = nullptr;
    QRadioButton* m_option2 = nullptr;
    QPushButton* m_command1 = nullptr;
    QPushButton* m_command2 = nullptr;
    QPushButton* m_command3 = nullptr;
    QProgressBar* m_progressBar1 = nullptr;
    QLabel* m_label1 = nullptr;
    QLabel* m_label2 = nullptr;
    // Last, so that it goes first: a window going mid-pass waits for the pass to end.
    std::unique_ptr<folio::qt::FetchRunner> m_runner;
};

} // namespace folio::maker
