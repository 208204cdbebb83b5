// Whole-file reads and atomic writes: errors name the file, replacements leave no debris.
#include "core/fileio.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

TEST(FileIo, ABatchChangesNoTargetBeforeCommitAndLeavesNothingWhenDropped) {
    const fs::path dir = freshDir("batch");
    const std::string kept = (dir / "kept.html").string();
    ASSERT_TRUE(writeFileAtomic(kept, std::string("old")));
    fs::permissions(kept, fs::perms::owner_read | fs::perms::owner_write);
    auto count = [&] {
        return std::distance(fs::directory_iterator(dir), fs::directory_iterator());
    };
    {
        WriteBatch dropped;
        ASSERT_TRUE(dropped.add(kept, std::string("never")));
        ASSERT_TRUE(dropped.add((dir / "new.html").string(), std::string("never")));
        EXPECT_EQ(*readFileBytes(kept), Bytes({'o', 'l', 'd'}));
    }
    EXPECT_EQ(count(), 1) << "a dropped batch left its temporary files";

    WriteBatch batch;
    ASSERT_TRUE(batch.add(kept, std::string("new")));
    ASSERT_TRUE(batch.add((dir / "b.html").string(), std::string("b")));
    EXPECT_FALSE(fs::exists(dir / "b.html"));
    ASSERT_TRUE(batch.commit());
    EXPECT_EQ(*readFileBytes(kept), Bytes({'n', 'e', 'w'}));
    EXPECT_EQ(*readFileBytes((dir / "b.html").string()), Bytes({'b'}));
    EXPECT_EQ(fs::status(kept).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(count(), 2);
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

TEST(FileIo, StagesOfDeadProcessesAreRemovedLiveOnesAndOtherFilesKept) {
    const fs::path dir = freshDir("stale");
    const std::string target = (dir / "book.exe").string();
    // A process that is certainly gone: a child that has exited and been reaped.
    pid_t dead = fork();
    if (dead == 0)
        _exit(0);
    ASSERT_GT(dead, 0);
    waitpid(dead, nullptr, 0);
    const std::string staleStage = stagedNameFor(target, static_cast<unsigned long>(dead), 3);
    const std::string staleOfStage = stagedNameFor(staleStage, static_cast<unsigned long>(dead), 4);
    const std::string liveStage = stagedNameFor(target, 1, 0); // init never dies
    const std::string other = (dir / "book.exe.folio-tmp.notes").string();
    for (const std::string& p : {staleStage, staleOfStage, liveStage, other})
        std::ofstream(p) << "x";
    EXPECT_TRUE(fileName(staleStage).starts_with("book.exe.folio-tmp."));

    ASSERT_TRUE(writeFileAtomic(target, std::string("new")));
    EXPECT_FALSE(fs::exists(staleStage));
    EXPECT_FALSE(fs::exists(staleOfStage));
    EXPECT_TRUE(fs::exists(liveStage));
    EXPECT_TRUE(fs::exists(other));
}

TEST(FileIo, StagesOfLongNamesFitTheFolderAndUncommittedStagesVanish) {
    const fs::path dir = freshDir("long");
    const std::string name(250, 'n');
    const std::string target = (dir / name).string();
    ASSERT_TRUE(writeFileAtomic(target, std::string("a legal 250-byte name")));
    EXPECT_LE(fileName(stagedNameFor(target, 4194304, 4000000000u)).size(), 255u);
    {
        auto stage = StagedFile::create((dir / "book.exe").string());
        ASSERT_TRUE(stage) << stage.error().message;
        ASSERT_TRUE(stage->write(Bytes{1, 2, 3}));
        EXPECT_TRUE(fs::exists(stage->path()));
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
        << "an abandoned stage stayed behind";
}

TEST(FileIo, NonRegularFilesAreNamedForWhatTheyAre) {
    const fs::path dir = freshDir("kinds");
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    fs::create_symlink(dir / "nowhere", dir / "dangling");
    std::ofstream(dir / "plain") << "x";
    EXPECT_EQ(describeNonRegular((dir / "pipe").string()), "a FIFO");
    EXPECT_EQ(describeNonRegular((dir / "dangling").string()), "a dangling symbolic link");
    EXPECT_EQ(describeNonRegular(dir.string()), "a folder");
    EXPECT_EQ(describeNonRegular("/dev/null"), "a character device");
    EXPECT_EQ(describeNonRegular((dir / "missing").string()), "no such file");
    EXPECT_EQ(describeNonRegular((dir / "plain").string()), "");
    auto r = readFileBytes((dir / "pipe").string()); // must not block
    ASSERT_FALSE(r);
    EXPECT_NE(r.error().message.find("a FIFO"), std::string::npos) << r.error().message;
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

TEST(FileIo, PlainFileNamesNameOnlyAFileDirectlyInTheFolder) {
    for (const char* plain : {"a.html", "..a", "a..b", "封面.jpg", " "})
        EXPECT_TRUE(isPlainFileName(plain)) << plain;
    for (const char* notPlain : {"", ".", "..", "a/b", "a\\b", "/", "../x"})
        EXPECT_FALSE(isPlainFileName(notPlain)) << notPlain;
    EXPECT_FALSE(isPlainFileName(std::string_view("a\0b", 3))) << "a NUL cuts the name short";
}
