#include "fetch/netsettings.h"
#include "tests/tools/testdir.h"

#include <gtest/gtest.h>

using namespace folio::fetch;

TEST(NetSettings, DefaultsPointAtTheLocalMachine) {
    TempDir dir;
    const NetSettings s = readNetSettings(dir.str());
    EXPECT_EQ(s.libraryBase, "http://127.0.0.1:8080/");
    EXPECT_EQ(s.authorPrefix(), "http://127.0.0.1:8080/Author");
}

TEST(NetSettings, FileOverridesAndTheLibraryBaseEndsInASlash) {
    TempDir dir;
    dir.write("folioNet.ini", "[folioNet]\r\nnovelsite = http://127.0.0.1:9/\r\n"
                              "Library=http://127.0.0.1:9/lib\r\n");
    const NetSettings s = readNetSettings(dir.str());
    EXPECT_EQ(s.authorPrefix(), "http://127.0.0.1:9/Author");
    EXPECT_EQ(s.libraryBase, "http://127.0.0.1:9/lib/");
    EXPECT_EQ(s.novelSiteName, NetSettings{}.novelSiteName);
}
