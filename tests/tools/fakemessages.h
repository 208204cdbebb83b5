// The tests' one message service: records every box and answers the dialogs from queues.
#pragma once

#include "qt/messageservice.h"

#include <QList>
#include <QString>

#include <deque>
#include <functional>
#include <utility>

namespace folio::testing {

class FakeMessages : public folio::qt::MessageService {
  public:
    struct Shown {
        QString title, text;
    };
    QList<Shown> shown;     // messages with an OK button, in order
    QList<Shown> questions; // Yes/No questions, in order
    QList<bool> questionDefaults;
    QList<folio::qt::MessageIcon> icons; // of every box, messages and questions alike

    std::deque<bool> yesNoAnswers; // taken in turn; once spent, every answer is `answerYes`
    bool answerYes = false;
    std::deque<QString> saveAnswers; // file names in turn; once spent, a cancel
    std::function<void()> onInform;  // runs once, inside the next message, as a click during it

    void inform(QWidget*, const QString& title, const QString& text,
                folio::qt::MessageIcon icon) override {
        shown.push_back({title, text});
        icons.push_back(icon);
        if (onInform) {
            auto f = std::move(onInform);
            onInform = nullptr;
            f();
        }
    }
    bool askYesNo(QWidget*, const QString& title, const QString& text, folio::qt::MessageIcon icon,
                  bool defaultYes) override {
        questions.push_back({title, text});
        icons.push_back(icon);
        questionDefaults.push_back(defaultYes);
        if (yesNoAnswers.empty())
            return answerYes;
        const bool a = yesNoAnswers.front();
        yesNoAnswers.pop_front();
        return a;
    }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override {
        if (saveAnswers.empty())
            return {};
        QString a = saveAnswers.front();
        saveAnswers.pop_front();
        return a;
    }
    QString askText(QWidget*, const QString&, const QString&) override { return {}; }
};

} // namespace folio::testing
