// The reading window of the Windows reader: start-up of a Book image, the toolbars' commands,
// the panes' events, the splitter, the player and the speech panel.
// The book contract first: <windows.h> defines RT_ICON and its kin as macros, which would
// rewrite the core's own constants of the same names.
#include "core/book.h"

#include "reader/win32/frmebook.h"

#include "core/booklink.h"
#include "core/fileio.h"
#include "core/text.h"
#include "core/twips.h"
#include "core/zoom.h"
#include "reader/core/contentshighlight.h"
#include "reader/core/pagefind.h"
#include "reader/core/readerrules.h"
#include "reader/core/reading.h"
#include "reader/core/readmarks.h"
#include "reader/core/recentbooks.h"
#include "reader/core/statefile.h"
#include "reader/win32/companions.h"
#include "reader/win32/frmabout.h"
#include "reader/win32/frmbooktag.h"
#include "reader/win32/frmfullscreen.h"
#include "reader/win32/frmreading.h"
#include "reader/win32/frmset.h"
#include "reader/win32/keys.h"
#include "reader/win32/layout.h"
#include "reader/win32/pagesecurity.h"
#include "reader/win32/sapi.h"
#include "reader/win32/startpanel.h"
#include "skin/skinloader.h"

#include <commctrl.h>
#include <commdlg.h>
#include <windowsx.h>

#include <algorithm>
#include <array>

namespace folio::win32 {
namespace {

namespace rules = folio::reader;
using B1 = rules::Toolbar1Button;
using B2 = rules::Toolbar2Button;

constexpr const wchar_t* SplitterClass = L"FolioSplitter";
constexpr const wchar_t* PanelClass = L"FolioPanel";
constexpr UINT SplitterReleased = WM_APP + 1; // wParam: release point's x in the bar, pixels
constexpr UINT ShowMissingPage = WM_APP + 2;  // the page pane asked for a page the book lacks
constexpr UINT SpeechEvent = WM_APP + 3;      // SAPI has events for the window
constexpr int ImageSize = 24;
constexpr const wchar_t* ZoomProperty = L"ZoomLevel";

// Browser command ids (OLECMDID_COPY, OLECMDID_FIND).
constexpr int CommandCopy = 12;
constexpr int CommandFind = 32;

// The descriptor resource (CUSTOM/101) of the running program, as raw ANSI bytes.
std::optional<std::string> ownDescriptor() {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC res = FindResourceW(self, MAKEINTRESOURCEW(folio::book::DescriptorId), L"CUSTOM");
    if (!res)
        return std::nullopt;
    HGLOBAL handle = LoadResource(self, res);
    const DWORD size = SizeofResource(self, res);
    const void* data = handle ? LockResource(handle) : nullptr;
    if (!data)
        return std::nullopt;
    return std::string(static_cast<const char*>(data), size);
}

// The bar between the panes: black while pressed, and it reports where it was let go.
LRESULT CALLBACK splitterProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_LBUTTONDOWN:
        SetCapture(hwnd);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 1);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_LBUTTONUP:
        if (GetCapture() == hwnd)
            ReleaseCapture();
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        InvalidateRect(hwnd, nullptr, TRUE);
        SendMessageW(GetParent(hwnd), SplitterReleased, static_cast<WPARAM>(GET_X_LPARAM(lp)), 0);
        return 0;
    case WM_ERASEBKGND: {
        RECT r;
        GetClientRect(hwnd, &r);
        const bool pressed = GetWindowLongPtrW(hwnd, GWLP_USERDATA) != 0;
        FillRect(reinterpret_cast<HDC>(wp), &r,
                 pressed ? static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))
                         : GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

// The speech panel: hands its controls' notifications to the reading window.
LRESULT CALLBACK panelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_NOTIFY:
        return SendMessageW(GetParent(hwnd), msg, wp, lp);
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

void registerClasses(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32644)); // IDC_SIZEWE
    wc.lpfnWndProc = splitterProc;
    wc.lpszClassName = SplitterClass;
    RegisterClassExW(&wc);
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpfnWndProc = panelProc;
    wc.lpszClassName = PanelClass;
    RegisterClassExW(&wc);
}

HMENU asMenu(int id) {
    return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
}

std::wstring windowClassName(HWND h) {
    wchar_t name[64] = {};
    GetClassNameW(h, name, 64);
    return name;
}

} // namespace

std::wstring programPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring programFolder() {
    std::wstring path = programPath();
    const std::size_t slash = path.find_last_of(L"\\/");
    path.resize(slash == std::wstring::npos ? 0 : slash);
    if (path.empty() || path.back() != L'\\')
        path += L'\\';
    return path;
}

// ---- start-up ----------------------------------------------------------------------------

std::unique_ptr<FrmEBook> FrmEBook::create(HINSTANCE instance, int show) {
    INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    registerClasses(instance);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &FrmEBook::windowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = ClassName;
    RegisterClassExW(&wc);

    std::unique_ptr<FrmEBook> form(new FrmEBook);
    form->m_programPath = programPath();
    // No caption until LoadHtml has chosen one, so that "folioPage" always means it ran.
    form->m_hwnd =
        CreateWindowExW(0, ClassName, L"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                        CW_USEDEFAULT, 1160, 760, nullptr, nullptr, instance, form.get());
    if (!form->m_hwnd)
        return nullptr;
    form->m_observer.emplace(form->m_hwnd);
    form->m_commands.emplace(rules::Variant::Page, "folioPage",
                             static_cast<rules::ReaderFace&>(*form), *form->m_observer);
    const std::vector<ACCEL> keys = acceleratorEntries(rules::Variant::Page);
    form->m_accelerators =
        CreateAcceleratorTableW(const_cast<ACCEL*>(keys.data()), static_cast<int>(keys.size()));
    form->onLoad();
    ShowWindow(form->m_hwnd, show);
    UpdateWindow(form->m_hwnd);
    return form;
}

FrmEBook::~FrmEBook() {
    m_player.close();
    m_findBar.reset();
    m_search.reset();
    if (m_accelerators)
        DestroyAcceleratorTable(m_accelerators);
    m_webTree.reset();
    m_webBook.reset();
    if (m_hwnd && IsWindow(m_hwnd))
        DestroyWindow(m_hwnd);
    if (m_images)
        ImageList_Destroy(m_images);
    if (m_font)
        DeleteObject(m_font);
    if (m_background)
        DeleteObject(m_background);
}

void FrmEBook::onLoad() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    m_font = SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)
                 ? CreateFontIndirectW(&metrics.lfMessageFont)
                 : nullptr;
    attachSkin();
    buildToolbars();
    buildPanel();
    buildPanes();
    layout(rules::TreeWidth);
    loadVoice();
    LoadHtml();
    m_currentLanguage = SelectLanguageFromLocale(programFolder(), languageTargets());
    // Panes without a browser engine are plain text: they say why the book's pages do not show.
    const std::wstring notice = wide(readerTexts()(rules::NoBrowserEngine));
    for (WebPane* pane : {m_webTree.get(), m_webBook.get()})
        if (!pane->isBrowser())
            pane->setNotice(notice);
    if (!restorePlace())
        m_zoomLevel = rules::initialZoom(rules::Variant::Page);
    ApplyZoom(m_zoomLevel);
    layout(rules::TreeWidth); // captions may have changed the toolbars' widths
    SetTimer(m_hwnd, IdTimer1, 100, nullptr);
}

void FrmEBook::attachSkin() {
    // Only a skin file beside the program turns the skin on; a missing library is no error.
    const std::wstring skin = programFolder() + L"aero.she";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(skin.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    FindClose(search);
    if (found.cFileName[0] == L'\0')
        return;
    if (!folio::skin::attachSkin(folio::skin::LibraryName, toAnsi(utf8(skin)), m_hwnd))
        return;
    // The skin's window colour shows between and around the panes.
    if (const auto palette = folio::skin::attachedPalette(folio::skin::LibraryName)) {
        const unsigned c = palette->window;
        m_background = CreateSolidBrush(RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
        SetClassLongPtrW(m_hwnd, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(m_background));
        InvalidateRect(m_hwnd, nullptr, TRUE);
    }
}

void FrmEBook::buildToolbars() {
    m_images = createImageList(ImageSize);
    m_toolbar1 = std::make_unique<Toolbar>(m_hwnd, IdToolbar1, L"Toolbar1", Toolbar1Base,
                                           rules::toolbar1Buttons(), m_images);
    m_toolbar1->setDropDown(static_cast<int>(B1::ZoomIn));
    m_toolbar1->setDropDown(static_cast<int>(B1::ReadAloud)); // the sleep timer
    setButtonVisible(B1::Pause, false);                       // until something plays
    m_toolbar2 = std::make_unique<Toolbar>(m_hwnd, IdToolbar2, L"Toolbar2", Toolbar2Base,
                                           rules::toolbar2Buttons(), m_images);
    setButtonVisible(B2::Expand, false);                         // until the pane is closed
    m_toolbar2->setEnabled(static_cast<int>(B2::Update), false); // no action offline
}

void FrmEBook::buildPanel() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    m_picture1 = CreateWindowExW(0, PanelClass, L"Picture1",
                                 WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0,
                                 10, 10, m_hwnd, asMenu(IdPicture1), instance, nullptr);
    auto control = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int id) {
        HWND h = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10,
                                 m_picture1, asMenu(id), instance, nullptr);
        SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
        return h;
    };
    m_check1 = control(L"BUTTON", L"真人语音", BS_AUTOCHECKBOX | WS_TABSTOP, IdCheck1);
    static const wchar_t* const Captions[6] = {L"语音：", L"进度：",     L"音量：",
                                               L"语速：", L"播放进度：", L"总时长："};
    for (int i = 0; i < 6; ++i)
        m_labels[i] = control(L"STATIC", Captions[i], SS_RIGHT | SS_CENTERIMAGE, IdLabel1 + i);
    m_comVoice =
        control(WC_COMBOBOXW, L"ComVoice", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, IdComVoice);
    auto slider = [&](const wchar_t* name, int id, int min, int max, int value) {
        HWND h = control(TRACKBAR_CLASSW, name, TBS_HORZ | TBS_NOTICKS | WS_TABSTOP, id);
        SendMessageW(h, TBM_SETRANGEMIN, FALSE, min);
        SendMessageW(h, TBM_SETRANGEMAX, FALSE, max);
        SendMessageW(h, TBM_SETPOS, TRUE, value);
        return h;
    };
    m_slider1 = slider(L"Slider1", IdSlider1, 0, 0, 0);
    m_volume = slider(L"Volume", IdVolume, folio::reader::MinVolume, folio::reader::MaxVolume,
                      folio::reader::DefaultVolume);
    m_rate = slider(L"Rate", IdRate, folio::reader::MinRate, folio::reader::MaxRate,
                    folio::reader::DefaultRate);
    m_label7 = control(L"STATIC", L"00:00", SS_LEFT | SS_CENTERIMAGE, IdLabel7);
    m_label8 = control(L"STATIC", L"00:00", SS_LEFT | SS_CENTERIMAGE, IdLabel8);
}

void FrmEBook::buildPanes() {
    m_webTree = WebPane::create(m_hwnd, L"WebTree");
    m_webBook = WebPane::create(m_hwnd, L"WebBook");
    SetWindowLongPtrW(m_webTree->window(), GWLP_ID, IdWebTree);
    SetWindowLongPtrW(m_webBook->window(), GWLP_ID, IdWebBook);
    m_pic = CreateWindowExW(0, SplitterClass, L"Pic", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, m_hwnd,
                            asMenu(IdPic), GetModuleHandleW(nullptr), nullptr);

    // The contents pane keeps its tree page and runs its scripts; every other link it is
    // asked to follow opens in the page pane.
    m_webTree->setBeforeNavigate([this](const std::wstring& url) {
        m_webTree->setSilent(false);
        if (!rules::routeContentsLinkToPage(utf8(url)) || !m_webBook)
            return false;
        navigateBook(url);
        return true;
    });
    m_webTree->setDownloadBegin([this] { m_webTree->setSilent(true); });
    m_webTree->setDocumentComplete([this] {
        m_webTree->setSilent(true);
        m_webTree->suppressContextMenu();
        m_webTree->runScript(m_themeScript);
        markContents();
    });

    // A sound link plays the book's own sound resource; the page stays.
    m_webBook->setBeforeNavigate([this](const std::wstring& url) {
        m_webBook->setSilent(false);
        if (const auto at = rules::parseReadAt(utf8(url))) {
            // A click in the page while reading: the reading goes on from there.
            if (m_walkPage && m_walk.reading())
                if (const auto index = rules::sentenceAt(m_walk.sentences(), *at))
                    takeSpeech(m_walk.moveTo(*index));
            return true;
        }
        if (url.starts_with(L"folio-reader:")) {
            // Space or PageDown at the page's end, PageUp at its top: after this event.
            PostMessageW(m_hwnd, WM_COMMAND,
                         MAKEWPARAM(AcceleratorBase +
                                        static_cast<int>(url == L"folio-reader:next"
                                                             ? rules::Command::NextChapter
                                                             : rules::Command::PreviousChapterEnd),
                                    1),
                         0);
            return true;
        }
        if (!rules::isSoundLink(utf8(url)))
            return false;
        m_commands->playSoundLink(utf8(url));
        return true;
    });
    // A page the book lacks: the reader's own page instead of the browser's error, written once
    // the browser's event is over.
    m_webBook->setNavigateError([this](const std::wstring& url) {
        const std::string page = pageName(url);
        if (page.empty() || !rules::showsMissingPage(page))
            return false;
        m_missingPage = page;
        PostMessageW(m_hwnd, ShowMissingPage, 0, 0);
        return true;
    });
    m_webBook->setDownloadBegin([this] { m_webBook->setSilent(false); });
    m_webBook->setDocumentComplete([this] {
        m_webBook->setSilent(false);
        m_webBook->suppressContextMenu();
        pageCompleted();
    });

    m_status =
        CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX, 0, 0,
                        10, 10, m_hwnd, asMenu(IdStatus), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(m_status, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    m_findBar = std::make_unique<FindBar>(
        m_hwnd, m_font,
        [this](const std::wstring& script) {
            return m_webBook->evaluate(script, wide(rules::FindResultProperty));
        },
        [this] { layout(m_treeTwips); });
    m_search = std::make_unique<SearchPanel>(
        m_hwnd, m_font, [this](const std::string& name, const std::wstring& text) {
            // The page opens with the text marked, as the find bar marks it.
            m_pendingFind = text;
            navigateBook(wide(m_prefix + name));
        });
}

void FrmEBook::loadVoice() {
    std::wstring why;
    m_speech = CreateSapiEngine(&why);
    if (!m_speech)
        return; // no speech component: the panel stays empty and reading aloud does nothing
    SentenceEventsOf(m_speech.get())->watch(m_hwnd, SpeechEvent);
    folio::reader::VoiceControls controls;
    const folio::reader::VoiceLoadReport report =
        folio::reader::LoadVoice(*m_speech, controls, coreFolder(programFolder()));
    SendMessageW(m_comVoice, CB_RESETCONTENT, 0, 0);
    for (const std::string& voice : controls.voices)
        SendMessageW(m_comVoice, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(voice).c_str()));
    SendMessageW(m_comVoice, CB_SETCURSEL, static_cast<WPARAM>(controls.voiceIndex), 0);
    SendMessageW(m_volume, TBM_SETPOS, TRUE, controls.volume);
    SendMessageW(m_rate, TBM_SETPOS, TRUE, controls.rate);
    Button_SetCheck(m_check1, controls.recorded ? BST_CHECKED : BST_UNCHECKED);
    m_recordedFolder = wide(controls.folder);
    if (report.failed())
        SetWindowTextW(m_hwnd, L"folioPage");
}

void FrmEBook::LoadHtml() {
    const std::optional<std::string> raw = ownDescriptor();
    const std::wstring path = m_programPath;
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::string prefix = folio::book::resourcePrefix(
        utf8(path.substr(0, slash == std::wstring::npos ? 0 : slash)),
        utf8(path.substr(slash == std::wstring::npos ? 0 : slash + 1)), '\\');
    // Every browser pane of this process keeps to the book and the sites its descriptor names.
    folio::reader::PageRule pageRule;
    pageRule.setBookPrefix(prefix);
    if (raw)
        pageRule.allowDescriptorAddresses(folio::book::splitDescriptor(fromAnsi(*raw)));
    setBookPageRule(std::move(pageRule));
    const auto start = raw ? folio::book::readerAddresses(fromAnsi(*raw), prefix)
                           : folio::Result<folio::book::ReaderAddresses>(folio::fail("none"));
    if (start) {
        SetWindowTextW(m_hwnd, wide(start->caption).c_str());
        m_webTree->navigate(wide(start->contentsUrl));
        m_homeAddress = wide(start->homeUrl);
        m_prefix = prefix;
        openBookState();
        navigateBook(m_homeAddress);
        pumpMessages();
        return;
    }
    m_webTree->navigate(L"about:blank");
    m_webBook->navigate(L"about:blank");
    pumpMessages();
    writeAbout(m_webTree, L"WebTree");
    writeAbout(m_webBook, L"WebBook");
    SetWindowTextW(m_hwnd, L"folioPage");
    showStartPanel(raw ? start.error().message : "no book descriptor in " + utf8(m_programPath));
}

void FrmEBook::writeAbout(std::unique_ptr<WebPane>& pane, const wchar_t* name) {
    const std::wstring html = wide(rules::AboutHtml());
    if (pane->writeDocument(html))
        return;
    // A browser control without a working engine never gives a document: show the about
    // text in a plain pane instead of leaving the pane blank.
    const int id = pane.get() == m_webTree.get() ? IdWebTree : IdWebBook;
    pane = createPlainPane(m_hwnd, name);
    SetWindowLongPtrW(pane->window(), GWLP_ID, id);
    layout(m_treeTwips);
    pane->writeDocument(html);
}

std::vector<LanguageTarget> FrmEBook::languageTargets() {
    std::vector<LanguageTarget> targets;
    auto caption = [&](const wchar_t* name, HWND h) {
        LanguageTarget t;
        t.window = ClassName;
        t.name = name;
        t.setCaption = [h](const std::wstring& text) { SetWindowTextW(h, text.c_str()); };
        targets.push_back(std::move(t));
    };
    auto strip = [&](const wchar_t* name, Toolbar* bar) {
        LanguageTarget t;
        t.window = ClassName;
        t.name = name;
        t.kind = LanguageTarget::Kind::Strip;
        t.parts = bar->count();
        t.setPart = [bar](int position, const std::wstring& text) {
            bar->setCaption(position, text);
        };
        targets.push_back(std::move(t));
    };
    // In the window's control order.
    strip(L"Toolbar1", m_toolbar1.get());
    strip(L"Toolbar2", m_toolbar2.get());
    caption(L"Check1", m_check1);
    static const wchar_t* const Labels[6] = {L"Label1", L"Label2", L"Label3",
                                             L"Label4", L"Label5", L"Label6"};
    for (int i = 0; i < 6; ++i)
        caption(Labels[i], m_labels[i]);
    caption(L"Label7", m_label7);
    caption(L"Label8", m_label8);
    return targets;
}

bool FrmEBook::translateAccelerator(MSG* msg) {
    // Full screen and its exit window: Esc and F11 leave it, as on Linux; the reading
    // window's other keys would act on a window out of sight.
    if (const HWND root = msg->hwnd ? GetAncestor(msg->hwnd, GA_ROOT) : nullptr;
        root && root != m_hwnd) {
        if (msg->message == WM_KEYDOWN && (msg->wParam == VK_ESCAPE || msg->wParam == VK_F11)) {
            const HWND fullScreen = FindWindowW(FrmFullScreenClass, nullptr);
            if (fullScreen && GetWindow(fullScreen, GW_OWNER) == m_hwnd) {
                DestroyWindow(fullScreen); // its exit window goes with it
                return true;
            }
        }
        return (m_webTree && m_webTree->translateAccelerator(msg)) ||
               (m_webBook && m_webBook->translateAccelerator(msg));
    }
    if (msg->message == WM_KEYDOWN && m_hwnd) {
        // The finders' text boxes: Enter finds or searches, Esc closes; a plain key (Backspace
        // above all) stays the box's own.
        const HWND focus = GetFocus();
        const bool inFind = m_findBar && focus == m_findBar->edit();
        const bool inSearch = m_search && focus == m_search->edit();
        if ((inFind || inSearch) && msg->wParam == VK_RETURN) {
            if (inFind)
                m_findBar->step(GetKeyState(VK_SHIFT) < 0 ? rules::FindMove::Previous
                                                          : rules::FindMove::Next);
            else
                m_search->search();
            return true;
        }
        const bool chord = GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0 ||
                           (msg->wParam >= VK_F1 && msg->wParam <= VK_F24) ||
                           msg->wParam == VK_ESCAPE;
        if ((inFind || inSearch) && msg->wParam == VK_ESCAPE) {
            if (inFind)
                m_findBar->close();
            else
                m_search->hide();
            return true;
        }
        const bool inBox = inFind || inSearch ||
                           (focus && (GetWindowLongW(focus, GWL_STYLE) & ES_READONLY) == 0 &&
                            windowClassName(focus) == L"Edit");
        if ((!inBox || chord) && m_accelerators &&
            TranslateAcceleratorW(m_hwnd, m_accelerators, msg))
            return true;
    } else if (msg->message == WM_SYSKEYDOWN && m_accelerators &&
               TranslateAcceleratorW(m_hwnd, m_accelerators, msg)) {
        return true; // Alt+Left, Alt+Right
    }
    return (m_webTree && m_webTree->translateAccelerator(msg)) ||
           (m_webBook && m_webBook->translateAccelerator(msg));
}

// ---- the place kept ------------------------------------------------------------------------

void FrmEBook::openBookState() {
    const std::string path = utf8(m_programPath);
    auto opened = folio::book::BookImage::open(path);
    if (!opened)
        return; // a book the core cannot read keeps no place; it is still shown
    m_book = std::move(*opened);
    m_bookKey = rules::bookKey(*m_book);
    m_lineage = rules::bookLineage(*m_book);
    if (const auto title = m_book->descriptor()) {
        const auto fields = folio::book::splitDescriptor(*title);
        // The start page of a reader that cannot read its own book offers the books read lately.
        (void)rules::RecentBooks().add(path, fields.empty() ? std::string() : fields[0]);
    }
    m_search->setBook(path);
    loadReading();
}

// The reader's log for users and tests ("page: ...", "reading: ..."), seen in a debugger or
// with Wine's +debugstr channel.
static void readerLog(const std::string& line) {
    // The narrow call, in the book's code page: debuggers take both, and Wine shows only this
    // one on its +debugstr channel.
    OutputDebugStringA(toAnsi("folio.reader: " + line + "\n").c_str());
}

void FrmEBook::loadReading() {
    m_bookReading = rules::bookReading(*m_book);
    m_commands->setReadingOrder(m_bookReading.order);
    const std::string folder = rules::stateFolder();
    if (folder.empty())
        return;
    m_pagesRead = rules::ReadMarks(folder).pagesRead(m_bookKey, m_lineage);
    auto bytes = folio::readFileBytes(folder + "\\reading.ini");
    auto read = rules::parseReadingSettings(
        bytes ? std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size())
              : std::string_view());
    for (const std::string& problem : read.problems)
        readerLog("reading: " + folder + "\\reading.ini: " + problem);
    // A book read with settings of its own takes them again; the others take the default.
    if (auto own = m_bookKey.empty() ? std::nullopt : rules::ReadingStore(folder).find(m_bookKey))
        read.settings = *own;
    applyReading(read.settings);
}

void FrmEBook::applyReading(const rules::ReadingSettings& settings) {
    m_reading = settings;
    std::string userCss;
    if (!settings.userStyle.empty()) {
        if (auto user = folio::readFileBytes(settings.userStyle))
            userCss.assign(reinterpret_cast<const char*>(user->data()), user->size());
        else
            readerLog("reading: the user style sheet " + settings.userStyle + " cannot be read");
    }
    m_readingScript = wide(
        rules::readingStyleScript(rules::readingStyleSheet(settings, userCss), settings.bookStyle));
    // The contents pane takes the theme alone: its own type and spacing stay.
    m_themeScript =
        wide(rules::readingStyleScript(rules::themeStyleSheet(settings), true, "folio-theme"));
    const auto colours = rules::themeColours(settings);
    m_themePaint.set(colours ? colours->foreground : std::string(),
                     colours ? colours->background : std::string());
    if (m_search)
        m_search->setTheme(colours ? colours->foreground : std::string(),
                           colours ? colours->background : std::string());
    for (const auto& [key, value] : rules::readingSettingValues(settings))
        readerLog("reading: " + key + "=" + value);
    // The pages shown now take the settings at once; the next ones as they load.
    if (m_webBook && m_webBook->isBrowser())
        m_webBook->runScript(m_readingScript);
    if (m_webTree && m_webTree->isBrowser())
        m_webTree->runScript(m_themeScript);
    if (m_status)
        InvalidateRect(m_status, nullptr, TRUE);
    if (settings.statusLine != m_statusShown) {
        m_statusShown = settings.statusLine;
        layout(m_treeTwips);
    }
}

void FrmEBook::openReadingSettings() {
    ShowFrmReading(
        m_hwnd, m_reading,
        [this](const rules::ReadingSettings& s) {
            applyReading(s);
            // Kept for this book only; a file that cannot be written costs only the next
            // opening its settings.
            if (!m_bookKey.empty())
                (void)rules::ReadingStore().remember(m_bookKey, s);
        },
        [](const rules::ReadingSettings& s) -> Result<void> {
            const std::string folder = rules::stateFolder();
            if (folder.empty())
                return fail("reading.ini: no folder for the user's settings");
            if (auto made = folio::makeFolders(folder); !made)
                return made;
            return folio::writeFileAtomic(folder + "\\reading.ini", rules::readingSettingsText(s));
        });
}

void FrmEBook::navigateBook(const std::wstring& url) {
    m_webBook->navigate(url);
    if (!m_webBook->isBrowser()) {
        // No document will complete: the page is shown as far as this window can show it.
        readerLog("page: " + utf8(url));
        pageShown();
    }
}

std::string FrmEBook::currentBookPage() const {
    return rules::bookPageOf(pageName(m_webBook->locationUrl()));
}

void FrmEBook::showBookPage(const std::string& page, bool atEnd) {
    m_pendingEnd = atEnd;
    navigateBook(wide(m_prefix + page));
}

void FrmEBook::showStatus(const std::string& text) {
    // The first page or the last says so in place of where one is, until the page scrolls.
    readerLog("status: " + text);
    if (m_status)
        SetWindowTextW(m_status, wide(text).c_str());
}

void FrmEBook::pageShown() {
    const auto at = rules::chapterIndex(m_bookReading.order, currentBookPage());
    const unsigned long long now = GetTickCount64();
    rules::ReadingSpeed().learnStep(m_bookReading, m_shownIndex, at, (now - m_shownSince) / 1000.0);
    m_shownIndex = at;
    m_shownSince = now;
    m_depth = 0;
    // A page the book has counts as read once it is shown, and is dimmed in the contents.
    const std::string page = currentBookPage();
    if (m_book && !page.empty() && rules::pageStamp(*m_book, page)) {
        const rules::ReadMarks marks;
        if (marks.markRead(m_bookKey, m_lineage, page))
            m_pagesRead = marks.pagesRead(m_bookKey, m_lineage);
        else
            m_pagesRead.push_back(page); // not kept, but marked while the book is open
        markContents();
    }
    updateStatus();
}

void FrmEBook::updateStatus() {
    if (!m_status)
        return;
    std::string text = rules::readingStatusText(m_bookReading, m_shownIndex, m_depth,
                                                rules::ReadingSpeed().bytesPerMinute());
    if (m_walk.reading())
        if (const std::string timer = m_walk.sleepStatusText(GetTickCount64()); !timer.empty())
            text += " · " + timer;
    SetWindowTextW(m_status, wide(text).c_str());
}

void FrmEBook::sleepTick() {
    // The timer's last half-minute fades the voice out; its time left is in the status line.
    if (m_speech && m_walk.reading())
        m_speech->setVolume(
            static_cast<int>(static_cast<double>(SendMessageW(m_volume, TBM_GETPOS, 0, 0)) *
                             m_walk.volumeFactor(GetTickCount64())));
    updateStatus();
}

void FrmEBook::markContents() {
    if (!m_webTree || !m_webTree->isBrowser() || m_pagesRead.empty())
        return;
    std::vector<std::string> addresses;
    addresses.reserve(m_pagesRead.size());
    for (const std::string& page : m_pagesRead)
        addresses.push_back(m_prefix + page);
    m_webTree->runScript(wide(rules::readMarksScript(addresses)));
}

std::string FrmEBook::pageName(const std::wstring& url) const {
    return rules::afterBookPrefix(utf8(url), m_prefix);
}

bool FrmEBook::restorePlace() {
    if (!m_book)
        return false;
    const rules::PlaceStore store;
    const auto place = store.findFor(m_bookKey, m_lineage, [this](std::string_view page) {
        return rules::pageStamp(*m_book, page);
    });
    if (!place)
        return false;
    m_zoomLevel = place->zoom;
    m_pendingPage = place->page;
    m_pendingScroll = std::pair{place->scrollX, place->scrollY};
    navigateBook(wide(m_prefix + place->page));
    return true;
}

void FrmEBook::savePlace() {
    if (!m_book || !m_webBook)
        return;
    const std::string page = pageName(m_webBook->locationUrl());
    if (page.empty())
        return;
    rules::Place place;
    place.page = page;
    place.zoom = m_zoomLevel;
    if (const auto answer = m_webBook->evaluate(wide(rules::scrollPositionScript()),
                                                wide(rules::ScrollResultProperty)))
        if (const auto scroll = rules::parseScrollPosition(utf8(*answer)))
            std::tie(place.scrollX, place.scrollY) = *scroll;
    place.lineage = m_lineage;
    place.pageStamp = rules::pageStamp(*m_book, page).value_or(std::string());
    // A place that cannot be written costs only the next opening its page.
    (void)rules::PlaceStore().remember(m_bookKey, place);
}

void FrmEBook::pageCompleted() {
    // Every page shows at the zoom chosen, not only the one shown when it was chosen, and in
    // the reading settings.
    ApplyZoom(m_zoomLevel);
    if (!m_readingScript.empty())
        m_webBook->runScript(m_readingScript);
    m_webBook->runScript(wide(rules::chapterKeysScript()));
    readerLog("page: " + utf8(m_webBook->locationUrl()));
    if (m_walkPage && (m_walk.reading() || !m_walkAwaiting.empty())) {
        // The chapter the walk asked for, or another the reader went to: read from its top.
        const bool asked = m_walkAwaiting == currentBookPage();
        if (!asked)
            m_walk.stop();
        m_walkAwaiting.clear();
        readPageAloud(false);
    }
    if (m_pendingEnd)
        m_webBook->runScript(L"window.scrollTo(0, document.body.scrollHeight);");
    m_pendingEnd = false;
    const std::string page = pageName(m_webBook->locationUrl());
    if (m_pendingScroll && _stricmp(page.c_str(), m_pendingPage.c_str()) == 0)
        m_webBook->runScript(
            wide(rules::scrollToScript(m_pendingScroll->first, m_pendingScroll->second)));
    m_pendingScroll.reset();
    if (!m_pendingFind.empty()) {
        m_findBar->markAll(m_pendingFind);
        m_pendingFind.clear();
    }
    pageShown();
    savePlace();
}

void FrmEBook::showStartPanel(const std::string& why) {
    m_startPanel = createStartPanel(m_hwnd, m_font, wide(why));
    layout(m_treeTwips);
}

// ---- layout ------------------------------------------------------------------------------

int FrmEBook::statusHeight() const {
    // One line of the window's font with a little room, as the find bar's own text has.
    HDC dc = GetDC(m_hwnd);
    HGDIOBJ old = SelectObject(dc, m_font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(m_hwnd, dc);
    return metrics.tmHeight + 6;
}

int FrmEBook::toolbarHeight() const {
    return m_toolbar1->height() + m_toolbar2->height();
}

void FrmEBook::layout(int treeTwips) {
    if (!m_webTree || !m_webBook || !m_toolbar1)
        return;
    RECT client;
    GetClientRect(m_hwnd, &client);
    const int h1 = m_toolbar1->height();
    const int h2 = m_toolbar2->height();
    MoveWindow(m_toolbar1->hwnd(), 0, 0, client.right, h1, TRUE);
    const int w2 = std::min<int>(m_toolbar2->width(), client.right);
    MoveWindow(m_toolbar2->hwnd(), 0, h1, w2, h2, TRUE);
    placePanel(w2, h1, client.right - w2, h2);

    const int dpi = screenDpi();
    const rules::PaneLayout l =
        rules::layoutPanes(pixelsToTwips(client.right, dpi), pixelsToTwips(client.bottom, dpi),
                           pixelsToTwips(h1 + h2, dpi), pixelsToTwips(h1, dpi), treeTwips);
    auto pixels = [dpi](const rules::TwipRect& r) {
        return RECT{twipsToPixels(r.left, dpi), twipsToPixels(r.top, dpi),
                    twipsToPixels(r.left, dpi) + twipsToPixels(r.width, dpi),
                    twipsToPixels(r.top, dpi) + twipsToPixels(r.height, dpi)};
    };
    const RECT tree = pixels(l.tree);
    m_webTree->setBounds(tree);
    if (m_search)
        m_search->placeIn(tree);
    const RECT bar = pixels(l.bar);
    MoveWindow(m_pic, bar.left, bar.top, bar.right - bar.left, bar.bottom - bar.top, TRUE);
    RECT book = pixels(l.book);
    // The status line takes the last row from the page pane, unless put away in the reading
    // settings; the find bar, when open, the row above it.
    if (m_status) {
        const int h = m_statusShown ? std::min<int>(statusHeight(), book.bottom - book.top) : 0;
        MoveWindow(m_status, book.left, book.bottom - h, book.right - book.left, h, TRUE);
        ShowWindow(m_status, h > 0 ? SW_SHOWNA : SW_HIDE);
        book.bottom -= h;
    }
    // The find bar takes its row from the page pane, and gives it back when it closes.
    if (m_findBar && m_findBar->visible()) {
        const int h = std::min<int>(m_findBar->height(), book.bottom - book.top);
        m_findBar->setBounds(RECT{book.left, book.bottom - h, book.right, book.bottom});
        book.bottom -= h;
    }
    m_webBook->setBounds(book);
    if (m_startPanel)
        MoveWindow(m_startPanel, book.left, book.top, book.right - book.left,
                   book.bottom - book.top, TRUE);
    m_treeTwips = l.tree.width;
    m_picLeftTwips = l.bar.left;
}

void FrmEBook::placePanel(int left, int top, int width, int height) {
    MoveWindow(m_picture1, left, top, std::max(width, 0), height, TRUE);
    HDC dc = GetDC(m_picture1);
    HGDIOBJ old = SelectObject(dc, m_font);
    auto textWidth = [&](HWND h) {
        std::wstring text = windowText(h);
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        return static_cast<int>(size.cx) + 6;
    };
    const int rowHeight = std::min(height - 4, 24);
    const int y = (height - rowHeight) / 2;
    int x = 6;
    auto place = [&](HWND h, int w) {
        MoveWindow(h, x, y, w, rowHeight, TRUE);
        x += w + 2;
    };
    place(m_check1, textWidth(m_check1) + 18);
    place(m_labels[0], textWidth(m_labels[0]));
    MoveWindow(m_comVoice, x, y, 140, 200, TRUE); // the list drops below the row
    x += 142;
    place(m_labels[1], textWidth(m_labels[1]));
    place(m_slider1, 90);
    place(m_labels[2], textWidth(m_labels[2]));
    place(m_volume, 70);
    place(m_labels[3], textWidth(m_labels[3]));
    place(m_rate, 70);
    place(m_labels[4], textWidth(m_labels[4]));
    place(m_label7, std::max(textWidth(m_label7), 40));
    place(m_labels[5], textWidth(m_labels[5]));
    place(m_label8, std::max(textWidth(m_label8), 40));
    SelectObject(dc, old);
    ReleaseDC(m_picture1, dc);
}

void FrmEBook::releaseSplitter(int xTwips) {
    const int left = rules::splitterLeft(m_picLeftTwips, xTwips);
    layout(left);
}

// ---- commands ----------------------------------------------------------------------------

void FrmEBook::toolbarClicked(int toolbar, int position) {
    if (const auto command = rules::toolbarCommand(toolbar, position))
        m_commands->run(*command);
}

void FrmEBook::pageBack() {
    m_webBook->goBack();
}

void FrmEBook::pageForward() {
    m_webBook->goForward();
}

void FrmEBook::pageStop() {
    m_webBook->stop();
}

void FrmEBook::refreshPanes() {
    m_webBook->refresh();
    m_webTree->refresh();
}

void FrmEBook::showPage(const std::string& address) {
    navigateBook(wide(address));
}

void FrmEBook::showPageDocument(const std::string& html) {
    m_webBook->navigate(L"about:blank");
    pumpMessages();
    m_webBook->writeDocument(wide(html));
}

void FrmEBook::copySelection() {
    m_webBook->exec(CommandCopy);
}

void FrmEBook::ApplyZoom(int percent) {
    // The level is kept on the window too, where a test program can read it.
    SetPropW(m_hwnd, ZoomProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(percent)));
    m_webBook->runScript(wide(folio::zoomScript(percent)));
}

void FrmEBook::zoomDropDown() {
    HMENU menu = CreatePopupMenu();
    const auto& entries = folio::zoomMenuEntries();
    for (std::size_t i = 0; i < entries.size(); ++i)
        AppendMenuW(menu, MF_STRING | (entries[i].percent == m_zoomLevel ? MF_CHECKED : 0u),
                    ZoomMenuBase + static_cast<UINT>(i) + 1, wide(entries[i].text).c_str());
    RECT r = m_toolbar1->buttonRect(static_cast<int>(B1::ZoomIn));
    MapWindowPoints(m_toolbar1->hwnd(), nullptr, reinterpret_cast<POINT*>(&r), 2);
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN, r.left, r.bottom, 0, m_hwnd, nullptr);
    DestroyMenu(menu);
}

void FrmEBook::sleepDropDown() {
    HMENU menu = CreatePopupMenu();
    for (std::size_t i = 0; i < std::size(rules::SleepChoices); ++i)
        AppendMenuW(menu, MF_STRING | (rules::SleepChoices[i] == m_walk.sleep() ? MF_CHECKED : 0u),
                    SleepMenuBase + static_cast<UINT>(i) + 1,
                    wide(rules::sleepChoiceCaption(rules::SleepChoices[i])).c_str());
    RECT r = m_toolbar1->buttonRect(static_cast<int>(B1::ReadAloud));
    MapWindowPoints(m_toolbar1->hwnd(), nullptr, reinterpret_cast<POINT*>(&r), 2);
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN, r.left, r.bottom, 0, m_hwnd, nullptr);
    DestroyMenu(menu);
}

void FrmEBook::setZoom(int percent) {
    m_zoomLevel = percent;
    ApplyZoom(m_zoomLevel);
}

void FrmEBook::find(rules::FindStep step) {
    switch (step) {
    case rules::FindStep::Open:
        m_findBar->open();
        break;
    case rules::FindStep::Next:
        m_findBar->step(rules::FindMove::Next);
        break;
    case rules::FindStep::Previous:
        m_findBar->step(rules::FindMove::Previous);
        break;
    case rules::FindStep::Close:
        // Esc closes the find bar, else the search panel.
        if (!m_findBar->close() && m_search->visible())
            m_search->hide();
        break;
    }
}

void FrmEBook::openSearch() {
    m_search->activate();
}

std::string FrmEBook::homeAddress() const {
    return utf8(m_homeAddress);
}

std::string FrmEBook::shelfAddress() const {
    return utf8(m_shelfAddress);
}

void FrmEBook::setButtonVisible(rules::Toolbar1Button button, bool visible) {
    m_toolbar1->setVisible(static_cast<int>(button), visible);
}

void FrmEBook::setButtonVisible(rules::Toolbar2Button button, bool visible) {
    m_toolbar2->setVisible(static_cast<int>(button), visible);
}

void FrmEBook::openBookmarks(bool /*addCurrent*/) {
    // The bookmarks window offers the page shown; adding it is the window's own button.
    ShowFrmBookTag(m_hwnd, programFolder(), m_webBook->locationUrl(),
                   [this](const std::wstring& address) { navigateBook(address); });
}

void FrmEBook::openFullScreen() {
    ShowFrmFullScreen(m_hwnd, m_webBook->locationUrl(), &WebPane::create, m_readingScript);
}

void FrmEBook::openVoiceSettings() {
    ShowFrmSet(m_hwnd, programFolder(), [this](const folio::reader::VoiceSettings& s) {
        const std::wstring voice = wide(s.voice);
        const LRESULT index = SendMessageW(m_comVoice, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                           reinterpret_cast<LPARAM>(voice.c_str()));
        if (index != CB_ERR) {
            SendMessageW(m_comVoice, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
            if (m_speech)
                m_speech->setVoice(static_cast<int>(index));
        }
        SendMessageW(m_rate, TBM_SETPOS, TRUE, s.rate);
        SendMessageW(m_volume, TBM_SETPOS, TRUE, s.volume);
        if (m_speech) {
            m_speech->setRate(s.rate);
            m_speech->setVolume(s.volume);
        }
        Button_SetCheck(m_check1, s.recorded ? BST_CHECKED : BST_UNCHECKED);
    });
}

void FrmEBook::openAbout() {
    ShowFrmAbout(m_hwnd, L"folioPage");
}

void FrmEBook::readAloud() {
    if (m_walk.reading()) {
        // While reading the same command pauses, and resumes at the sentence.
        if (m_walk.paused()) {
            takeSpeech(m_walk.resume());
        } else {
            m_walk.pause();
            m_stream = 0;
            if (m_speech)
                m_speech->stop();
            readerLog("speech: paused");
        }
        return;
    }
    const std::wstring text = m_webBook->selectedText();
    if (Button_GetCheck(m_check1) == BST_CHECKED) {
        const std::string phrase =
            folio::reader::RecordedVoicePath(coreFolder(m_recordedFolder), utf8(text));
        // A phrase without a recording plays nothing; the play and pause buttons stay.
        if (!phrase.empty())
            m_player.playFile(wide(phrase));
        return;
    }
    if (!m_speech)
        return;
    if (!text.empty()) {
        m_walkPage = false;
        if (m_walk.startSelection(utf8(text)))
            takeSpeech(m_walk.speakCurrent());
        return;
    }
    m_walkOrder = m_commands->readingOrder();
    m_walkPage = true;
    readPageAloud(true);
}

void FrmEBook::readPageAloud(bool fromView) {
    std::optional<rules::ReadableText> text;
    if (m_webBook->isBrowser()) {
        m_webBook->runScript(wide(rules::readAtClickScript()));
        if (const auto answer = m_webBook->evaluate(wide(rules::readableTextScript()),
                                                    wide(rules::ReadableTextProperty)))
            text = rules::parseReadableText(utf8(*answer));
    } else if (m_book) {
        // A pane without a browser engine shows no page: its own text, as the plain pane
        // reads a page, from its start.
        if (const auto bytes = m_book->find(currentBookPage()))
            text = rules::ReadableText{
                utf8(plainTextOf(wide(decodeToUtf8(
                    std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()),
                    true)))),
                0};
    }
    if (!text) {
        // A pane that runs no scripts has no text to give: said once, not walked page by page.
        stopSpeech();
        showStatus("朗读停止：页面没有给出文字");
        return;
    }
    std::vector<rules::SpokenSentence> sentences = rules::pageSentences(text->text);
    if (!m_webBook->isBrowser())
        std::erase_if(sentences, [](const rules::SpokenSentence& s) {
            return rules::isNavigationText(s.text);
        });
    const std::size_t first =
        fromView ? rules::sentenceAt(sentences, text->firstVisible).value_or(sentences.size()) : 0;
    m_walk.startPage(std::move(sentences), first, &m_walkOrder, currentBookPage());
    takeSpeech(m_walk.speakCurrent());
}

void FrmEBook::takeSpeech(const rules::ReadAloud::Step& step) {
    for (const std::string& line : step.log)
        readerLog(line);
    switch (step.kind) {
    case rules::ReadAloud::Step::Speak: {
        const rules::SpokenSentence& s = m_walk.sentences()[step.sentence];
        if (m_walkPage)
            m_webBook->runScript(wide(rules::highlightSentenceScript(s.start, s.end)));
        m_stream = SentenceEventsOf(m_speech.get())->speakSentence(s.text);
        if (m_stream == 0) {
            m_walk.setEngineName("SAPI");
            // After this step, as an engine's own failure would come.
            PostMessageW(m_hwnd, SpeechEvent, 1, 0);
        }
        break;
    }
    case rules::ReadAloud::Step::OpenPage:
        m_walkAwaiting = step.page;
        navigateBook(wide(m_prefix + step.page));
        break;
    case rules::ReadAloud::Step::Stop:
        stopSpeech();
        if (!step.message.empty()) {
            if (step.message.rfind("朗读已停止", 0) == 0)
                m_observer->messageBox(step.message, "folioPage", folio::MessageIcon::Exclamation);
            else
                showStatus(step.message);
        }
        break;
    }
}

void FrmEBook::speechEvent(bool refused) {
    if (!m_speech || !m_walk.reading() || m_walk.paused())
        return;
    if (refused) {
        takeSpeech(m_walk.sentenceFailed("Speak 调用失败", GetTickCount64()));
        return;
    }
    if (SentenceEventsOf(m_speech.get())->ended(m_stream)) {
        m_stream = 0;
        takeSpeech(m_walk.sentenceEnded(GetTickCount64()));
    }
}

void FrmEBook::stopSpeech() {
    const bool marked = m_walkPage && m_walk.reading();
    m_walk.stop();
    m_walkAwaiting.clear();
    m_stream = 0;
    if (m_speech) {
        m_speech->stop();
        m_speech->setVolume(static_cast<int>(SendMessageW(m_volume, TBM_GETPOS, 0, 0)));
    }
    if (marked)
        m_webBook->runScript(wide(rules::highlightSentenceScript(0, 0)));
    m_walkPage = false;
}

void FrmEBook::stopReading() {
    if (Button_GetCheck(m_check1) == BST_CHECKED)
        m_player.stop();
    else
        stopSpeech();
}

std::string FrmEBook::clipboardText() {
    std::wstring text;
    if (!OpenClipboard(m_hwnd))
        return {};
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return utf8(text);
}

void FrmEBook::clearClipboard() {
    if (OpenClipboard(m_hwnd)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

std::string FrmEBook::saveFolder() const {
    return utf8(programFolder());
}

bool FrmEBook::playBookSound(const std::string& name) {
    return m_player.playResource(wide(name));
}

void FrmEBook::readingTick() {
    // How far down the page is read, every second while a page of the order is shown: the
    // share read and the time left follow the scrolling.
    if (++m_ticks % 10 != 0)
        return;
    if (m_walk.reading() && m_walk.sleep() != rules::SleepChoice::Off)
        sleepTick();
    if (!m_shownIndex || !m_webBook || !m_webBook->isBrowser())
        return;
    const auto answer =
        m_webBook->evaluate(wide(rules::scrollDepthScript()), wide(rules::ScrollDepthProperty));
    const double depth =
        answer ? rules::parseScrollDepth(utf8(*answer)).value_or(m_depth) : m_depth;
    if (depth != m_depth) {
        m_depth = depth;
        updateStatus();
    }
}

void FrmEBook::playerTick() {
    if (m_player.playState() != 3)
        return;
    const long long position = m_player.positionMs();
    const long long duration = m_player.durationMs();
    SetWindowTextW(m_label7, wide(rules::playerTimeText(position)).c_str());
    SetWindowTextW(m_label8, wide(rules::playerTimeText(duration)).c_str());
    SendMessageW(m_slider1, TBM_SETRANGEMAX, TRUE, static_cast<LPARAM>(duration / 1000));
    SendMessageW(m_slider1, TBM_SETPOS, TRUE, static_cast<LPARAM>(position / 1000));
}

// ---- messages ----------------------------------------------------------------------------

LRESULT CALLBACK FrmEBook::windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<FrmEBook*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self || !self->m_hwnd)
        return msg == WM_DESTROY ? (PostQuitMessage(0), 0) : DefWindowProcW(hwnd, msg, wp, lp);
    return self->handle(msg, wp, lp);
}

LRESULT FrmEBook::handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SIZE:
        if (wp != SIZE_MINIMIZED)
            layout(rules::TreeWidth); // every resize gives the contents pane its width back
        return 0;
    case WM_COMMAND: {
        const int id = LOWORD(wp);
        if (const auto key = acceleratorCommand(id); key && HIWORD(wp) == 1)
            m_commands->run(*key);
        else if (id > Toolbar1Base && id <= Toolbar1Base + m_toolbar1->count())
            toolbarClicked(1, id - Toolbar1Base);
        else if (id > Toolbar2Base && id <= Toolbar2Base + m_toolbar2->count())
            toolbarClicked(2, id - Toolbar2Base);
        else if (id > SleepMenuBase &&
                 id <= SleepMenuBase + static_cast<int>(std::size(rules::SleepChoices))) {
            m_walk.setSleep(rules::SleepChoices[id - SleepMenuBase - 1], GetTickCount64());
            sleepTick();
        } else if (const auto& zooms = folio::zoomMenuEntries();
                   id > ZoomMenuBase && id <= ZoomMenuBase + static_cast<int>(zooms.size())) {
            // The drop-down entries set the zoom directly.
            m_commands->zoomTo(zooms[static_cast<std::size_t>(id - ZoomMenuBase - 1)].percent);
        } else if (id == IdComVoice && HIWORD(wp) == CBN_SELCHANGE && m_speech) {
            m_speech->setVoice(static_cast<int>(SendMessageW(m_comVoice, CB_GETCURSEL, 0, 0)));
        }
        return 0;
    }
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lp) == m_status)
            if (HBRUSH brush = m_themePaint.paint(reinterpret_cast<HDC>(wp)))
                return reinterpret_cast<LRESULT>(brush);
        return DefWindowProcW(m_hwnd, msg, wp, lp);
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lp);
        if (header->code == TBN_DROPDOWN && header->hwndFrom == m_toolbar1->hwnd()) {
            if (reinterpret_cast<const NMTOOLBARW*>(lp)->iItem ==
                m_toolbar1->base() + static_cast<int>(B1::ReadAloud))
                sleepDropDown();
            else
                zoomDropDown();
            return TBDDRET_DEFAULT;
        }
        return 0;
    }
    case WM_HSCROLL: {
        const HWND from = reinterpret_cast<HWND>(lp);
        const int value = static_cast<int>(SendMessageW(from, TBM_GETPOS, 0, 0));
        if (from == m_slider1)
            m_player.seek(static_cast<long long>(value) * 1000);
        else if (from == m_volume && m_speech)
            m_speech->setVolume(value);
        else if (from == m_rate && m_speech)
            m_speech->setRate(value);
        return 0;
    }
    case SplitterReleased:
        releaseSplitter(pixelsToTwips(static_cast<int>(static_cast<INT_PTR>(wp)), screenDpi()));
        return 0;
    case SpeechEvent:
        speechEvent(wp == 1 && m_stream == 0);
        return 0;
    case ShowMissingPage:
        m_webBook->navigate(L"about:blank");
        m_webBook->writeDocument(
            wide(rules::missingPageHtml(m_missingPage, utf8(m_homeAddress), readerTexts())));
        return 0;
    case WM_TIMER:
        if (wp == IdTimer1) {
            playerTick();
            readingTick();
        }
        return 0;
    case WM_CLOSE:
        savePlace();
        DestroyWindow(m_hwnd);
        return 0;
    case WM_DESTROY:
        KillTimer(m_hwnd, IdTimer1);
        RemovePropW(m_hwnd, ZoomProperty);
        m_player.close();
        // The panes' windows die with this one; drop them before the handles go stale.
        m_webTree.reset();
        m_webBook.reset();
        m_hwnd = nullptr;
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(m_hwnd, msg, wp, lp);
    }
}

} // namespace folio::win32
