#include "core/text.h"
#include "qt/language.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolBar>

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>

using namespace folio::qt;

namespace {

// One application for the whole test binary, without a display. It is destroyed when the
// tests end, before static destruction (a QApplication outliving Qt's own statics crashes).
class AppEnvironment : public ::testing::Environment {
  public:
    void TearDown() override { app.reset(); }
    std::unique_ptr<QApplication> app;
};
AppEnvironment* const g_env =
    static_cast<AppEnvironment*>(::testing::AddGlobalTestEnvironment(new AppEnvironment));

void app() {
    if (g_env->app)
        return;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "language_tests";
    static char* argv[] = {name, nullptr};
    g_env->app = std::make_unique<QApplication>(argc, argv);
}

// Writes a language file (given as UTF-8 text) in CP936 with CR LF.
void writeLng(const QString& folder, const std::string& utf8, const char* name = "Language.lng") {
    std::string ansi;
    std::size_t start = 0;
    while (start <= utf8.size()) {
        auto nl = utf8.find('\n', start);
        if (nl == std::string::npos)
            nl = utf8.size();
        ansi += folio::toAnsi(utf8.substr(start, nl - start)) + "\r\n";
        start = nl + 1;
    }
    std::ofstream(QDir(folder).filePath(QString::fromLatin1(name)).toStdString(), std::ios::binary)
        << ansi;
}

const std::string Sample = "[简体中文]\n"
                           "Command1=确定\n"
                           "label1=语音：\n"
                           "Frame1=合成语音\n"
                           "Check1=真人语音\n"
                           "Option1=小说网站\n"
                           "Toolbar1=,后退,前进\n"
                           "TabStrip1=目录,浏览,代码,多余\n"
                           "Caption1=框架\n"
                           "[English]\n"
                           "Command1=OK\n"
                           "Toolbar1=,Back,Forward,,Home\n";

// A window with one control of every kind the walk knows, plus some it must not touch.
struct Window {
    QWidget window;
    QPushButton* button = new QPushButton("按钮", &window);
    QLabel* label = new QLabel("标签", &window);
    QGroupBox* frame = new QGroupBox("框", &window);
    QCheckBox* check = new QCheckBox("勾", &window);
    QRadioButton* option = new QRadioButton("选", &window);
    QToolBar* toolbar = new QToolBar(&window);
    QTabBar* tabs = new QTabBar(&window);
    QLineEdit* text = new QLineEdit("文本", &window);
    QFrame* captioned = new QFrame(&window);
    QPushButton* unnamed = new QPushButton("无名", &window);

    Window() {
        button->setObjectName("Command1");
        label->setObjectName("Label1");
        frame->setObjectName("Frame1");
        check->setObjectName("Check1");
        option->setObjectName("Option1");
        toolbar->setObjectName("Toolbar1");
        toolbar->addSeparator();
        toolbar->addAction("后退");
        toolbar->addAction("前进");
        toolbar->addSeparator();
        toolbar->addAction("首页");
        tabs->setObjectName("TabStrip1");
        tabs->addTab("一");
        tabs->addTab("二");
        tabs->addTab("三");
        text->setObjectName("Text1");
        captioned->setObjectName("Caption1");
        captioned->setProperty("caption", "旧");
    }
    QStringList toolbarTexts() const {
        QStringList texts;
        for (QAction* a : toolbar->actions())
            texts << a->text();
        return texts;
    }
    QStringList tabTexts() const {
        QStringList texts;
        for (int i = 0; i < tabs->count(); ++i)
            texts << tabs->tabText(i);
        return texts;
    }
};

class Language : public ::testing::Test {
  protected:
    void SetUp() override {
        app();
        ASSERT_TRUE(dir.isValid());
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(Language, FileMustBeNamedExactly) {
    EXPECT_FALSE(LanguageFileExists(dir.path()));
    EXPECT_FALSE(languageFilePresent(dir.path()));
    EXPECT_EQ(ReadLanguageEntry(dir.path(), "简体中文", "Command1"), "Unknow");
    EXPECT_EQ(ListLanguages(dir.path()), QStringList{"None"});

    writeLng(dir.path(), Sample, "language.lng");
    EXPECT_FALSE(LanguageFileExists(dir.path()));
    EXPECT_TRUE(languageFilePresent(dir.path()));
    EXPECT_EQ(ReadLanguageEntry(dir.path(), "简体中文", "Command1"), "Unknow");

    writeLng(dir.path(), Sample);
    EXPECT_TRUE(LanguageFileExists(dir.path()));
}

TEST_F(Language, EntriesAreCaseInsensitiveAndFallBackToTheKey) {
    writeLng(dir.path(), Sample);
    EXPECT_EQ(ReadLanguageEntry(dir.path(), "简体中文", "Label1"), "语音：");
    EXPECT_EQ(ReadLanguageEntry(dir.path(), "english", "COMMAND1"), "OK");
    EXPECT_EQ(ReadLanguageEntry(dir.path(), "English", "Command9"), "Command9");
    EXPECT_EQ(ReadLanguageEntry(dir.path(), "Deutsch", "Command1"), "Command1");
}

TEST_F(Language, LongValuesAreCutTo254Characters) {
    writeLng(dir.path(), "[A]\nLong=" + std::string(300, 'x') + "\n");
    EXPECT_EQ(ReadLanguageEntry(dir.path(), "A", "Long").size(), 254);
}

TEST_F(Language, ListEndsWithOneEmptyElement) {
    writeLng(dir.path(), "[A]\nx=1\n[B]\ny=2\n");
    EXPECT_EQ(ListLanguages(dir.path()), (QStringList{"A", "B", ""}));
}

TEST_F(Language, WalkSetsCaptionsByKindAndLeavesOthersAlone) {
    writeLng(dir.path(), Sample);
    Window w;
    ApplyLanguage(dir.path(), "简体中文");
    EXPECT_EQ(w.button->text(), "确定");
    EXPECT_EQ(w.label->text(), "语音：");
    EXPECT_EQ(w.frame->title(), "合成语音");
    EXPECT_EQ(w.check->text(), "真人语音");
    EXPECT_EQ(w.option->text(), "小说网站");
    EXPECT_EQ(w.captioned->property("caption").toString(), "框架");
    // Separators take a part each; a value with fewer parts changes only the first buttons.
    EXPECT_EQ(w.toolbarTexts(), (QStringList{"", "后退", "前进", "", "首页"}));
    // Extra parts beyond the last tab are dropped.
    EXPECT_EQ(w.tabTexts(), (QStringList{"目录", "浏览", "代码"}));
    EXPECT_EQ(w.text->text(), "文本");
    EXPECT_EQ(w.unnamed->text(), "无名");
    EXPECT_EQ(w.window.windowTitle(), "");

    ApplyLanguage(dir.path(), "English");
    EXPECT_EQ(w.button->text(), "OK");
    EXPECT_EQ(w.toolbarTexts(), (QStringList{"", "Back", "Forward", "", "Home"}));
    // Missing keys: the control's name; for strips the first part only.
    EXPECT_EQ(w.label->text(), "Label1");
    EXPECT_EQ(w.tabTexts(), (QStringList{"TabStrip1", "浏览", "代码"}));
}

TEST_F(Language, OtherCaseFileYieldsUnknowInTheReaders) {
    writeLng(dir.path(), Sample, "language.lng");
    Window w;
    setenv("LC_ALL", "zh_CN.UTF-8", 1);
    EXPECT_EQ(SelectLanguageFromLocale(dir.path()), "简体中文");
    EXPECT_EQ(CurrentLanguage(), "简体中文");
    EXPECT_EQ(w.button->text(), "Unknow");
    EXPECT_EQ(w.toolbarTexts().first(), "Unknow");
    EXPECT_EQ(w.tabTexts().first(), "Unknow");
}

TEST_F(Language, LocaleWithoutFileKeepsBuiltInCaptions) {
    Window w;
    setenv("LC_ALL", "ja_JP.UTF-8", 1);
    EXPECT_EQ(SelectLanguageFromLocale(dir.path()), "411");
    EXPECT_EQ(w.button->text(), "按钮");
    setenv("LC_ALL", "en_US.UTF-8", 1);
    writeLng(dir.path(), Sample);
    EXPECT_EQ(SelectLanguageFromLocale(dir.path()), "English");
    EXPECT_EQ(w.button->text(), "OK");
}

TEST_F(Language, TabWidgetsAndSingleControls) {
    writeLng(dir.path(), Sample);
    QWidget window;
    auto* tabs = new QTabWidget(&window);
    tabs->setObjectName("TabStrip1");
    tabs->addTab(new QWidget, "一");
    tabs->addTab(new QWidget, "二");
    ApplyLanguageToControl(tabs, dir.path(), "简体中文");
    EXPECT_EQ(tabs->tabText(0), "目录");
    EXPECT_EQ(tabs->tabText(1), "浏览");
    // A window created after the walk keeps its captions.
    ApplyLanguage(dir.path(), "English");
    QPushButton later("后来");
    later.setObjectName("Command1");
    EXPECT_EQ(later.text(), "后来");
}

TEST_F(Language, SectionListIsCutToItsBuffer) {
    std::string text;
    for (int i = 0; i < 30; ++i)
        text += "[Language" + std::to_string(i) + "]\nx=1\n";
    writeLng(dir.path(), text);
    const QStringList names = ListLanguages(dir.path());
    ASSERT_GE(names.size(), 2);
    EXPECT_EQ(names.first(), "Language0");
    EXPECT_EQ(names.last(), "");
    int bytes = 0;
    for (const QString& n : names.mid(0, names.size() - 1))
        bytes += n.size() + 1;
    EXPECT_LE(bytes, 253);
    EXPECT_LT(names.size(), 31);
}

TEST_F(Language, ShippedFilesOfferTheThreeLanguagesWithWholeToolbars) {
    const QString readerFolder = QStringLiteral(FOLIO_SOURCE_DIR "/data/folioPage");
    const QString makerFolder = QStringLiteral(FOLIO_SOURCE_DIR "/data");
    const QStringList expected{"English", "简体中文", "繁體中文", ""};
    EXPECT_EQ(ListLanguages(readerFolder), expected);
    EXPECT_EQ(ListLanguages(makerFolder), expected);
    // The maker starts in the second language of its list.
    EXPECT_EQ(ListLanguages(makerFolder).at(1), "简体中文");
    for (const QString& language : expected.mid(0, 3)) {
        // The reading window's main toolbar has 23 buttons, separators included, and the
        // contents toolbar 11: each part lands on its own button.
        EXPECT_EQ(ReadLanguageEntry(readerFolder, language, "Toolbar1").split(',').size(), 23)
            << language.toStdString();
        EXPECT_EQ(ReadLanguageEntry(readerFolder, language, "Toolbar2").split(',').size(), 11);
        EXPECT_EQ(ReadLanguageEntry(makerFolder, language, "TabStrip1").split(',').size(), 6);
        for (const char* key : {"Check1", "Label1", "Label9", "Frame1", "Command1", "tbrFull"})
            EXPECT_NE(ReadLanguageEntry(readerFolder, language, key), key) << key;
    }
}

TEST_F(Language, WindowQualifiedKeysWinAndPictureLabelsKeepTheirImage) {
    writeLng(dir.path(), "[English]\n"
                         "Option1=Go to code\n"
                         "Frmtree.Option1=Use the file name as title\n"
                         "Picture1=Cover\n");
    // A companion window is a child of the main window but a window of its own.
    Window main;
    main.window.setObjectName("Frmmain");
    auto* companion = new QWidget(&main.window, Qt::Dialog);
    companion->setObjectName("Frmtree");
    auto* own = new QRadioButton("名", companion);
    own->setObjectName("Option1");
    auto* picture = new QLabel(&main.window);
    picture->setObjectName("Picture1");
    QPixmap cover(4, 4);
    cover.fill(Qt::red);
    picture->setPixmap(cover);
    picture->setProperty(folio::qt::PictureProperty, true);

    ApplyLanguage(dir.path(), "English");
    EXPECT_EQ(main.option->text(), "Go to code");
    EXPECT_EQ(own->text(), "Use the file name as title");
    EXPECT_FALSE(picture->pixmap().isNull()) << "the walk wiped a preview";
    EXPECT_TRUE(picture->text().isEmpty());
}
