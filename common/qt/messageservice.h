// Modal message boxes and file dialogs behind one small interface, so that the windows show the
// real dialogs and the tests answer them.
#pragma once

#include <QString>

class QWidget;

namespace folio::qt {

enum class MessageIcon { None, Information, Question, Exclamation, Critical };

class MessageService {
  public:
    virtual ~MessageService() = default;

    // A message with an OK button.
    virtual void inform(QWidget* parent, const QString& title, const QString& text,
                        MessageIcon icon) = 0;

    // A Yes/No question; true on Yes. `defaultYes` picks the default button.
    virtual bool askYesNo(QWidget* parent, const QString& title, const QString& text,
                          MessageIcon icon, bool defaultYes) = 0;

    // The save-file dialog; an empty text when the user cancels. `filter` uses the Qt form
    // ("Text (*.txt);;All (*.*)").
    virtual QString saveFileName(QWidget* parent, const QString& title, const QString& folder,
                                 const QString& filter) = 0;

    // A one-line text prompt; an empty text when the user cancels.
    virtual QString askText(QWidget* parent, const QString& title, const QString& label) = 0;
};

// The real dialogs: QMessageBox, QFileDialog, QInputDialog.
class WidgetMessageService : public MessageService {
  public:
    void inform(QWidget* parent, const QString& title, const QString& text,
                MessageIcon icon) override;
    bool askYesNo(QWidget* parent, const QString& title, const QString& text, MessageIcon icon,
                  bool defaultYes) override;
    QString saveFileName(QWidget* parent, const QString& title, const QString& folder,
                         const QString& filter) override;
    QString askText(QWidget* parent, const QString& title, const QString& label) override;
};

// The real dialogs, one service for every window that was handed none.
MessageService& widgetMessages();

} // namespace folio::qt
