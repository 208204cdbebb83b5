// The Qt observer: routines report here and the window shows it (see windowobserver.h).
#include "qt/windowobserver.h"

#include "qt/language.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QProgressBar>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <algorithm>
#include <utility>

namespace folio::qt {

namespace {

QMessageBox::Icon boxIcon(folio::MessageIcon icon) {
    switch (icon) {
    case folio::MessageIcon::Information:
        return QMessageBox::Information;
    case folio::MessageIcon::Question:
        return QMessageBox::Question;
    case folio::MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case folio::MessageIcon::Critical:
        return QMessageBox::Critical;
    case folio::MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// The box's buttons speak the interface language, not Qt's built-in English.
void nameButtons(QMessageBox& box) {
    const QString folder = CurrentLanguageFolder();
    const std::pair<QMessageBox::StandardButton, std::pair<const char*, const char*>> names[] = {
        {QMessageBox::Ok, {"ButtonOK", "确定"}},
        {QMessageBox::Yes, {"ButtonYes", "是(&Y)"}},
        {QMessageBox::No, {"ButtonNo", "否(&N)"}},
    };
    for (const auto& [button, name] : names) {
        if (QAbstractButton* b = box.button(button))
            b->setText(CurrentLanguageText(folder, name.first, name.second));
    }
}

} // namespace

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

WindowObserver::WindowObserver(QWidget* window, QProgressBar* progress, folio::Observer* dialogs)
    : m_window(window), m_progress(progress), m_dialogs(dialogs) {}

WindowObserver::~WindowObserver() = default;

void WindowObserver::setProgressBar(QProgressBar* progress) {
    m_progress = progress;
}

void WindowObserver::setDialogs(folio::Observer* dialogs) {
    m_dialogs = dialogs;
}

Answer WindowObserver::messageBox(const std::string& text, const std::string& title,
                                  folio::MessageIcon icon, MessageButtons buttons,
                                  Answer defaultAnswer) {
    if (m_dialogs)
        return m_dialogs->messageBox(text, title, icon, buttons, defaultAnswer);
    const bool question = buttons == MessageButtons::YesNo;
    QMessageBox box(boxIcon(icon), QString::fromStdString(title), QString::fromStdString(text),
                    question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, m_window);
    if (question)
        box.setDefaultButton(defaultAnswer == Answer::No ? QMessageBox::No : QMessageBox::Yes);
    nameButtons(box);
    const int clicked = box.exec();
    if (!question)
        return Answer::Ok;
    return clicked == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

std::optional<std::string> WindowObserver::askSaveFileName(const std::string& title,
                                                           const std::string& folder,
                                                           const std::string& filter) {
    if (m_dialogs)
        return m_dialogs->askSaveFileName(title, folder, filter);
    QFileDialog dialog(m_window, QString::fromStdString(title), QString::fromStdString(folder),
                       qtFileFilter(QString::fromStdString(filter)));
    dialog.setObjectName(QStringLiteral("CommonDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The overwrite question is the caller's own, with its own wording.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst().toStdString();
}

std::optional<std::string> WindowObserver::askText(const std::string& title,
                                                   const std::string& label) {
    if (m_dialogs)
        return m_dialogs->askText(title, label);
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
