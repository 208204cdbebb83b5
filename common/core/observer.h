// What a routine driven by a window reports while it runs: message boxes and questions, the
// caption, a progress bar and a chance to handle pending events. Windows paint it, the command
// line prints it, tests record it. One interface for the compiler, the fetch pass and the
// page generators.
#pragma once

#include <string>

namespace folio {

enum class MessageIcon { None, Information, Question, Exclamation, Critical };
enum class MessageButtons { Ok, YesNo };
enum class Answer { Ok, Yes, No };

class Observer {
  public:
    virtual ~Observer() = default;
    // A modal box with the exact text and title; for YesNo the answer decides what follows.
    virtual Answer messageBox(const std::string& text, const std::string& title, MessageIcon icon,
                              MessageButtons buttons = MessageButtons::Ok) = 0;
    virtual void setCaption(const std::string& /*caption*/) {}
    virtual void setProgressMaximum(int /*maximum*/) {}
    virtual void setProgressValue(int /*value*/) {}
    // Lets the window repaint and take a stop click; long loops call it per item.
    virtual void processEvents() {}
};

// An observer that shows nothing and answers every question with No.
class SilentObserver : public Observer {
  public:
    Answer messageBox(const std::string&, const std::string&, MessageIcon,
                      MessageButtons buttons) override {
        return buttons == MessageButtons::YesNo ? Answer::No : Answer::Ok;
    }
};

} // namespace folio
