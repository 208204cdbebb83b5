// The advert window (see frmadshow.h).
#include "reader/ui/frmadshow.h"

#include "reader/ui/companionrules.h"
#include "reader/ui/readerrules.h"

#include <QResizeEvent>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace folio::readerui {

FrmADShow::FrmADShow(QWidget* parent, QWebEngineProfile* profile, Clock clock)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      m_clock(clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); })) {
    setObjectName(QStringLiteral("FrmADShow"));
    resize(twipsToPixels(4590), twipsToPixels(3075));

    m_webBAD = new QWebEngineView(this);
    m_webBAD->setObjectName(QStringLiteral("WebBAD"));
    if (profile)
        m_webBAD->setPage(new QWebEnginePage(profile, m_webBAD));

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(100);
    connect(m_timer1, &QTimer::timeout, this, &FrmADShow::tick);

    m_startTime = m_clock();
    m_timer1->start();
}

void FrmADShow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_webBAD->setGeometry(0, 0, width(), height());
}

void FrmADShow::tick() {
    if (!advertTimeIsUp(m_startTime.msecsTo(m_clock()), m_showTime))
        return;
    m_timer1->stop();
    close();
}

} // namespace folio::readerui
