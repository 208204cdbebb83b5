// Whole-file reads and atomic writes: errors name the file, replacements leave no debris.
#include "fileio.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace folio;
namespace fs = std::filesystem;

namespace {

fs::path freshDir(const std::string& name) {
    fs::path dir = fs::path(FOLIO_BINARY_DIR) / "fileio_test_scratch" / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

} // namespace

TEST(FileIo, AtomicWriteReplacesTheFileKeepsItsModeAndLeavesNoTemporaryFile) {
    const fs::path dir = freshDir("replace");
    const std::string target = (dir / "book.exe").string();
    ASSERT_TRUE(writeFileAtomic(target, std::string("old contents, longer than the new")));
    fs::permissions(target, fs::perms::owner_all | fs::perms::group_read);
    Bytes data{0, 1, 2, 0xFF, 0};
    ASSERT_TRUE(writeFileAtomic(target, data));
    auto back = readFileBytes(target);
    ASSERT_TRUE(back) << back.error().message;
    EXPECT_EQ(*back, data);
    EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_all | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
        << "a temporary file was left beside the target";

    ASSERT_TRUE(writeFileAtomic(target, Bytes{}));
    EXPECT_TRUE(readFileBytes(target)->empty());

    const std::string copy = (dir / "copy.exe").string();
    ASSERT_TRUE(copyFileAtomic(target, copy));
    EXPECT_EQ(fs::status(copy).permissions(), fs::perms::owner_all | fs::perms::group_read);
}

TEST(FileIo, FailuresNameTheFileAndTheReason) {
    const fs::path dir = freshDir("errors");
    const std::string missing = (dir / "missing.bin").string();
    auto r = readFileBytes(missing);
    ASSERT_FALSE(r);
    EXPECT_NE(r.error().message.find(missing), std::string::npos) << r.error().message;
    EXPECT_NE(r.error().message.find("No such file"), std::string::npos) << r.error().message;

    auto folder = readFileBytes(dir.string());
    ASSERT_FALSE(folder);
    EXPECT_NE(folder.error().message.find("folder"), std::string::npos);

    const std::string nowhere = (dir / "no" / "such" / "dir" / "out.bin").string();
    auto w = writeFileAtomic(nowhere, std::string("x"));
    ASSERT_FALSE(w);
    EXPECT_NE(w.error().message.find(nowhere), std::string::npos) << w.error().message;

    auto c = copyFileAtomic(missing, (dir / "copy.bin").string());
    ASSERT_FALSE(c);
    EXPECT_FALSE(fileExists((dir / "copy.bin").string())) << "a failed copy created its target";
}

TEST(FileIo, PathHelpers) {
    EXPECT_EQ(FixPath("/a/b"), "/a/b/");
    EXPECT_EQ(FixPath("/a/b/"), "/a/b/");
    EXPECT_EQ(FixPath(""), "");
    EXPECT_EQ(parentFolder("/a/b/c.txt"), "/a/b");
    EXPECT_EQ(parentFolder("/c.txt"), "/");
    EXPECT_EQ(parentFolder("c.txt"), ".");
    EXPECT_EQ(fileName("/a/b/c.txt"), "c.txt");
    EXPECT_EQ(fileName("a\\b\\c.txt"), "c.txt");
    EXPECT_EQ(baseNameWithoutExtension("/a/mybook.exe.exe"), "mybook.exe");
    EXPECT_EQ(baseNameWithoutExtension("/a/.hidden"), ".hidden");
    EXPECT_EQ(baseNameWithoutExtension("/a.d/name"), "name");
    EXPECT_TRUE(dirExists(FOLIO_BINARY_DIR));
    EXPECT_FALSE(fileExists(FOLIO_BINARY_DIR));
}
