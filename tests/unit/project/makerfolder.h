// A maker folder built by each test: list/, skin/, Language names, Pro.ini and projects.
#pragma once

#include "core/text.h"
#include "tests/tools/recordingobserver.h"
#include "tests/tools/testdir.h"

#include <filesystem>
#include <string>
#include <vector>

struct MakerFolder : TempDir {
    MakerFolder() {
        for (const char* d : {"list/tree", "skin", "out"})
            std::filesystem::create_directories(path / d);
        write("skin/aero.she", "a");
        write("skin/jade.she", "j");
        write("list/tree.css", "css");
        write("list/tree/tree.css", "tree css");
    }
    // Lines written in CP936, each followed by CR LF.
    void writeLines(const std::string& name, const std::vector<std::string>& lines) const {
        std::string bytes;
        for (const auto& l : lines)
            bytes += folio::toAnsi(l) + "\r\n";
        write(name, bytes);
    }
    std::string readUtf8(const std::string& name) const { return folio::fromAnsi(read(name)); }
    void project(const std::string& name, const std::vector<std::string>& settingLines) const {
        std::filesystem::create_directories(path / name);
        writeLines(name + "/" + name + ".ini", settingLines);
    }
};
