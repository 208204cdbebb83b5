// The tests' shell runner: words quoted for sh arrive unchanged, exit codes are decoded, and
// stderr goes where the caller asked for every part of the command.
#include "tests/tools/shell.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using folio::testing::runCommand;
using folio::testing::shellQuote;
using folio::testing::Stderr;

TEST(Shell, QuotedWordsReachTheCommandAsTheyWere) {
    const std::vector<std::string> words = {"",
                                            "plain",
                                            "two  words",
                                            "it's",
                                            "'",
                                            "''",
                                            "$HOME `id` $(id) \\ \"q\"",
                                            "line\nbreak",
                                            "*?[a]",
                                            "-n",
                                            "a;b|c&d>e<f",
                                            "~",
                                            "第一章 书签"};
    for (const std::string& word : words) {
        const auto r = runCommand("printf '%s' " + shellQuote(word));
        EXPECT_EQ(r.status, 0) << word;
        EXPECT_EQ(r.output, word);
    }
    // Each quoted word stays one argument, the empty one included.
    EXPECT_EQ(runCommand("set -- " + shellQuote("a b") + " " + shellQuote("") + " " +
                         shellQuote("c'd") + "; echo $#")
                  .output,
              "3\n");
}

TEST(Shell, ExitCodesAreDecodedAndASignalIsMinusOne) {
    EXPECT_EQ(runCommand("true").status, 0);
    EXPECT_EQ(runCommand("exit 3").status, 3);
    EXPECT_EQ(runCommand("exit 255").status, 255);
    const auto missing = runCommand("folio-no-such-command-here");
    EXPECT_EQ(missing.status, 127);
    EXPECT_NE(missing.output.find("folio-no-such-command-here"), std::string::npos)
        << missing.output;
    // The shell itself killed: no exit code at all, whatever the raw wait status was.
    EXPECT_EQ(runCommand("echo before; kill -9 $$").status, -1);
    EXPECT_EQ(runCommand("kill -TERM $$").status, -1);
}

TEST(Shell, StderrIsMergedDroppedOrPassedToTheTest) {
    const std::string both = "echo out; echo err >&2; echo more";
    EXPECT_EQ(runCommand(both).output, "out\nerr\nmore\n");
    EXPECT_EQ(runCommand(both, Stderr::Merged).output, "out\nerr\nmore\n");
    EXPECT_EQ(runCommand(both, Stderr::Dropped).output, "out\nmore\n");

    ::testing::internal::CaptureStderr();
    const auto passed = runCommand(both, Stderr::Passed);
    const std::string testStderr = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(passed.output, "out\nmore\n");
    EXPECT_EQ(testStderr, "err\n");
}

TEST(Shell, EveryPartOfAListFollowsTheStderrChoice) {
    // Not only the last command of a list or pipeline, and not swallowed by a trailing comment.
    const std::string list = "echo one >&2 && echo two >&2; echo three >&2 | cat";
    EXPECT_EQ(runCommand(list).output, "one\ntwo\nthree\n");
    EXPECT_EQ(runCommand(list, Stderr::Dropped).output, "");
    EXPECT_EQ(runCommand("cd /folio-no-such-folder && echo never").status, 2);
    EXPECT_NE(
        runCommand("cd /folio-no-such-folder && echo never").output.find("folio-no-such-folder"),
        std::string::npos);
    const auto commented = runCommand("echo said >&2 # a note");
    EXPECT_EQ(commented.status, 0);
    EXPECT_EQ(commented.output, "said\n");
    EXPECT_EQ(runCommand("echo said >&2 # a note", Stderr::Dropped).output, "");
}

TEST(Shell, OutputIsKeptWholeBinaryAndLarge) {
    const auto nul = runCommand("printf 'a\\000b\\377'");
    EXPECT_EQ(nul.output, std::string("a\0b\xff", 4));
    const auto large = runCommand("head -c 300000 /dev/zero | tr '\\000' x");
    EXPECT_EQ(large.status, 0);
    ASSERT_EQ(large.output.size(), 300000u);
    EXPECT_EQ(large.output.find_first_not_of('x'), std::string::npos);
}
