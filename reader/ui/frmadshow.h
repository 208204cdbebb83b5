// The advert window: a small borderless page that closes itself after its show time.
#pragma once

#include <QDateTime>
#include <QWidget>

#include <functional>

class QTimer;
class QWebEngineProfile;
class QWebEngineView;

namespace folio::readerui {

class FrmADShow : public QWidget {
    Q_OBJECT
  public:
    using Clock = std::function<QDateTime()>;

    // The window loads at once: the start time is taken now (from `clock`, the system clock
    // when empty) and the timer starts.
    FrmADShow(QWidget* parent, QWebEngineProfile* profile = nullptr, Clock clock = {});

    // The show time as a date value counted in days; the window closes at the first tick at
    // which more days than its whole number have passed since it loaded.
    double ShowTime() const { return m_showTime; }
    void setShowTime(double New_ShowTime) { m_showTime = New_ShowTime; }
    QDateTime StartTime() const { return m_startTime; }

    QWebEngineView* webBAD() const { return m_webBAD; }
    QTimer* timer1() const { return m_timer1; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void tick();

    Clock m_clock;
    double m_showTime = 0;
    QDateTime m_startTime;
    QWebEngineView* m_webBAD = nullptr;
    QTimer* m_timer1 = nullptr;
};

} // namespace folio::readerui
