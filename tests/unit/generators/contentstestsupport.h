// What the contents and home page tests share: the recording observer and file helpers.
#pragma once

#include "core/text.h"
#include "tests/tools/recordingobserver.h"
#include "tests/tools/testdir.h"

#include <filesystem>
#include <string>
#include <vector>

using folio::testing::RecordingObserver;

// Writes UTF-8 text as the CP936 bytes the system's files hold, creating folders on the way.
inline void writeAnsi(const std::filesystem::path& path, const std::string& utf8) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << folio::toAnsi(utf8);
}

// A page as the generators write it: the page's bytes, their mark and a line end.
inline std::string marked(const std::string& bytes) {
    return bytes + "<!-- made by folioMake from its template: generating it again replaces this "
                   "file -->\r\n";
}

inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
