// What a routine driven by a window reports while it runs: message boxes and questions, the
// caption, a progress bar and a chance to handle pending events. Windows paint it, the command
// line prints it, tests record it. One interface for the compiler, the fetch pass, the page
// generators and the reading window's commands.
#pragma once

#include <optional>
#include <string>

namespace folio {

enum class MessageIcon { None, Information, Question, Exclamation, Critical };
enum class MessageButtons { Ok, YesNo };
enum class Answer { Ok, Yes, No };

class Observer {
  public:
    virtual ~Observer() = default;
    // A modal box with the exact text and title; for YesNo the answer decides what follows.
    // `defaultAnswer` is the button a bare Enter presses: a question whose Yes destroys
    // something (overwriting a file) defaults to No.
    virtual Answer messageBox(const std::string& text, const std::string& title, MessageIcon icon,
                              MessageButtons buttons = MessageButtons::Ok,
                              Answer defaultAnswer = Answer::Yes) = 0;
    // The save-file dialog titled `title`, opened in `folder`: the chosen path, or nullopt
    // when the user cancels. `filter` is in the system's own form, descriptions and patterns
    // in turn ("文本文件(*.Txt)|*.Txt|全部文件(*.*)|*.*"). The dialog does not ask about an
    // existing file: the caller asks, in its own words. An observer that cannot ask cancels.
    virtual std::optional<std::string> askSaveFileName(const std::string& /*title*/,
                                                       const std::string& /*folder*/,
                                                       const std::string& /*filter*/) {
        return std::nullopt;
    }
    // A one-line text prompt; nullopt when the user cancels (or nobody can be asked).
    virtual std::optional<std::string> askText(const std::string& /*title*/,
                                               const std::string& /*label*/) {
        return std::nullopt;
    }
    virtual void setCaption(const std::string& /*caption*/) {}
    virtual void setProgressMaximum(int /*maximum*/) {}
    virtual void setProgressValue(int /*value*/) {}
    // Lets the window repaint and take a stop click; long loops call it per item.
    virtual void processEvents() {}
};

// An observer that shows nothing, answers every question with No and cancels every dialog.
class SilentObserver : public Observer {
  public:
    Answer messageBox(const std::string&, const std::string&, MessageIcon, MessageButtons buttons,
                      Answer) override {
        return buttons == MessageButtons::YesNo ? Answer::No : Answer::Ok;
    }
};

} // namespace folio
