// The fetch pass off the window's thread (see fetchrunner.h).
#include "qt/fetchrunner.h"

#include <QLabel>
#include <QProgressBar>

#include <algorithm>
#include <atomic>
#include <utility>

namespace folio::qt {

// What the pass reports on its thread, carried to the runner's thread. Queued calls to the
// runner are dropped by Qt once it is gone, and it is gone only after the pass has ended.
class FetchRunner::Reports : public folio::fetch::FetchObserver {
  public:
    explicit Reports(FetchRunner* runner) : m_runner(runner) {}

    void setProgressMaximum(int maximum) override {
        post([maximum](FetchRunner* r) { emit r->progressMaximum(maximum); });
    }
    void setProgressValue(int value) override {
        post([value](FetchRunner* r) { emit r->progressValue(value); });
    }
    void showChapter(const std::string& title, const std::string& link) override {
        post([title = QString::fromStdString(title), link = QString::fromStdString(link)](
                 FetchRunner* r) { emit r->chapterShown(title, link); });
    }
    void chapterStarted(int index, const std::string& title,
                        const std::string& localFile) override {
        post([index, title = QString::fromStdString(title),
              file = QString::fromStdString(localFile)](FetchRunner* r) {
            emit r->chapterStarted(index, title, file);
        });
    }
    void downloadFailed(int index, const std::string& reason) override {
        post([index, reason = QString::fromStdString(reason)](FetchRunner* r) {
            emit r->downloadFailed(index, reason);
        });
    }
    // The window that could press "停止" is going: the pass must not wait for it.
    bool keepWaiting() override { return !m_closing; }

    std::atomic<bool> m_closing{false};

  private:
    template <class F> void post(F report) {
        QMetaObject::invokeMethod(
            m_runner, [r = m_runner, report = std::move(report)] { report(r); },
            Qt::QueuedConnection);
    }
    FetchRunner* m_runner;
};

FetchRunner::FetchRunner(QObject* parent)
    : QObject(parent), m_reports(std::make_unique<Reports>(this)) {}

FetchRunner::~FetchRunner() {
    m_reports->m_closing = true;
    m_pass.stop();
    if (m_worker.joinable())
        m_worker.join();
}

bool FetchRunner::start(std::vector<std::string> texts, std::vector<std::string> targets,
                        std::vector<bool> selected, folio::fetch::FetchOptions options) {
    if (m_fetching)
        return false;
    if (m_worker.joinable())
        m_worker.join(); // a pass whose end is still on its way here
    m_fetching = true;
    m_worker = std::thread([this, texts = std::move(texts), targets = std::move(targets),
                            selected = std::move(selected), options = std::move(options)] {
        auto summary = m_pass.run(texts, targets, selected, options, *m_reports);
        QMetaObject::invokeMethod(
            this,
            [this, summary = std::move(summary)] {
                if (m_worker.joinable())
                    m_worker.join();
                m_fetching = false;
                emit finished(summary);
                if (QWidget* window = std::exchange(m_closeWhenDone, nullptr))
                    window->close();
            },
            Qt::QueuedConnection);
    });
    return true;
}

void FetchRunner::stop() {
    m_pass.stop();
}

bool FetchRunner::closeWhenDone(QWidget* window) {
    if (!m_fetching)
        return false;
    m_pass.stop();
    m_closeWhenDone = window;
    window->hide();
    return true;
}

void FetchRunner::showOn(QProgressBar* progressBar1, QLabel* label1, QLabel* label2) {
    connect(this, &FetchRunner::progressMaximum, progressBar1,
            [progressBar1](int maximum) { progressBar1->setMaximum(std::max(maximum, 0)); });
    connect(this, &FetchRunner::progressValue, progressBar1, [progressBar1](int value) {
        if (value >= progressBar1->minimum() && value <= progressBar1->maximum())
            progressBar1->setValue(value);
    });
    connect(this, &FetchRunner::chapterShown, label1,
            [label1, label2](const QString& title, const QString& link) {
                label1->setText(title);
                label2->setText(link);
                label2->setToolTip(link);
            });
    connect(this, &FetchRunner::downloadFailed, label2, [label2](int, const QString& reason) {
        // The pass waits for the user: the label says which button goes on.
        label2->setText(QStringLiteral("下载失败，点“停止”继续：") + reason);
        label2->setToolTip(reason);
    });
}

} // namespace folio::qt
