#include "fetch/download.h"
#include "tests/tools/localserver.h"
#include "tests/tools/testdir.h"
#include "tests/tools/waits.h"

#include <gtest/gtest.h>

#include <csignal>

#include <sys/wait.h>
#include <unistd.h>

using namespace folio::fetch;
using namespace std::chrono_literals;

namespace {
std::size_t countFiles(const TempDir& dir) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path))
        ++n;
    return n;
}
} // namespace

TEST(Download, AnswerLandsInTheFileAndNothingElseIsLeft) {
    LocalServer server;
    const std::string body = "第一章\r\n" + std::string(100000, 'x');
    server.set("/a.html", {200, body});
    TempDir dir;
    EXPECT_TRUE(DownloadFile(server.base() + "/a.html", dir.file("a.html")));
    EXPECT_EQ(dir.read("a.html"), body);
    EXPECT_EQ(countFiles(dir), 1u); // no temporary left beside it
}

TEST(Download, FailureStatusFailsAndLeavesAnExistingFileUntouched) {
    LocalServer server;
    TempDir dir;
    dir.write("old.html", "keep me");
    const auto result = downloadToFile(server.base() + "/missing.html", dir.file("old.html"));
    ASSERT_FALSE(result);
    EXPECT_NE(result.error().message.find("/missing.html"), std::string::npos);
    EXPECT_EQ(dir.read("old.html"), "keep me");
    EXPECT_EQ(countFiles(dir), 1u);
}

TEST(Download, OnlyHttpAndHttpsAreAllowed) {
    TempDir dir;
    dir.write("secret", "s");
    EXPECT_FALSE(DownloadFile("file://" + dir.file("secret"), dir.file("copy")));
    EXPECT_FALSE(DownloadFile("ftp://127.0.0.1/x", dir.file("copy")));
    EXPECT_FALSE(DownloadFile("/etc/passwd", dir.file("copy")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("copy")));
    EXPECT_TRUE(isAllowedUrl("HTTP://127.0.0.1/"));
    EXPECT_TRUE(isAllowedUrl("https://127.0.0.1/"));
    EXPECT_FALSE(isAllowedUrl("data:text/plain,x"));
}

TEST(Download, RedirectsAreFollowedButBoundedAndNeverToAnotherScheme) {
    LocalServer server;
    TempDir dir;
    server.set("/old", {302, "", server.base() + "/new"});
    server.set("/new", {200, "moved"});
    EXPECT_TRUE(DownloadFile(server.base() + "/old", dir.file("r.html")));
    EXPECT_EQ(dir.read("r.html"), "moved");

    server.set("/loop", {302, "", server.base() + "/loop"});
    EXPECT_FALSE(DownloadFile(server.base() + "/loop", dir.file("loop.html")));

    dir.write("secret", "s");
    server.set("/tofile", {302, "", "file://" + dir.file("secret")});
    EXPECT_FALSE(DownloadFile(server.base() + "/tofile", dir.file("f.html")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("f.html")));
}

TEST(Download, SizeCapAndTimeoutStopTheTransfer) {
    LocalServer server;
    TempDir dir;
    server.set("/big", {200, std::string(5000, 'b')});
    DownloadOptions small;
    small.maxBytes = 1000;
    const auto big = downloadToFile(server.base() + "/big", dir.file("big"), small);
    ASSERT_FALSE(big);
    EXPECT_NE(big.error().message.find("larger"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.file("big")));

    server.set("/slow", {200, "", {}, true});
    DownloadOptions quick;
    quick.totalTimeout = 300ms;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(DownloadFile(server.base() + "/slow", dir.file("slow"), quick));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
}

TEST(Download, MissingFolderFailsWithoutCreatingIt) {
    LocalServer server;
    server.set("/a", {200, "a"});
    TempDir dir;
    EXPECT_FALSE(DownloadFile(server.base() + "/a", dir.file("no/such/a.html")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("no")));
}

TEST(Download, FetchTextReturnsThePage) {
    LocalServer server;
    server.set("/p", {200, "<a href=x>y</a>"});
    const auto page = fetchText(server.base() + "/p");
    ASSERT_TRUE(page) << page.error().message;
    EXPECT_EQ(*page, "<a href=x>y</a>");
    EXPECT_FALSE(fetchText("file:///etc/passwd"));
}

TEST(Download, APartLeftByAKilledDownloadIsRemovedByTheNextDownloadOfThatFile) {
    LocalServer server;
    server.set("/hang", {200, "", {}, true});
    server.set("/a.html", {200, "whole"});
    TempDir dir;
    const std::string target = dir.file("a.html");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        DownloadFile(server.base() + "/hang", target);
        _exit(0);
    }
    // Wait for its part to appear, then stop it as a closing session would.
    folio::testing::waitUntil([&] { return countFiles(dir) != 0; });
    ASSERT_EQ(countFiles(dir), 1u) << "the download never started its part";
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    ASSERT_EQ(countFiles(dir), 1u) << "nothing was left to clean up";

    ASSERT_TRUE(DownloadFile(server.base() + "/a.html", target));
    EXPECT_EQ(dir.read("a.html"), "whole");
    EXPECT_EQ(countFiles(dir), 1u) << "the killed download's part survived";
}
