// The reading window's command layer (see commands.h).
#include "reader/core/commands.h"

#include "core/fileio.h"
#include "reader/core/reading.h"

#include <array>

namespace folio::reader {

namespace {

constexpr ToolbarButton Separator{nullptr, 0, Command::Back};

constexpr std::array<ToolbarButton, 23> Toolbar1 = {{
    Separator,
    {"后退", 1, Command::Back},
    {"前进", 2, Command::Forward},
    {"刷新", 3, Command::Refresh},
    {"停止", 4, Command::Stop},
    {"首页", 5, Command::Home},
    Separator,
    {"书签", 6, Command::Bookmark},
    {"查找", 7, Command::Find},
    {"放大", 8, Command::ZoomIn},
    {"缩小", 9, Command::ZoomOut},
    Separator,
    {"全屏", 12, Command::FullScreen},
    {"朗读", 13, Command::ReadAloud},
    {"停止", 15, Command::StopReading},
    {"设置", 14, Command::VoiceSettings},
    Separator,
    {"播放", 16, Command::Play},
    {"暂停", 17, Command::Pause},
    {"停止", 15, Command::StopPlayer},
    Separator,
    {"关于", 10, Command::About},
    {"退出", 11, Command::Exit},
}};

constexpr std::array<ToolbarButton, 11> Toolbar2 = {{
    Separator,
    {"关闭", 1, Command::CloseContents},
    {"展开", 2, Command::ExpandContents},
    {"复制", 18, Command::Copy},
    {"保存", 19, Command::Save},
    {"更新", 20, Command::Update},
    {"书架", 21, Command::Bookshelf},
    Separator,
    {"上一章", 22, Command::PreviousChapter},
    {"下一章", 23, Command::NextChapter},
    {"阅读设置", 24, Command::ReadingSettings},
}};

constexpr std::string_view SaveTitle = "保存文件";
constexpr std::string_view SaveFilter =
    "文本文件(*.Txt)|*.Txt|网页文件(*.htm;*.html)|*.htm;*.html|全部文件(*.*)|*.*";
constexpr std::string_view OverwriteQuestion = "文件已存在，要覆盖它吗？";
// The saved message's title is the maker's name, as the reader has always shown it.
constexpr std::string_view SavedTitle = "folioMake";

} // namespace

std::span<const ToolbarButton> toolbar1Buttons() {
    return Toolbar1;
}

std::span<const ToolbarButton> toolbar2Buttons() {
    return Toolbar2;
}

std::optional<Command> toolbarCommand(int toolbar, int position) {
    const std::span<const ToolbarButton> bar = toolbar == 1   ? toolbar1Buttons()
                                               : toolbar == 2 ? toolbar2Buttons()
                                                              : std::span<const ToolbarButton>();
    if (position < 1 || position > static_cast<int>(bar.size()))
        return std::nullopt;
    const ToolbarButton& b = bar[static_cast<std::size_t>(position - 1)];
    if (b.separator())
        return std::nullopt;
    return b.command;
}

std::vector<KeyBinding> keyMap(Variant variant) {
    // The usual keys of a browser, and a few of the reader's own.
    std::vector<KeyBinding> keys = {
        {Command::Back, "Alt+Left"},
        {Command::Back, "Backspace"},
        {Command::Forward, "Alt+Right"},
        {Command::Refresh, "F5"},
        {Command::Find, "Ctrl+F"},
        {Command::ZoomIn, "Ctrl++"},
        {Command::ZoomIn, "Ctrl+="},
        {Command::ZoomOut, "Ctrl+-"},
        {Command::FullScreen, "F11"},
        {Command::Save, "Ctrl+S"},
        {Command::ZoomNormal, "Ctrl+0"},
        {Command::FindNext, "F3"},
        {Command::FindPrevious, "Shift+F3"},
        {Command::CloseFind, "Esc"},
        {Command::AddBookmark, "Ctrl+D"},
        {Command::Search, "Ctrl+Shift+F"},
        {Command::ReadingSettings, "Ctrl+Shift+R"},
        {Command::ReadAloud, "Ctrl+Shift+U"},
        {Command::NextChapter, "Ctrl+PgDown"},
        {Command::PreviousChapter, "Ctrl+PgUp"},
    };
    if (variant == Variant::Page)
        keys.push_back({Command::OpenBook, "Ctrl+O"});
    return keys;
}

ReadingCommands::ReadingCommands(Variant variant, std::string programName, ReaderFace& face,
                                 folio::Observer& observer)
    : m_variant(variant), m_programName(std::move(programName)), m_face(face),
      m_observer(observer) {}

void ReadingCommands::run(Command command) {
    switch (command) {
    case Command::Back:
        m_face.pageBack();
        break;
    case Command::Forward:
        m_face.pageForward();
        break;
    case Command::Refresh:
        m_face.refreshPanes();
        break;
    case Command::Stop:
        m_face.pageStop();
        break;
    case Command::Home:
        home();
        break;
    case Command::Bookmark:
        m_face.openBookmarks(false);
        break;
    case Command::AddBookmark:
        m_face.openBookmarks(true);
        break;
    case Command::Find:
        m_face.find(FindStep::Open);
        break;
    case Command::FindNext:
        m_face.find(FindStep::Next);
        break;
    case Command::FindPrevious:
        m_face.find(FindStep::Previous);
        break;
    case Command::CloseFind:
        m_face.find(FindStep::Close);
        break;
    case Command::ZoomIn:
        m_face.setZoom(zoomIn(m_face.zoom()));
        break;
    case Command::ZoomOut:
        m_face.setZoom(zoomOut(m_face.zoom()));
        break;
    case Command::ZoomNormal:
        m_face.setZoom(NormalZoom);
        break;
    case Command::FullScreen:
        m_face.openFullScreen();
        break;
    case Command::ReadAloud:
        m_face.readAloud();
        break;
    case Command::StopReading:
        m_face.stopReading();
        break;
    case Command::VoiceSettings:
        m_face.openVoiceSettings();
        break;
    case Command::Play:
        play();
        break;
    case Command::Pause:
        pause();
        break;
    case Command::StopPlayer:
        m_face.playerStop(); // the buttons stay as they are
        break;
    case Command::About:
        m_face.openAbout();
        break;
    case Command::Exit:
        m_face.closeWindow();
        break;
    case Command::CloseContents:
        setContentsOpen(false);
        break;
    case Command::ExpandContents:
        setContentsOpen(true);
        break;
    case Command::Copy:
        m_face.copySelection();
        break;
    case Command::Save:
        saveClipboardText();
        break;
    case Command::Update:
        // Offline the button is disabled and has no action.
        if (m_variant == Variant::Net)
            m_face.updateContents();
        break;
    case Command::Bookshelf:
        bookshelf();
        break;
    case Command::Download:
        if (m_variant == Variant::Net)
            m_face.downloadChapters();
        break;
    case Command::OpenBook:
        if (m_variant == Variant::Page)
            m_face.openAnotherBook();
        break;
    case Command::Search:
        m_face.openSearch();
        break;
    case Command::NextChapter:
        stepChapter(true, false);
        break;
    case Command::PreviousChapter:
        stepChapter(false, false);
        break;
    case Command::PreviousChapterEnd:
        stepChapter(false, true);
        break;
    case Command::ReadingSettings:
        m_face.openReadingSettings();
        break;
    }
}

void ReadingCommands::zoomTo(int percent) {
    m_face.setZoom(clampZoom(percent));
}

void ReadingCommands::playSoundLink(std::string_view url) {
    if (!m_face.playBookSound(soundResourceName(url)))
        return;
    m_face.setButtonVisible(Toolbar1Button::Play, false);
    m_face.setButtonVisible(Toolbar1Button::Pause, true);
}

void ReadingCommands::home() {
    const std::string address = m_face.homeAddress();
    if (!address.empty())
        m_face.showPage(address);
    else
        m_face.showPageDocument(AboutHtml());
}

void ReadingCommands::play() {
    // Nothing to play: the play button stays.
    if (!m_face.playerHasMedia())
        return;
    m_face.setButtonVisible(Toolbar1Button::Play, false);
    m_face.setButtonVisible(Toolbar1Button::Pause, true);
    m_face.playerPlay();
}

void ReadingCommands::pause() {
    m_face.setButtonVisible(Toolbar1Button::Play, true);
    m_face.setButtonVisible(Toolbar1Button::Pause, false);
    m_face.playerPause();
}

void ReadingCommands::setContentsOpen(bool open) {
    m_face.setButtonVisible(Toolbar2Button::Close, open);
    m_face.setButtonVisible(Toolbar2Button::Expand, !open);
    m_face.layoutContents(open ? TreeWidth : ClosedTreeWidth);
}

void ReadingCommands::bookshelf() {
    if (m_variant == Variant::Net) {
        m_face.updateIndex();
        return;
    }
    // Nothing sets the offline reader's shelf address, so the button is idle there.
    if (const std::string shelf = m_face.shelfAddress(); !shelf.empty())
        m_face.showPage(shelf);
}

void ReadingCommands::saveClipboardText() {
    const std::string text = m_face.clipboardText();
    if (!hasTextToSave(text)) {
        // An empty file reported as saved would hide that nothing was copied.
        m_observer.messageBox(std::string(NothingToSaveMessage), m_programName,
                              MessageIcon::Information);
        return;
    }
    const std::optional<std::string> path = m_observer.askSaveFileName(
        std::string(SaveTitle), m_face.saveFolder(), std::string(SaveFilter));
    if (!path || path->empty())
        return; // cancelled: nothing written, the caption unchanged
    if (fileExists(*path) &&
        m_observer.messageBox(std::string(OverwriteQuestion), m_programName, MessageIcon::Question,
                              MessageButtons::YesNo, Answer::No) != Answer::Yes)
        return;
    m_observer.setCaption(*path);
    if (auto written = writeFileAtomic(*path, savedFileBytes(text)); !written) {
        // A file that was not written is never reported as saved.
        m_observer.messageBox("文件 " + *path + " 保存失败：" + written.error().message,
                              std::string(SavedTitle), MessageIcon::Critical);
        return;
    }
    m_face.clearClipboard();
    m_observer.messageBox(savedMessage(*path), std::string(SavedTitle), MessageIcon::Exclamation);
}

void ReadingCommands::stepChapter(bool forward, bool atEnd) {
    const std::string page = m_face.currentBookPage();
    const auto to = forward ? nextChapter(m_order, page) : previousChapter(m_order, page);
    if (!to) {
        // The ends of the book say so where the reader looks, instead of moving.
        if (!m_order.empty())
            m_face.showStatus(std::string(forward ? LastChapterText : FirstChapterText));
        return;
    }
    m_face.showBookPage(m_order[*to], atEnd);
}

} // namespace folio::reader
