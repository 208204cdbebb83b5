// The chapter fetch pass of the download windows, run on a thread of its own so that the window
// stays responsive (repaints, "停止") while pages download: what the pass reports comes back as
// signals on the window's thread, in the order the pass made it. The maker's and the online
// reader's download windows share it.
#pragma once

#include "fetch/fetchpass.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>
#include <string>
#include <thread>
#include <vector>

class QLabel;
class QProgressBar;

namespace folio::qt {

class FetchRunner : public QObject {
    Q_OBJECT
  public:
    explicit FetchRunner(QObject* parent = nullptr);
    // Ends the wait after a failed download and lets the pass finish its list; nothing is
    // reported any more.
    ~FetchRunner() override;

    // Starts a pass over the parallel lists (see FetchPass::run); false, with nothing started,
    // while the previous pass has not ended.
    bool start(std::vector<std::string> texts, std::vector<std::string> targets,
               std::vector<bool> selected, folio::fetch::FetchOptions options);
    // "停止": failed downloads are no longer waited on; the pass itself goes on.
    void stop();

    // From start() until finished() is emitted.
    bool isFetching() const { return m_fetching; }
    // While the pass may wait on a failed download (cleared by stop()).
    bool isRunning() const { return m_pass.isRunning(); }

    // Shows the pass on a download window's controls: the progress on `progressBar1`, the
    // chapter being fetched in `label1` and its link (or why it failed) in `label2`.
    void showOn(QProgressBar* progressBar1, QLabel* label1, QLabel* label2);

    // A window asked to close mid-pass: the pass stops waiting, the window hides and closes
    // once the pass has finished its list (after finished()). False when no pass runs: the
    // window may close now.
    bool closeWhenDone(QWidget* window);

  signals:
    void progressMaximum(int maximum);
    void progressValue(int value);
    void chapterShown(const QString& title, const QString& link);
    // A selected chapter is about to be downloaded to `localFile`.
    void chapterStarted(int index, const QString& title, const QString& localFile);
    // The pass now waits for "停止"; `reason` names the address, the file and the fault.
    void downloadFailed(int index, const QString& reason);
    void finished(const folio::fetch::FetchSummary& summary);

  private:
    class Reports;

    folio::fetch::FetchPass m_pass;
    std::unique_ptr<Reports> m_reports;
    std::thread m_worker;
    bool m_fetching = false;
    QPointer<QWidget> m_closeWhenDone;
};

} // namespace folio::qt
