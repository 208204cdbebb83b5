// The Book image started as a program on Linux: its DOS header is a shell script that hands
// the book to the reader. A stand-in reader records the arguments it was given.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path Template = fs::path(FOLIO_DIST_DIR) / "folioPage" / "folioPage.dat";

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeExecutable(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
    fs::permissions(p, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
}

struct Outcome {
    int exitCode = -1;
    std::string stderrText;
};

class Launcher : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(Template)) << Template;
        dir = fs::temp_directory_path() /
              ("folio-launcher-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "bin");
        book = dir / "my book.exe"; // a blank in the name must survive the quoting
        fs::copy_file(Template, book);
        fs::permissions(book, fs::perms::owner_all);
        record = dir / "args.txt";
        // The stand-in reader: one argument per line.
        writeExecutable(dir / "bin" / "reader",
                        "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" +
                            record.string() + "'\nexit 0\n");
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs `argv` in `dir` with a controlled environment; stderr captured.
    Outcome run(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
        const fs::path err = dir / "stderr.txt";
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(dir.c_str()) != 0)
                _exit(90);
            std::FILE* f = std::freopen(err.c_str(), "w", stderr);
            (void)f;
            clearenv();
            for (const std::string& e : env)
                putenv(const_cast<char*>(e.c_str()));
            std::vector<char*> args;
            for (const std::string& a : argv)
                args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            if (argv[0] == "system()") // the C library's system(), which runs sh -c
                _exit(WEXITSTATUS(std::system(argv[1].c_str())));
            execvp(args[0], args.data());
            _exit(91);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        Outcome r;
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.stderrText = readFile(err);
        return r;
    }

    std::string readerEnv() const { return "FOLIO_READER=" + (dir / "bin" / "reader").string(); }

    fs::path dir, book, record;
};

TEST_F(Launcher, OpensTheBookInTheReaderFromEveryKindOfStart) {
    const std::string env = readerEnv();
    struct Case {
        const char* what;
        std::vector<std::string> argv;
        std::string expectedArg;
    } cases[] = {
        {"bash ./book", {"/bin/bash", "-c", "'./my book.exe' extra"}, "./my book.exe\nextra\n"},
        {"dash sh book", {"/bin/sh", "my book.exe"}, "my book.exe\n"},
        {"execvp with a path", {"./my book.exe"}, "./my book.exe\n"},
        {"system()", {"system()", "\"$PWD/my book.exe\""}, (dir / "my book.exe").string() + "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(record);
        const Outcome r = run(c.argv, {env, "PATH=/usr/bin:/bin"});
        EXPECT_EQ(r.exitCode, 0) << r.stderrText;
        EXPECT_EQ(readFile(record), c.expectedArg);
    }
}

TEST_F(Launcher, ExecvpFindsTheBookOnPath) {
    // execvp falls back to /bin/sh for a file the kernel cannot run: the script sees the path
    // execvp found.
    const Outcome r = run({"my book.exe"}, {readerEnv(), "PATH=/usr/bin:/bin:" + dir.string()});
    EXPECT_EQ(r.exitCode, 0) << r.stderrText;
    EXPECT_EQ(readFile(record), (dir / "my book.exe").string() + "\n");
}

TEST_F(Launcher, PrefersTheReaderBesideTheBookThenTheEnvironmentThenPath) {
    // A reader on PATH only.
    writeExecutable(dir / "bin" / "folioPage", readFile(dir / "bin" / "reader"));
    Outcome r = run({"/bin/sh", "my book.exe"}, {"PATH=/usr/bin:/bin:" + (dir / "bin").string()});
    EXPECT_EQ(r.exitCode, 0) << r.stderrText;
    EXPECT_EQ(readFile(record), "my book.exe\n");

    // FOLIO_READER wins over PATH.
    const fs::path other = dir / "other.txt";
    writeExecutable(dir / "envreader", "#!/bin/sh\necho env > '" + other.string() + "'\n");
    r = run({"/bin/sh", "my book.exe"}, {"FOLIO_READER=" + (dir / "envreader").string(),
                                         "PATH=/usr/bin:/bin:" + (dir / "bin").string()});
    EXPECT_EQ(r.exitCode, 0) << r.stderrText;
    EXPECT_EQ(readFile(other), "env\n");

    // The reader beside the book wins over both; a folder named folioPage does not count.
    fs::create_directories(dir / "sub" / "folioPage");
    fs::copy_file(book, dir / "sub" / "b.exe");
    r = run({"./sub/b.exe"},
            {"FOLIO_READER=" + (dir / "envreader").string(), "PATH=/usr/bin:/bin"});
    EXPECT_EQ(readFile(other), "env\n") << "folder taken for a reader";
    fs::remove_all(dir / "sub" / "folioPage");
    writeExecutable(dir / "sub" / "folioPage", readFile(dir / "bin" / "reader"));
    fs::remove(other);
    r = run({"./sub/b.exe"},
            {"FOLIO_READER=" + (dir / "envreader").string(), "PATH=/usr/bin:/bin"});
    EXPECT_EQ(r.exitCode, 0) << r.stderrText;
    EXPECT_FALSE(fs::exists(other));
    EXPECT_EQ(readFile(record), "./sub/b.exe\n");
}

TEST_F(Launcher, LastFindsTheMakerFolderAboveABookInItsOutFolder) {
    fs::create_directories(dir / "out");
    fs::copy_file(book, dir / "out" / "b.exe");
    // The maker folder keeps the reader in its folioPage/ folder, beside the template.
    fs::create_directories(dir / "folioPage");
    writeExecutable(dir / "folioPage" / "folioPage", readFile(dir / "bin" / "reader"));
    const Outcome r = run({"./out/b.exe"}, {"PATH=/usr/bin:/bin"});
    EXPECT_EQ(r.exitCode, 0) << r.stderrText;
    EXPECT_EQ(readFile(record), "./out/b.exe\n");
}

TEST_F(Launcher, WithoutAReaderPrintsOneLineAndFails) {
    for (const char* shell : {"/bin/sh", "/bin/bash"}) {
        SCOPED_TRACE(shell);
        const Outcome r = run({shell, "my book.exe"}, {"PATH=/usr/bin:/bin"});
        EXPECT_NE(r.exitCode, 0);
        ASSERT_FALSE(r.stderrText.empty());
        EXPECT_EQ(r.stderrText.find('\n'), r.stderrText.size() - 1) << r.stderrText;
        EXPECT_NE(r.stderrText.find("folioPage"), std::string::npos);
        EXPECT_NE(r.stderrText.find("FOLIO_READER"), std::string::npos);
        EXPECT_FALSE(fs::exists(record));
    }
}

TEST_F(Launcher, HeaderIsAScriptAndAPeFile) {
    const std::string bytes = readFile(book);
    ASSERT_GT(bytes.size(), 0x400u);
    EXPECT_EQ(bytes.substr(0, 9), "MZqFpD='\n");
    std::uint32_t lfanew = 0;
    std::memcpy(&lfanew, bytes.data() + 60, 4);
    ASSERT_LT(lfanew + 4u, bytes.size());
    EXPECT_EQ(bytes.substr(lfanew, 4), std::string("PE\0\0", 4));
    // The quoted part holds no quote, so the shell's string really ends at offset 64.
    EXPECT_EQ(bytes.substr(9, 55).find('\''), std::string::npos);
    EXPECT_EQ(bytes.substr(64, 2), "'\n");
    // Nothing the shell parses after the quote holds a NUL, up to the final exit.
    const std::size_t exitAt = bytes.find("\nexit ", 64);
    ASSERT_NE(exitAt, std::string::npos);
    ASSERT_LT(exitAt, lfanew);
    EXPECT_EQ(bytes.substr(64, exitAt - 64).find('\0'), std::string::npos);
}

TEST_F(Launcher, HeaderToolRefusesWhatIsNotAPe32Program) {
    const fs::path tool = fs::path(FOLIO_SOURCE_DIR) / "reader" / "win32" / "tools" / "launcher.py";
    const std::string notPe = "MZ" + std::string(200, 'x');
    const std::string truncated = readFile(Template).substr(0, 0x1000); // sections cut off
    std::string pe64 = readFile(Template);
    std::uint32_t lfanew = 0;
    std::memcpy(&lfanew, pe64.data() + 60, 4);
    pe64[lfanew + 24] = 0x0B; // optional header magic 0x20b: PE32+
    pe64[lfanew + 25] = 0x02;
    for (const auto& [name, bytes] :
         {std::pair{"text.exe", std::string("hello")}, std::pair{"notpe.exe", notPe},
          std::pair{"pe64.exe", pe64}, std::pair{"truncated.exe", truncated}}) {
        SCOPED_TRACE(name);
        std::ofstream(dir / name, std::ios::binary) << bytes;
        const Outcome r =
            run({"/usr/bin/python3", tool.string(), name, "out.dat"}, {"PATH=/usr/bin:/bin"});
        EXPECT_NE(r.exitCode, 0);
        EXPECT_NE(r.stderrText.find(name), std::string::npos) << r.stderrText;
        EXPECT_FALSE(fs::exists(dir / "out.dat"));
    }
}

} // namespace
