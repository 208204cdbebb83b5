// The real dialogs behind MessageService.
#include "qt/messageservice.h"

#include "qt/language.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include <utility>

namespace folio::qt {

namespace {

QMessageBox::Icon boxIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::None:
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

void WidgetMessageService::inform(QWidget* parent, const QString& title, const QString& text,
                                  MessageIcon icon) {
    QMessageBox box(boxIcon(icon), title, text, QMessageBox::Ok, parent);
    nameButtons(box);
    box.exec();
}

bool WidgetMessageService::askYesNo(QWidget* parent, const QString& title, const QString& text,
                                    MessageIcon icon, bool defaultYes) {
    QMessageBox box(boxIcon(icon), title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    nameButtons(box);
    return box.exec() == QMessageBox::Yes;
}

QString WidgetMessageService::saveFileName(QWidget* parent, const QString& title,
                                           const QString& folder, const QString& filter) {
    QFileDialog dialog(parent, title, folder, filter);
    dialog.setObjectName(QStringLiteral("CommonDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The overwrite question is the window's own, with its own wording.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

QString WidgetMessageService::askText(QWidget* parent, const QString& title, const QString& label) {
    bool ok = false;
    const QString text = QInputDialog::getText(parent, title, label, QLineEdit::Normal, {}, &ok);
    return ok ? text : QString();
}

MessageService& widgetMessages() {
    // The dialogs keep no state, so one service serves every window.
    static WidgetMessageService service;
    return service;
}

} // namespace folio::qt
