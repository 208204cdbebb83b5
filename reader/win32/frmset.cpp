// The voice settings window (see frmset.h).
#include "reader/win32/frmset.h"

#include "core/text.h"
#include "reader/win32/companions.h"
#include "reader/win32/language.h"
#include "reader/win32/sapi.h"
#include "reader/win32/windowobserver.h"

#include <commctrl.h>

#include <vector>

namespace folio::win32 {
namespace {

using namespace voiceset;
using folio::reader::SpeechEngine;

constexpr int ClientWidth = 7320;
constexpr int ClientHeight = 5940;
// The two frames; their controls are children of the dialog, placed inside them.
constexpr int Frame1Left = 120, Frame1Top = 120;
constexpr int Frame2Left = 120, Frame2Top = 3600;
constexpr UINT ShowProblems = WM_APP + 1;

// A voice object that cannot speak, for a machine without the speech component: the window
// still keeps Voice.ini's other settings.
class NoSpeech final : public SpeechEngine {
  public:
    std::vector<std::string> voices() const override { return {}; }
    std::vector<std::string> outputs() const override { return {}; }
    bool setVoice(int) override { return false; }
    bool setOutput(int) override { return false; }
    bool setFormatType(int) override { return true; }
    bool setRate(int) override { return true; }
    bool setVolume(int) override { return true; }
    void speak(const std::string&) override {}
    void stop() override {}
};

struct SetWindow {
    std::string folder;
    const VoiceApplied* applied = nullptr;
    std::unique_ptr<SpeechEngine> engine;
    std::wstring engineProblem; // why there is no speech component, or ""
    folio::reader::VoiceControls controls;
    std::vector<std::wstring> problems;
    std::string fileVoice; // the voice Voice.ini names, kept when no voice can be chosen
    HWND hwnd = nullptr;
    bool saved = false;

    HWND item(int id) const { return GetDlgItem(hwnd, id); }

    void label(int id, const wchar_t* text, int left, int top) {
        addControl(hwnd, L"STATIC", text, SS_LEFT, id, left, top, 900, 330);
    }

    HWND list(int id, int left, int top) {
        return addControl(hwnd, L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, id,
                          left, top, 5700, 330 * 8);
    }

    HWND slider(int id, int minimum, int maximum, int left, int top) {
        HWND s = addControl(hwnd, TRACKBAR_CLASSW, L"", WS_TABSTOP | TBS_HORZ | TBS_AUTOTICKS, id,
                            left, top, 2400, 390);
        SendMessageW(s, TBM_SETRANGEMIN, FALSE, minimum);
        SendMessageW(s, TBM_SETRANGEMAX, FALSE, maximum);
        SendMessageW(s, TBM_SETTICFREQ, maximum - minimum > 20 ? 10 : 1, 0);
        return s;
    }

    void button(int id, const wchar_t* text, int left, int top, int width = 1200) {
        addControl(hwnd, L"BUTTON", text, WS_TABSTOP | BS_PUSHBUTTON, id, left, top, width, 390);
    }

    void build() {
        setClientTwips(hwnd, ClientWidth, ClientHeight);
        centreOnOwner(hwnd);
        const int x1 = Frame1Left, y1 = Frame1Top;
        addControl(hwnd, L"BUTTON", L"合成语音", BS_GROUPBOX, Frame1, x1, y1, 7080, 3360);
        label(Label1, L"语音：", x1 + 240, y1 + 390);
        list(ComVoice, x1 + 1140, y1 + 360);
        label(Label10, L"输出：", x1 + 240, y1 + 840);
        list(ComOutput, x1 + 1140, y1 + 810);
        label(Label11, L"格式：", x1 + 240, y1 + 1290);
        list(ComFormat, x1 + 1140, y1 + 1260);
        label(Label4, L"语速：", x1 + 240, y1 + 1770);
        slider(Rate, folio::reader::MinRate, folio::reader::MaxRate, x1 + 1140, y1 + 1710);
        label(Label3, L"音量：", x1 + 3660, y1 + 1770);
        slider(Volume, folio::reader::MinVolume, folio::reader::MaxVolume, x1 + 4440, y1 + 1710);
        addControl(hwnd, L"EDIT", wide(folio::reader::SettingsTestText).c_str(),
                   WS_TABSTOP | ES_AUTOHSCROLL, Text1, x1 + 240, y1 + 2400, 5220, 390,
                   WS_EX_CLIENTEDGE);
        button(Command3, L"测试发音", x1 + 5640, y1 + 2400);

        const int x2 = Frame2Left, y2 = Frame2Top;
        addControl(hwnd, L"BUTTON", L"真人语音", BS_GROUPBOX, Frame2, x2, y2, 7080, 1680);
        addControl(hwnd, L"BUTTON", L"真人语音", WS_TABSTOP | BS_AUTOCHECKBOX, Check1, x2 + 240,
                   y2 + 330, 1800, 330);
        label(Label12, L"路径：", x2 + 2160, y2 + 360);
        addControl(hwnd, L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, Text2, x2 + 2880, y2 + 330,
                   3000, 330, WS_EX_CLIENTEDGE);
        button(Command4, L"浏览", x2 + 6000, y2 + 300, 840);
        addControl(hwnd, L"EDIT", L"welcome", WS_TABSTOP | ES_AUTOHSCROLL, Text3, x2 + 240,
                   y2 + 1020, 5220, 390, WS_EX_CLIENTEDGE);
        button(Command5, L"测试发音", x2 + 5640, y2 + 1020);

        button(Command1, L"确定", 4680, 5400);
        button(Command2, L"取消", 6000, 5400);
        SendMessageW(hwnd, DM_SETDEFID, Command1, 0);
        std::vector<LanguageTarget> captions;
        for (const auto& [id, name] :
             std::initializer_list<std::pair<int, const wchar_t*>>{{Frame1, L"Frame1"},
                                                                   {Label1, L"Label1"},
                                                                   {Label10, L"Label10"},
                                                                   {Label11, L"Label11"},
                                                                   {Label4, L"Label4"},
                                                                   {Label3, L"Label3"},
                                                                   {Command3, L"Command3"},
                                                                   {Frame2, L"Frame2"},
                                                                   {Check1, L"Check1"},
                                                                   {Label12, L"Label12"},
                                                                   {Command4, L"Command4"},
                                                                   {Command5, L"Command5"},
                                                                   {Command1, L"Command1"},
                                                                   {Command2, L"Command2"}})
            captions.push_back(captionTarget(hwnd, L"FrmSet", name, id));
        ApplyCurrentLanguage(captions);
    }

    void load() {
        if (!engine)
            engine = std::make_unique<NoSpeech>();
        const auto report = folio::reader::loadSettingsWindowVoice(*engine, controls, folder);
        if (!engineProblem.empty()) {
            problems.push_back(L"语音组件不能使用：" + engineProblem +
                               L"。合成语音不能朗读，真人语音和其他设置仍可修改。");
        } else if (controls.voices.empty()) {
            problems.push_back(L"本机没有安装语音，合成语音不能朗读；真人语音和其他设置仍可修改。");
        }
        for (const auto& line : report.skipped) {
            // The empty voice list is told once, above, in words.
            if (controls.voices.empty() && line == "the speech engine lists no voice")
                continue;
            problems.push_back(wide(line));
        }
        if (auto lines = readAnsiLines(folio::reader::voiceIniPath(folder))) {
            for (const auto& entry : folio::reader::parseVoiceIni(*lines))
                if (entry.key == folio::reader::VoiceKey::Voice)
                    fileVoice = entry.value;
        }
        showControls();
    }

    void showControls() {
        SendMessageW(item(ComVoice), CB_RESETCONTENT, 0, 0);
        for (const auto& voice : controls.voices)
            SendMessageW(item(ComVoice), CB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(wide(voice).c_str()));
        SendMessageW(item(ComVoice), CB_SETCURSEL, controls.voiceIndex, 0);

        SendMessageW(item(ComOutput), CB_RESETCONTENT, 0, 0);
        const std::vector<std::string> outputs =
            controls.outputs.empty()
                ? std::vector<std::string>{std::string(folio::reader::NoAudioOutput)}
                : controls.outputs;
        for (const auto& output : outputs)
            SendMessageW(item(ComOutput), CB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(wide(output).c_str()));
        SendMessageW(item(ComOutput), CB_SETCURSEL,
                     controls.outputEnabled ? controls.outputIndex : 0, 0);
        EnableWindow(item(ComOutput), controls.outputEnabled);

        SendMessageW(item(ComFormat), CB_RESETCONTENT, 0, 0);
        for (const auto& format : folio::reader::audioFormats()) {
            const auto at = SendMessageW(item(ComFormat), CB_ADDSTRING, 0,
                                         reinterpret_cast<LPARAM>(wide(format.name).c_str()));
            SendMessageW(item(ComFormat), CB_SETITEMDATA, at, format.type);
        }
        const int format = controls.formatIndex >= 0
                               ? controls.formatIndex
                               : folio::reader::audioFormatIndex(folio::reader::DefaultAudioFormat);
        SendMessageW(item(ComFormat), CB_SETCURSEL, format, 0);

        SendMessageW(item(Rate), TBM_SETPOS, TRUE, controls.rate);
        SendMessageW(item(Volume), TBM_SETPOS, TRUE, controls.volume);
        SendMessageW(item(Check1), BM_SETCHECK, controls.recorded ? BST_CHECKED : BST_UNCHECKED, 0);
        SetWindowTextW(item(Text2), wide(controls.folder).c_str());
    }

    int selection(int id) const {
        return static_cast<int>(SendMessageW(item(id), CB_GETCURSEL, 0, 0));
    }

    void voiceChosen() {
        const int index = selection(ComVoice);
        if (index >= 0 && engine->setVoice(index))
            controls.voiceIndex = index;
    }

    void outputChosen() {
        const int index = selection(ComOutput);
        if (!controls.outputEnabled || index < 0 || !engine->setOutput(index))
            return;
        controls.outputIndex = index;
        // A new output starts with its own format: the chosen one is applied again.
        folio::reader::selectAudioFormat(*engine, controls, controls.formatIndex);
    }

    void formatChosen() {
        folio::reader::selectAudioFormat(*engine, controls, selection(ComFormat));
    }

    void sliderMoved(HWND control) {
        const int value = static_cast<int>(SendMessageW(control, TBM_GETPOS, 0, 0));
        if (control == item(Rate) && value != controls.rate) {
            controls.rate = value;
            engine->setRate(value);
        } else if (control == item(Volume) && value != controls.volume) {
            controls.volume = value;
            engine->setVolume(value);
        }
    }

    void browse() {
        const std::wstring chosen = BrowseForFolder(hwnd);
        if (!chosen.empty())
            SetWindowTextW(item(Text2), chosen.c_str());
    }

    folio::reader::VoiceSettings current() const {
        folio::reader::VoiceSettings settings;
        settings.voice = controls.voiceName();
        // Without a voice to choose, the file keeps the one it named.
        if (settings.voice.empty())
            settings.voice = fileVoice;
        settings.rate = static_cast<int>(SendMessageW(item(Rate), TBM_GETPOS, 0, 0));
        settings.volume = static_cast<int>(SendMessageW(item(Volume), TBM_GETPOS, 0, 0));
        settings.folder = utf8(windowText(item(Text2)));
        settings.recorded = SendMessageW(item(Check1), BM_GETCHECK, 0, 0) == BST_CHECKED;
        return settings;
    }

    void ok() {
        const auto settings = current();
        if (auto written = folio::reader::saveVoiceIni(folder, settings); !written) {
            // Nothing is copied and the window stays open: try again or cancel.
            WindowObserver(hwnd).messageBox("语音设置没有保存：" + written.error().message,
                                            "语音设置", folio::MessageIcon::Exclamation);
            return;
        }
        saved = true;
        if (applied && *applied)
            (*applied)(settings);
        EndDialog(hwnd, IDOK);
    }

    void tellProblems() {
        if (problems.empty())
            return;
        std::wstring text = L"语音设置中有几项没有应用：";
        for (const auto& p : problems)
            text += L"\n" + p;
        WindowObserver(hwnd).messageBox(utf8(text), "语音设置", folio::MessageIcon::Exclamation);
    }
};

INT_PTR CALLBACK dialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<SetWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        self = reinterpret_cast<SetWindow*>(lp);
        SetWindowLongPtrW(hwnd, DWLP_USER, lp);
        self->hwnd = hwnd;
        self->build();
        self->load();
        // Told once the window is up, over it; the window stays usable with what was applied.
        PostMessageW(hwnd, ShowProblems, 0, 0);
        return TRUE;
    case ShowProblems:
        if (self)
            self->tellProblems();
        return TRUE;
    case WM_HSCROLL:
        if (self && lp)
            self->sliderMoved(reinterpret_cast<HWND>(lp));
        return TRUE;
    case WM_COMMAND:
        if (!self)
            return FALSE;
        switch (LOWORD(wp)) {
        case ComVoice:
            if (HIWORD(wp) == CBN_SELCHANGE)
                self->voiceChosen();
            return TRUE;
        case ComOutput:
            if (HIWORD(wp) == CBN_SELCHANGE)
                self->outputChosen();
            return TRUE;
        case ComFormat:
            if (HIWORD(wp) == CBN_SELCHANGE)
                self->formatChosen();
            return TRUE;
        case Command3:
            self->engine->speak(utf8(windowText(self->item(Text1))));
            return TRUE;
        case Command4:
            self->browse();
            return TRUE;
        case Command1:
        case IDOK:
            self->ok();
            return TRUE;
        case Command2:
        case IDCANCEL:
            self->engine->stop();
            EndDialog(hwnd, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        EndDialog(hwnd, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

} // namespace

bool ShowFrmSet(HWND owner, const std::wstring& programFolder, const VoiceApplied& applied,
                std::unique_ptr<SpeechEngine> engine, const std::wstring& why) {
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&classes);
    SetWindow window;
    window.folder = coreFolder(programFolder);
    window.applied = &applied;
    window.engine = std::move(engine);
    window.engineProblem = window.engine ? std::wstring() : (why.empty() ? L"没有语音组件" : why);
    runDialog(owner, L"语音设置", dialogProc, reinterpret_cast<LPARAM>(&window));
    return window.saved;
}

bool ShowFrmSet(HWND owner, const std::wstring& programFolder, const VoiceApplied& applied) {
    std::wstring why;
    auto engine = CreateSapiEngine(&why);
    return ShowFrmSet(owner, programFolder, applied, std::move(engine), why);
}

} // namespace folio::win32
