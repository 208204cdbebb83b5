// The reading window's command layer on a face that records what it is told: the tables both
// faces build their bars from, the keys, and the commands whose rules live in the core (home,
// play and pause, the contents pane, the bookshelf, saving the clipboard).
#include "reader/core/commands.h"

#include "tests/tools/recordingobserver.h"
#include "tests/tools/testdir.h"

#include <gtest/gtest.h>

using namespace folio::reader;
using folio::Answer;
using folio::testing::RecordingObserver;

namespace {

struct RecordingFace : ReaderFace {
    std::vector<std::string> did; // what the commands did, in order
    std::string home, clipboard, folder;
    bool media = false;
    int zoomLevel = 100;

    void say(std::string what) { did.push_back(std::move(what)); }
    void pageBack() override { say("back"); }
    void pageForward() override { say("forward"); }
    void pageStop() override { say("stop"); }
    void refreshPanes() override { say("refresh"); }
    void showPage(const std::string& a) override { say("show " + a); }
    void showPageDocument(const std::string& html) override {
        say("document " + html.substr(0, 9));
    }
    void copySelection() override { say("copy"); }
    int zoom() const override { return zoomLevel; }
    void setZoom(int p) override { zoomLevel = p; }
    void find(FindStep) override { say("find"); }
    std::string homeAddress() const override { return home; }
    std::string shelfAddress() const override { return {}; }
    void layoutContents(int width) override { say("contents " + std::to_string(width)); }
    void setButtonVisible(Toolbar1Button b, bool v) override {
        say((v ? "show 1/" : "hide 1/") + std::to_string(static_cast<int>(b)));
    }
    void setButtonVisible(Toolbar2Button b, bool v) override {
        say((v ? "show 2/" : "hide 2/") + std::to_string(static_cast<int>(b)));
    }
    void openBookmarks(bool) override {}
    void openFullScreen() override {}
    void openVoiceSettings() override {}
    void openAbout() override {}
    void readAloud() override {}
    void stopReading() override {}
    bool playerHasMedia() const override { return media; }
    void playerPlay() override { say("play"); }
    void playerPause() override { say("pause"); }
    void playerStop() override { say("stop player"); }
    bool playBookSound(const std::string& name) override {
        say("sound " + name);
        return media;
    }
    std::string clipboardText() override { return clipboard; }
    void clearClipboard() override {
        clipboard.clear();
        say("clipboard cleared");
    }
    std::string saveFolder() const override { return folder; }
    void updateIndex() override { say("library index"); }
    void closeWindow() override {}
};

} // namespace

TEST(Commands, ToolbarTablesNameEveryButtonByItsPosition) {
    ASSERT_EQ(toolbar1Buttons().size(), 23u);
    ASSERT_EQ(toolbar2Buttons().size(), 11u);
    for (int separator : {1, 7, 12, 17, 21})
        EXPECT_FALSE(toolbarCommand(1, separator)) << separator;
    EXPECT_EQ(toolbarCommand(1, static_cast<int>(Toolbar1Button::Pause)), Command::Pause);
    EXPECT_STREQ(toolbar1Buttons()[static_cast<int>(Toolbar1Button::Pause) - 1].caption, "暂停");
    EXPECT_EQ(toolbarCommand(2, static_cast<int>(Toolbar2Button::Save)), Command::Save);
    EXPECT_FALSE(toolbarCommand(2, 8));
    EXPECT_FALSE(toolbarCommand(3, 1));
    // Another book opens only in the offline reader.
    auto opens = [](Variant v) {
        for (const KeyBinding& k : keyMap(v))
            if (k.command == Command::OpenBook)
                return true;
        return false;
    };
    EXPECT_TRUE(opens(Variant::Page));
    EXPECT_FALSE(opens(Variant::Net));
}

TEST(Commands, HomePlayerContentsAndBookshelfFollowTheirRules) {
    RecordingFace face;
    RecordingObserver observer;
    ReadingCommands commands(Variant::Page, "folioPage", face, observer);
    commands.run(Command::Home); // no book: the about page
    face.home = "RES://b.exe/index.html";
    commands.run(Command::Home);
    commands.run(Command::Play); // nothing loaded: nothing happens
    face.media = true;
    commands.run(Command::Play);
    commands.run(Command::StopPlayer);
    commands.run(Command::CloseContents);
    commands.run(Command::Bookshelf); // no shelf address offline: idle
    commands.playSoundLink("res:///b.exe/music/Song.mp3");
    EXPECT_EQ(face.did, (std::vector<std::string>{
                            "document <!DOCTYPE", "show RES://b.exe/index.html", "hide 1/18",
                            "show 1/19", "play", "stop player", "hide 2/2", "show 2/3",
                            "contents 10", "sound SONG.MP3", "hide 1/18", "show 1/19"}));
    face.zoomLevel = 400;
    commands.run(Command::ZoomIn);
    EXPECT_EQ(face.zoomLevel, 400);
    commands.zoomTo(25);
    EXPECT_EQ(face.zoomLevel, 40);

    ReadingCommands online(Variant::Net, "folioNet", face, observer);
    face.did.clear();
    online.run(Command::Bookshelf);
    online.run(Command::OpenBook);
    EXPECT_EQ(face.did, (std::vector<std::string>{"library index"}));
}

TEST(Commands, SaveAsksForTheFileAndOverwritesOnlyOnYes) {
    TempDir dir;
    RecordingFace face;
    face.folder = dir.str() + "/";
    RecordingObserver observer;
    ReadingCommands commands(Variant::Page, "folioPage", face, observer);

    commands.saveClipboardText(); // nothing copied: told, nothing asked
    ASSERT_EQ(observer.boxes.size(), 1u);
    EXPECT_EQ(observer.boxes[0].text, std::string(NothingToSaveMessage));
    EXPECT_EQ(observer.boxes[0].title, "folioPage");

    face.clipboard = "第一行\n二";
    const std::string file = dir.file("a.txt");
    dir.write("a.txt", "old");
    observer.clear();
    observer.saveAnswers = {file, file};
    observer.answers = {Answer::No, Answer::Yes};
    commands.saveClipboardText(); // No: the file and the caption stay
    EXPECT_EQ(dir.read("a.txt"), "old");
    EXPECT_TRUE(observer.captions.empty());
    EXPECT_EQ(observer.boxes.at(0).text, "文件已存在，要覆盖它吗？");
    EXPECT_EQ(observer.boxes.at(0).defaultAnswer, Answer::No);
    commands.saveClipboardText();
    EXPECT_EQ(dir.read("a.txt"), "\xB5\xDA\xD2\xBB\xD0\xD0\r\n\xB6\xFE\r\n");
    EXPECT_EQ(observer.captions, (std::vector<std::string>{file}));
    EXPECT_EQ(observer.boxes.back().text, "文件 " + file + "，保存成功。");
    EXPECT_EQ(observer.boxes.back().title, "folioMake");
    EXPECT_TRUE(face.clipboard.empty());

    face.clipboard = "x";
    observer.clear();
    observer.saveAnswers = {dir.file("no/such/folder/b.txt")};
    commands.saveClipboardText(); // never reported as saved
    EXPECT_EQ(observer.boxes.back().icon, folio::MessageIcon::Critical);
    EXPECT_NE(observer.boxes.back().text.find("保存失败"), std::string::npos);
    EXPECT_EQ(face.clipboard, "x");
}
