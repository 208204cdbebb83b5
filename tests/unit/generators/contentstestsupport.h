// What the contents and home page tests share: an observer that records, and file helpers.
#pragma once

#include "core/observer.h"
#include "core/text.h"
#include "tests/tools/testdir.h"

#include <filesystem>
#include <string>
#include <vector>

struct RecordingObserver : folio::Observer {
    struct Box {
        std::string text, title;
        folio::MessageIcon icon;
    };
    std::vector<Box> boxes;
    int progressMaximum = -1;
    std::vector<int> progress;
    int events = 0;

    folio::Answer messageBox(const std::string& text, const std::string& title,
                             folio::MessageIcon icon, folio::MessageButtons) override {
        boxes.push_back({text, title, icon});
        return folio::Answer::Ok;
    }
    void setProgressMaximum(int maximum) override { progressMaximum = maximum; }
    void setProgressValue(int value) override { progress.push_back(value); }
    void processEvents() override { ++events; }
};

// Writes UTF-8 text as the CP936 bytes the system's files hold, creating folders on the way.
inline void writeAnsi(const std::filesystem::path& path, const std::string& utf8) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << folio::toAnsi(utf8);
}

inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
