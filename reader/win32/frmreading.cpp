// The reading settings panel (see frmreading.h).
#include "reader/win32/frmreading.h"

#include "reader/win32/companions.h"
#include "reader/win32/language.h"
#include "reader/win32/windowobserver.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

namespace folio::win32 {
namespace {

using namespace readingset;
namespace rules = folio::reader;

constexpr rules::Theme Themes[] = {rules::Theme::Original, rules::Theme::Sepia, rules::Theme::Night,
                                   rules::Theme::Black, rules::Theme::Custom};
constexpr const char* ThemeKeys[] = {"ReadingThemeOriginal", "ReadingThemeSepia",
                                     "ReadingThemeNight", "ReadingThemeBlack",
                                     "ReadingThemeCustom"};

// The edits and the reading.ini key each one sets; its value is checked as the file's is.
struct NumberField {
    int id;
    const char* key;
    const char* labelKey;
    const char* label;
    const wchar_t* unit;
};
constexpr NumberField Numbers[] = {
    {TxtFontSize, "FontSize", "LabelFontSize", "字号：", L"px"},
    {TxtLineHeight, "LineHeight", "LabelLineHeight", "行距（倍）：", L""},
    {TxtParagraph, "ParagraphSpacing", "LabelParagraph", "段距：", L"em"},
    {TxtMargin, "Margin", "LabelMargin", "页边距：", L"px"},
    {TxtMaxWidth, "MaxWidth", "LabelMaxWidth", "最大行宽：", L"px"},
};

constexpr int ClientWidth = 6720;
constexpr int LabelLeft = 180, LabelWidth = 1860;
constexpr int FieldLeft = 2100, FieldWidth = 4380;
constexpr int Row = 450, RowHeight = 330;

std::wstring text(const char* key, const char* fallback) {
    return wide(readerTexts()(rules::ReaderText{key, fallback}));
}

int CALLBACK collectFamily(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM param) {
    auto* families = reinterpret_cast<std::vector<std::wstring>*>(param);
    // "@" names the same family set sideways, for vertical text.
    if (font->lfFaceName[0] != L'@')
        families->push_back(font->lfFaceName);
    return 1;
}

// The system's font families, the Chinese ones first, each once.
std::vector<std::wstring> fontFamilies() {
    std::vector<std::wstring> chinese, all;
    HDC dc = GetDC(nullptr);
    LOGFONTW wanted{};
    wanted.lfCharSet = GB2312_CHARSET;
    EnumFontFamiliesExW(dc, &wanted, collectFamily, reinterpret_cast<LPARAM>(&chinese), 0);
    wanted.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExW(dc, &wanted, collectFamily, reinterpret_cast<LPARAM>(&all), 0);
    ReleaseDC(nullptr, dc);
    for (auto* list : {&chinese, &all}) {
        std::sort(list->begin(), list->end());
        list->erase(std::unique(list->begin(), list->end()), list->end());
    }
    for (const std::wstring& family : all)
        if (!std::binary_search(chinese.begin(), chinese.end(), family))
            chinese.push_back(family);
    return chinese;
}

struct ReadingWindow {
    rules::ReadingSettings settings;
    const ReadingChanged* changed = nullptr;
    const ReadingDefault* makeDefault = nullptr;
    HWND hwnd = nullptr;
    HBRUSH swatches[2] = {};
    bool filling = false;
    int labels = 0;

    HWND item(int id) const { return GetDlgItem(hwnd, id); }

    void label(const char* key, const char* fallback, int top) {
        addControl(hwnd, L"STATIC", text(key, fallback).c_str(), SS_LEFT | SS_CENTERIMAGE,
                   FirstLabel + labels++, LabelLeft, top, LabelWidth, RowHeight);
    }

    void build() {
        SetWindowTextW(hwnd, text("FrmReading", "阅读设置").c_str());
        int top = 150;
        label("LabelTheme", "主题：", top);
        HWND theme = addControl(hwnd, L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                                ComTheme, FieldLeft, top, FieldWidth, RowHeight * 8);
        for (std::size_t i = 0; i < std::size(Themes); ++i)
            SendMessageW(theme, CB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(
                             text(ThemeKeys[i], std::string(rules::themeCaption(Themes[i])).c_str())
                                 .c_str()));

        top += Row;
        label("LabelColours", "自定义颜色：", top);
        addControl(hwnd, L"BUTTON", text("CmdForeground", "文字颜色").c_str(),
                   WS_TABSTOP | BS_PUSHBUTTON, CmdForeground, FieldLeft, top, 1500, RowHeight + 30);
        addControl(hwnd, L"STATIC", L"", SS_SUNKEN, SwatchForeground, FieldLeft + 1560, top + 45,
                   420, RowHeight - 60);
        addControl(hwnd, L"BUTTON", text("CmdBackground", "背景颜色").c_str(),
                   WS_TABSTOP | BS_PUSHBUTTON, CmdBackground, FieldLeft + 2220, top, 1500,
                   RowHeight + 30);
        addControl(hwnd, L"STATIC", L"", SS_SUNKEN, SwatchBackground, FieldLeft + 3780, top + 45,
                   420, RowHeight - 60);

        top += Row;
        label("LabelFont", "字体：", top);
        HWND font = addControl(hwnd, L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                               ComFont, FieldLeft, top, FieldWidth, RowHeight * 12);
        SendMessageW(font, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(text("FontOfTheBook", "书中的字体").c_str()));
        for (const std::wstring& family : fontFamilies())
            SendMessageW(font, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(family.c_str()));

        for (const NumberField& field : Numbers) {
            top += Row;
            label(field.labelKey, field.label, top);
            addControl(hwnd, L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, field.id, FieldLeft, top,
                       1200, RowHeight, WS_EX_CLIENTEDGE);
            addControl(hwnd, L"STATIC", field.unit, SS_LEFT | SS_CENTERIMAGE, FirstLabel + labels++,
                       FieldLeft + 1290, top, 600, RowHeight);
            // What 0 means: said on the first row for all of them, and where it means more.
            const bool width = field.id == TxtMaxWidth;
            if (field.id == TxtFontSize || width)
                addControl(hwnd, L"STATIC",
                           (L"0 = " + (width ? text("ValueNoLimit", "不限")
                                             : text("ValueOfTheBook", "书中的")))
                               .c_str(),
                           SS_LEFT | SS_CENTERIMAGE, FirstLabel + labels++, FieldLeft + 1920, top,
                           FieldWidth - 1920, RowHeight);
        }
        top += Row;
        addControl(hwnd, L"BUTTON", text("ChkBookStyle", "使用书本身的样式").c_str(),
                   WS_TABSTOP | BS_AUTOCHECKBOX, ChkBookStyle, FieldLeft, top, FieldWidth,
                   RowHeight);
        top += Row;
        addControl(hwnd, L"BUTTON", text("ChkStatusLine", "显示状态栏").c_str(),
                   WS_TABSTOP | BS_AUTOCHECKBOX, ChkStatusLine, FieldLeft, top, FieldWidth,
                   RowHeight);
        top += Row;
        label("LabelUserStyle", "自己的样式表：", top);
        addControl(hwnd, L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, TxtUserStyle, FieldLeft, top,
                   FieldWidth - 1020, RowHeight, WS_EX_CLIENTEDGE);
        addControl(hwnd, L"BUTTON", text("CmdUserStyle", "选择…").c_str(),
                   WS_TABSTOP | BS_PUSHBUTTON, CmdUserStyle, FieldLeft + FieldWidth - 960, top - 15,
                   960, RowHeight + 30);

        top += Row + 180;
        addControl(hwnd, L"BUTTON", text("CmdDefault", "设为默认").c_str(),
                   WS_TABSTOP | BS_PUSHBUTTON, CmdDefault, ClientWidth - 180 - 2 * 1320 - 120, top,
                   1320, 390);
        addControl(hwnd, L"BUTTON", text("CmdClose", "关闭").c_str(), WS_TABSTOP | BS_PUSHBUTTON,
                   CmdClose, ClientWidth - 180 - 1320, top, 1320, 390);
        setClientTwips(hwnd, ClientWidth, top + 390 + 150);
        centreOnOwner(hwnd);
    }

    void show() {
        filling = true;
        SendMessageW(item(ComTheme), CB_SETCURSEL, static_cast<WPARAM>(settings.theme), 0);
        const std::wstring font = wide(settings.font);
        const LRESULT at = font.empty() ? CB_ERR
                                        : SendMessageW(item(ComFont), CB_FINDSTRINGEXACT, 0,
                                                       reinterpret_cast<LPARAM>(font.c_str()));
        SendMessageW(item(ComFont), CB_SETCURSEL, at == CB_ERR ? 0 : at, 0);
        for (const auto& [key, value] : rules::readingSettingValues(settings))
            for (const NumberField& field : Numbers)
                if (key == field.key)
                    SetWindowTextW(item(field.id), wide(value).c_str());
        SendMessageW(item(ChkBookStyle), BM_SETCHECK, settings.bookStyle ? BST_CHECKED : 0, 0);
        SendMessageW(item(ChkStatusLine), BM_SETCHECK, settings.statusLine ? BST_CHECKED : 0, 0);
        SetWindowTextW(item(TxtUserStyle), wide(settings.userStyle).c_str());
        paintSwatches();
        filling = false;
    }

    void paintSwatches() {
        for (HBRUSH& brush : swatches)
            if (brush)
                DeleteObject(brush);
        swatches[0] = CreateSolidBrush(colourOf(settings.foreground));
        swatches[1] = CreateSolidBrush(colourOf(settings.background));
        InvalidateRect(item(SwatchForeground), nullptr, TRUE);
        InvalidateRect(item(SwatchBackground), nullptr, TRUE);
    }

    void apply() {
        if (!filling && changed && *changed)
            (*changed)(settings);
    }

    // A value typed is taken once it is one the setting takes; half-typed ones wait.
    void fieldEdited(int id) {
        for (const NumberField& field : Numbers)
            if (field.id == id) {
                rules::ReadingSettings edited = settings;
                const auto problem =
                    rules::setReadingValue(edited, field.key, utf8(windowText(item(id))));
                if (problem && problem->empty() && !(edited == settings)) {
                    settings = edited;
                    apply();
                }
            }
    }

    void userStyleEdited() {
        rules::ReadingSettings edited = settings;
        const auto problem =
            rules::setReadingValue(edited, "UserStyle", utf8(windowText(item(TxtUserStyle))));
        if (problem && problem->empty() && !(edited == settings)) {
            settings = edited;
            apply();
        }
    }

    void chooseUserStyle() {
        wchar_t file[MAX_PATH * 4] = {};
        const std::wstring now = windowText(item(TxtUserStyle));
        now.copy(file, std::min<std::size_t>(now.size(), std::size(file) - 1));
        OPENFILENAMEW ofn{};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = hwnd;
        ofn.lpstrFilter = L"CSS (*.css)\0*.css\0*.*\0*.*\0";
        ofn.lpstrFile = file;
        ofn.nMaxFile = static_cast<DWORD>(std::size(file));
        ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
        if (GetOpenFileNameW(&ofn)) {
            SetWindowTextW(item(TxtUserStyle), file);
            userStyleEdited();
        }
    }

    void chooseColour(bool foreground) {
        static COLORREF custom[16] = {};
        std::string& colour = foreground ? settings.foreground : settings.background;
        CHOOSECOLORW choose{};
        choose.lStructSize = sizeof choose;
        choose.hwndOwner = hwnd;
        choose.rgbResult = colourOf(colour);
        choose.lpCustColors = custom;
        choose.Flags = CC_RGBINIT | CC_FULLOPEN;
        if (!ChooseColorW(&choose))
            return;
        char hex[8];
        std::snprintf(hex, sizeof hex, "#%02x%02x%02x", GetRValue(choose.rgbResult),
                      GetGValue(choose.rgbResult), GetBValue(choose.rgbResult));
        colour = hex;
        // A colour chosen is a wish for the reader's own colours.
        settings.theme = rules::Theme::Custom;
        filling = true;
        SendMessageW(item(ComTheme), CB_SETCURSEL, static_cast<WPARAM>(settings.theme), 0);
        filling = false;
        paintSwatches();
        apply();
    }

    void setAsDefault() {
        if (!makeDefault || !*makeDefault)
            return;
        if (auto saved = (*makeDefault)(settings); !saved)
            WindowObserver(hwnd).messageBox("阅读设置没有设为默认：" + saved.error().message,
                                            utf8(text("FrmReading", "阅读设置")),
                                            folio::MessageIcon::Exclamation);
    }

    bool command(int id, int code) {
        switch (id) {
        case ComTheme:
            if (code == CBN_SELCHANGE) {
                const auto at = SendMessageW(item(ComTheme), CB_GETCURSEL, 0, 0);
                if (at >= 0 && at < static_cast<LRESULT>(std::size(Themes))) {
                    settings.theme = Themes[at];
                    apply();
                }
            }
            return true;
        case ComFont:
            if (code == CBN_SELCHANGE) {
                const auto at = SendMessageW(item(ComFont), CB_GETCURSEL, 0, 0);
                std::wstring family;
                if (at > 0) {
                    family.resize(SendMessageW(item(ComFont), CB_GETLBTEXTLEN, at, 0) + 1);
                    family.resize(SendMessageW(item(ComFont), CB_GETLBTEXT, at,
                                               reinterpret_cast<LPARAM>(family.data())));
                }
                settings.font = utf8(family);
                apply();
            }
            return true;
        case ChkBookStyle:
        case ChkStatusLine:
            if (code == BN_CLICKED) {
                const bool on = SendMessageW(item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
                (id == ChkBookStyle ? settings.bookStyle : settings.statusLine) = on;
                apply();
            }
            return true;
        case TxtUserStyle:
            if (code == EN_KILLFOCUS)
                userStyleEdited();
            return true;
        case CmdUserStyle:
            chooseUserStyle();
            return true;
        case CmdForeground:
        case CmdBackground:
            chooseColour(id == CmdForeground);
            return true;
        case CmdDefault:
            setAsDefault();
            return true;
        case CmdClose:
        case IDOK:
        case IDCANCEL:
            userStyleEdited(); // a path typed and not yet left counts
            EndDialog(hwnd, IDOK);
            return true;
        default:
            if (code == EN_CHANGE && !filling)
                fieldEdited(id);
            return false;
        }
    }
};

INT_PTR CALLBACK dialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<ReadingWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        self = reinterpret_cast<ReadingWindow*>(lp);
        SetWindowLongPtrW(hwnd, DWLP_USER, lp);
        self->hwnd = hwnd;
        self->build();
        self->show();
        return TRUE;
    case WM_CTLCOLORSTATIC:
        if (self) {
            const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lp));
            if (id == SwatchForeground || id == SwatchBackground)
                return reinterpret_cast<INT_PTR>(self->swatches[id == SwatchForeground ? 0 : 1]);
        }
        return FALSE;
    case WM_COMMAND:
        return self && self->command(LOWORD(wp), HIWORD(wp)) ? TRUE : FALSE;
    case WM_CLOSE:
        if (self)
            self->command(CmdClose, BN_CLICKED);
        return TRUE;
    }
    return FALSE;
}

} // namespace

rules::ReadingSettings ShowFrmReading(HWND owner, const rules::ReadingSettings& settings,
                                      const ReadingChanged& changed,
                                      const ReadingDefault& makeDefault) {
    ReadingWindow window;
    window.settings = settings;
    window.changed = &changed;
    window.makeDefault = &makeDefault;
    runDialog(owner, L"阅读设置", dialogProc, reinterpret_cast<LPARAM>(&window));
    for (HBRUSH brush : window.swatches)
        if (brush)
            DeleteObject(brush);
    return window.settings;
}

} // namespace folio::win32
