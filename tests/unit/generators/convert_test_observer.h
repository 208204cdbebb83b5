// An observer for the page generator tests: records every box, caption and progress step, and
// answers questions as the test says.
#pragma once

#include "core/observer.h"

#include <string>
#include <vector>

struct ConvertRecorder : folio::Observer {
    struct Box {
        std::string text, title;
        folio::MessageIcon icon;
        folio::MessageButtons buttons;
    };
    folio::Answer answer = folio::Answer::No;
    std::vector<Box> boxes;
    std::vector<std::string> captions;
    std::vector<int> maximums, values;
    int events = 0;

    folio::Answer messageBox(const std::string& text, const std::string& title,
                             folio::MessageIcon icon, folio::MessageButtons buttons) override {
        boxes.push_back({text, title, icon, buttons});
        return buttons == folio::MessageButtons::YesNo ? answer : folio::Answer::Ok;
    }
    void setCaption(const std::string& caption) override { captions.push_back(caption); }
    void setProgressMaximum(int maximum) override { maximums.push_back(maximum); }
    void setProgressValue(int value) override { values.push_back(value); }
    void processEvents() override { ++events; }
};
