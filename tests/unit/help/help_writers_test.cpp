// The help project, contents and index writers: byte-exact output against golden files, and
// their refusals.
#include "core/fileio.h"
#include "core/text.h"
#include "maker/compiler/help.h"
#include "maker/generators/contentslist.h"
#include "tests/unit/help/helptest.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace folio;
using namespace helptest;
using compiler::HelpInputs;
using generators::ContentsList;

namespace {

const std::string Golden = FOLIO_SOURCE_DIR "/tests/unit/help/golden/";

// Templates in every line-end style, one without a final line end; "$title" twice on a line,
// and a placeholder at the very end.
void writeTemplates(const TempDir& maker) {
    std::filesystem::create_directories(maker.path / "list" / "chm");
    maker.write("list/chm/chm.hhp", "[OPTIONS]\nCompiled file=$title.chm\nTitle=$title ($title)"
                                    "\r\n\r\n[FILES]\r$FileList");
    maker.write("list/chm/chm.hhc", "<HTML><BODY>\r\n$LoopTag</BODY></HTML>\r\n");
    maker.write("list/chm/chm.hhk", "<HTML>\r\n<BODY>\n$LoopTag</BODY></HTML>");
}

// A caption with a quote and markup, a Chinese caption and link, an empty link, and a link in
// a subfolder: everything goes in as it stands.
ContentsList sampleList() {
    ContentsList list;
    list.appendEntry("1", "-1", "第一章 开始", "chapter01.html");
    list.appendEntry("2", "1", "He said \"hi\" <b>now</b>", "chapter02.html");
    list.appendEntry("3", "1", "卷二", "");
    list.appendEntry("4", "3", "附录", "附录/说明.html");
    return list;
}

std::string goldenBytes(const std::string& name) {
    return helptest::readFile(Golden + name);
}

// Compares with the golden file; FOLIO_UPDATE_GOLDEN=1 rewrites it instead.
void expectGolden(const std::string& written, const std::string& name) {
    const std::string bytes = helptest::readFile(written);
    if (const char* u = std::getenv("FOLIO_UPDATE_GOLDEN"); u && std::string(u) == "1") {
        ASSERT_TRUE(writeFileAtomic(Golden + name, bytes));
        return;
    }
    EXPECT_EQ(bytes, goldenBytes(name)) << written << " differs from golden/" << name;
}

class HelpWriters : public ::testing::Test {
  protected:
    void SetUp() override {
        writeTemplates(m_maker);
        m_settings.title = "测试书";
    }

    HelpInputs inputs(const ContentsList& list) {
        return HelpInputs{list, m_settings, m_maker.str(), m_project.str()};
    }

    TempDir m_maker, m_project;
    folio::ProjectSettings m_settings;
    Recorder m_observer;
};

} // namespace

TEST_F(HelpWriters, FilesMatchTheGoldenBytes) {
    const ContentsList list = sampleList();
    const HelpInputs in = inputs(list);
    auto hhp = compiler::WriteHelpProject(in, m_observer);
    auto hhc = compiler::WriteHelpContents(in, m_observer);
    auto hhk = compiler::WriteHelpIndex(in, m_observer);
    ASSERT_TRUE(hhp && hhc && hhk);
    EXPECT_EQ(*hhp, m_project.file("测试书.hhp"));
    EXPECT_EQ(*hhc, m_project.file("测试书.hhc"));
    EXPECT_EQ(*hhk, m_project.file("测试书.hhk"));
    expectGolden(*hhp, "sample.hhp");
    expectGolden(*hhc, "sample.hhc");
    expectGolden(*hhk, "sample.hhk");
    EXPECT_TRUE(m_observer.boxes.empty());
}

TEST_F(HelpWriters, EmptyListGivesBareListsAndRerunsGiveIdenticalFiles) {
    const ContentsList empty;
    const HelpInputs in = inputs(empty);
    ASSERT_TRUE(compiler::WriteHelpProject(in, m_observer));
    ASSERT_TRUE(compiler::WriteHelpContents(in, m_observer));
    ASSERT_TRUE(compiler::WriteHelpIndex(in, m_observer));
    expectGolden(m_project.file("测试书.hhp"), "empty.hhp");
    EXPECT_EQ(m_project.read("测试书.hhc"), "<HTML><BODY>\r\n<UL>\r\n</UL>\r\n</BODY></HTML>\r\n");
    EXPECT_EQ(m_project.read("测试书.hhk"),
              "<HTML>\r\n<BODY>\n<UL>\r\n</UL>\r\n</BODY></HTML>\r\n");

    // The lists are built afresh each time: a second run over a fuller list, then a third over
    // the same list, give the same index file.
    const ContentsList list = sampleList();
    ASSERT_TRUE(compiler::WriteHelpIndex(inputs(list), m_observer));
    const std::string first = m_project.read("测试书.hhk");
    ASSERT_TRUE(compiler::WriteHelpIndex(inputs(list), m_observer));
    EXPECT_EQ(m_project.read("测试书.hhk"), first);
    expectGolden(m_project.file("测试书.hhk"), "sample.hhk");
}

TEST_F(HelpWriters, PlaceholdersAreReplacedInOrderAndCaseSensitively) {
    // "$title" goes first, so a title holding "$FileList" is then filled with the list; "$TITLE"
    // and "$filelist" are not placeholders.
    m_maker.write("list/chm/chm.hhp", "$title|$TITLE|$filelist|$FileList");
    m_settings.title = "A$FileList";
    const ContentsList list = sampleList();
    ASSERT_TRUE(compiler::WriteHelpProject(inputs(list), m_observer));
    const std::string files =
        "chapter01.html\r\nchapter02.html\r\n\r\n" + toAnsi("附录/说明.html") + "\r\n";
    EXPECT_EQ(m_project.read("A$FileList.hhp"),
              "A" + files + "|$TITLE|$filelist|" + files + "\r\n");
}

TEST_F(HelpWriters, FaultsAreShownNamingTheFileAndLeaveEarlierFilesAlone) {
    const ContentsList list = sampleList();
    m_project.write("测试书.hhc", "earlier");
    std::filesystem::remove(m_maker.path / "list" / "chm" / "chm.hhc");
    auto r = compiler::WriteHelpContents(inputs(list), m_observer);
    ASSERT_FALSE(r);
    EXPECT_NE(r.error().message.find(m_maker.file("list/chm/chm.hhc")), std::string::npos)
        << r.error().message;
    ASSERT_EQ(m_observer.boxes.size(), 1u);
    EXPECT_EQ(m_observer.boxes[0].title, "folioMake");
    EXPECT_EQ(m_observer.boxes[0].icon, MessageIcon::Critical);
    EXPECT_NE(m_observer.boxes[0].text.find(r.error().message), std::string::npos);
    EXPECT_EQ(m_project.read("测试书.hhc"), "earlier");

    // A title that is no plain file name would write outside the project folder.
    for (const std::string title : {"", "../up", "a/b", "a\\b"}) {
        m_settings.title = title;
        auto t = compiler::WriteHelpProject(inputs(list), m_observer);
        EXPECT_FALSE(t) << title;
    }
    EXPECT_FALSE(std::filesystem::exists(m_maker.path / "up.hhp"));

    // A project folder that does not exist.
    m_settings.title = "Book";
    HelpInputs nowhere = inputs(list);
    nowhere.projectFolder = m_project.file("missing");
    auto w = compiler::WriteHelpIndex(nowhere, m_observer);
    ASSERT_FALSE(w);
    EXPECT_NE(w.error().message.find(nowhere.projectFolder), std::string::npos);
}
