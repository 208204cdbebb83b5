// The Qt observer: routines report here and the window shows it.
#include "qt/windowobserver.h"

#include "qt/messageservice.h"

#include <QCoreApplication>
#include <QInputDialog>
#include <QProgressBar>
#include <QString>
#include <QStringList>
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

QString qtFileFilter(const QString& systemFilter) {
    const QStringList parts = systemFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        const QString given = i + 1 < parts.size() ? parts[i + 1] : QStringLiteral("*");
        QStringList patterns;
        for (const QString& p : given.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString pattern =
                p.trimmed() == QLatin1String("*.*") ? QStringLiteral("*") : p.trimmed();
            for (const QString& form : {pattern, pattern.toLower(), pattern.toUpper()})
                if (!form.isEmpty() && !patterns.contains(form))
                    patterns << form;
        }
        if (description.isEmpty() && patterns.isEmpty())
            continue;
        filters << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
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
                                  folio::MessageIcon icon, MessageButtons buttons,
                                  Answer defaultAnswer) {
    const QString qtext = QString::fromStdString(text);
    const QString qtitle = QString::fromStdString(title);
    if (buttons == MessageButtons::YesNo) {
        return messages().askYesNo(m_window, qtitle, qtext, toServiceIcon(icon),
                                   defaultAnswer != Answer::No)
                   ? Answer::Yes
                   : Answer::No;
    }
    messages().inform(m_window, qtitle, qtext, toServiceIcon(icon));
    return Answer::Ok;
}

std::optional<std::string> WindowObserver::askSaveFileName(const std::string& title,
                                                           const std::string& folder,
                                                           const std::string& filter) {
    const QString path = messages().saveFileName(m_window, QString::fromStdString(title),
                                                 QString::fromStdString(folder),
                                                 qtFileFilter(QString::fromStdString(filter)));
    if (path.isEmpty())
        return std::nullopt;
    return path.toStdString();
}

std::optional<std::string> WindowObserver::askText(const std::string& title,
                                                   const std::string& label) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(m_window, QString::fromStdString(title),
                              QString::fromStdString(label), QLineEdit::Normal, {}, &ok);
    if (!ok)
        return std::nullopt;
    return text.toStdString();
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
