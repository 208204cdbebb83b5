// The Qt observer: routines report here and the window shows it.
#include "qt/windowobserver.h"

#include "qt/messageservice.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QString>
#include <QWidget>
#include <algorithm>

namespace folio::qt {

MessageIcon toServiceIcon(folio::MessageIcon icon) {
    switch (icon) {
    case folio::MessageIcon::Information:
        return MessageIcon::Information;
    case folio::MessageIcon::Question:
        return MessageIcon::Question;
    case folio::MessageIcon::Exclamation:
        return MessageIcon::Exclamation;
    case folio::MessageIcon::Critical:
        return MessageIcon::Critical;
    case folio::MessageIcon::None:
        break;
    }
    return MessageIcon::None;
}

WindowObserver::WindowObserver(QWidget* window, QProgressBar* progress, MessageService* messages)
    : m_window(window), m_progress(progress), m_messages(messages) {}

WindowObserver::~WindowObserver() = default;

MessageService& WindowObserver::messages() {
    return m_messages ? *m_messages : widgetMessages();
}

void WindowObserver::setProgressBar(QProgressBar* progress) {
    m_progress = progress;
}

void WindowObserver::setMessageService(MessageService* messages) {
    m_messages = messages;
}

Answer WindowObserver::messageBox(const std::string& text, const std::string& title,
                                  folio::MessageIcon icon, MessageButtons buttons) {
    const QString qtext = QString::fromStdString(text);
    const QString qtitle = QString::fromStdString(title);
    if (buttons == MessageButtons::YesNo) {
        return messages().askYesNo(m_window, qtitle, qtext, toServiceIcon(icon), true) ? Answer::Yes
                                                                                       : Answer::No;
    }
    messages().inform(m_window, qtitle, qtext, toServiceIcon(icon));
    return Answer::Ok;
}

void WindowObserver::setCaption(const std::string& caption) {
    if (m_window) {
        m_window->setWindowTitle(QString::fromStdString(caption));
    }
}

void WindowObserver::setProgressMaximum(int maximum) {
    if (m_progress) {
        // A maximum below the current value would be refused by the bar; start it afresh.
        m_progress->setMinimum(0);
        m_progress->setMaximum(maximum < 0 ? 0 : maximum);
        m_progress->setValue(0);
    }
}

void WindowObserver::setProgressValue(int value) {
    if (m_progress) {
        const int clamped = std::clamp(value, m_progress->minimum(), m_progress->maximum());
        m_progress->setValue(clamped);
    }
}

void WindowObserver::processEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace folio::qt
