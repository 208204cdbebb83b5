// The tests' one observer: records every box, caption, progress step and event pump in order,
// and answers Yes/No questions, the save dialog and text prompts from queues.
#pragma once

#include "core/observer.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace folio::testing {

class RecordingObserver : public folio::Observer {
  public:
    struct Box {
        std::string text, title;
        folio::MessageIcon icon = folio::MessageIcon::None;
        folio::MessageButtons buttons = folio::MessageButtons::Ok;
        folio::Answer defaultAnswer = folio::Answer::Yes; // of a question
    };
    // Everything reported, in the order it came, for tests that check the sequence.
    struct Event {
        enum Kind { Message, Caption, Maximum, Value, Events } kind;
        std::string text;
        std::string title;
        folio::MessageIcon icon = folio::MessageIcon::None;
        int number = 0;
    };

    std::vector<Box> boxes;
    std::vector<std::string> captions;
    std::vector<int> maximums, values;
    int events = 0; // event pumps
    std::vector<Event> log;

    std::deque<folio::Answer> answers;        // taken in turn by Yes/No questions
    folio::Answer answer = folio::Answer::No; // once `answers` is spent
    std::deque<std::string> saveAnswers;      // file names in turn; once spent, a cancel
    std::deque<std::string> textAnswers;      // prompt answers in turn; once spent, a cancel
    std::function<void()> onMessage; // runs once, inside the next box, as a click during it

    folio::Answer messageBox(const std::string& text, const std::string& title,
                             folio::MessageIcon icon, folio::MessageButtons buttons,
                             folio::Answer defaultAnswer) override {
        boxes.push_back({text, title, icon, buttons, defaultAnswer});
        log.push_back({Event::Message, text, title, icon, 0});
        if (onMessage)
            std::exchange(onMessage, nullptr)();
        if (buttons != folio::MessageButtons::YesNo)
            return folio::Answer::Ok;
        if (answers.empty())
            return answer;
        const folio::Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<std::string> askSaveFileName(const std::string&, const std::string&,
                                               const std::string&) override {
        return take(saveAnswers);
    }
    std::optional<std::string> askText(const std::string&, const std::string&) override {
        return take(textAnswers);
    }
    void setCaption(const std::string& caption) override {
        captions.push_back(caption);
        log.push_back({Event::Caption, caption, {}, {}, 0});
    }
    void setProgressMaximum(int maximum) override {
        maximums.push_back(maximum);
        log.push_back({Event::Maximum, {}, {}, {}, maximum});
    }
    void setProgressValue(int value) override {
        values.push_back(value);
        log.push_back({Event::Value, {}, {}, {}, value});
    }
    void processEvents() override {
        ++events;
        log.push_back({Event::Events, {}, {}, {}, 0});
    }

    // The boxes with an OK button only, and the Yes/No questions, each in order.
    std::vector<Box> messages() const { return boxesWith(folio::MessageButtons::Ok); }
    std::vector<Box> questions() const { return boxesWith(folio::MessageButtons::YesNo); }

    // The reports of one kind, in order.
    std::vector<Event> of(Event::Kind kind) const {
        std::vector<Event> found;
        for (const Event& e : log)
            if (e.kind == kind)
                found.push_back(e);
        return found;
    }
    // Whether a box's text holds `part`.
    bool shown(const std::string& part) const {
        for (const Box& b : boxes)
            if (b.text.find(part) != std::string::npos)
                return true;
        return false;
    }
    // The last progress maximum set, -1 when none was.
    int lastMaximum() const { return maximums.empty() ? -1 : maximums.back(); }

    void clear() {
        boxes.clear();
        captions.clear();
        maximums.clear();
        values.clear();
        events = 0;
        log.clear();
    }

  private:
    static std::optional<std::string> take(std::deque<std::string>& queue) {
        if (queue.empty())
            return std::nullopt;
        std::string a = std::move(queue.front());
        queue.pop_front();
        return a;
    }
    std::vector<Box> boxesWith(folio::MessageButtons buttons) const {
        std::vector<Box> found;
        for (const Box& b : boxes)
            if (b.buttons == buttons)
                found.push_back(b);
        return found;
    }
};

} // namespace folio::testing
