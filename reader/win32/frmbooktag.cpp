// The bookmarks window (see frmbooktag.h).
#include "reader/win32/frmbooktag.h"

#include "core/fileio.h"
#include "reader/core/bookmarks.h"
#include "reader/win32/companions.h"
#include "reader/win32/language.h"
#include "reader/win32/windowobserver.h"

namespace folio::win32 {
namespace {

using namespace booktag;

// The client area shows the name box, the names and the three buttons; the address box and
// the address list sit to the right of it, out of sight.
constexpr int ClientWidth = 4800;
constexpr int ClientHeight = 3720;
constexpr int HiddenLeft = ClientWidth + 600;

struct BookTagWindow {
    std::string folder;
    std::wstring address;
    const std::function<void(const std::wstring&)>* navigate = nullptr;
    folio::reader::BookmarkList list;
    HWND hwnd = nullptr;
    bool closing = false;
    bool keepFile = false; // the file exists but could not be read: never rewritten

    HWND item(int id) const { return GetDlgItem(hwnd, id); }

    void create() {
        setClientTwips(hwnd, ClientWidth, ClientHeight);
        centreOnOwner(hwnd);
        addControl(hwnd, L"EDIT", L"", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, Text1, 120, 120,
                   3240, 330, WS_EX_CLIENTEDGE);
        addControl(hwnd, L"LISTBOX", L"",
                   WS_BORDER | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, List1,
                   120, 570, 3240, 3030, WS_EX_CLIENTEDGE);
        addControl(hwnd, L"BUTTON", L"添加", WS_TABSTOP | BS_PUSHBUTTON, Command2, 3480, 120, 1200,
                   390);
        addControl(hwnd, L"BUTTON", L"删除", WS_TABSTOP | BS_PUSHBUTTON, Command3, 3480, 630, 1200,
                   390);
        addControl(hwnd, L"BUTTON", L"取消", WS_TABSTOP | BS_PUSHBUTTON, Command1, 3480, 3210, 1200,
                   390);
        addControl(hwnd, L"EDIT", L"", ES_AUTOHSCROLL, Text2, HiddenLeft, 120, 3240, 330);
        addControl(hwnd, L"LISTBOX", L"", LBS_NOINTEGRALHEIGHT, List2, HiddenLeft, 570, 3240, 3030);
        ApplyCurrentLanguage({captionTarget(hwnd, L"FrmBookTag", L"Command1", Command1),
                              captionTarget(hwnd, L"FrmBookTag", L"Command2", Command2),
                              captionTarget(hwnd, L"FrmBookTag", L"Command3", Command3)});

        auto loaded = folio::reader::BookmarkList::load(folder);
        if (loaded) {
            list = std::move(*loaded);
        } else {
            // The window still opens (empty). A file that exists but could not be read is
            // left as it is, so the empty list never overwrites the bookmarks it holds.
            keepFile = fileExists(folio::reader::BookmarkList::filePath(folder));
            WindowObserver(hwnd).messageBox(
                "书签文件没有读出：" + loaded.error().message +
                    (keepFile ? "\n书签文件保持原样，这次的改动不会保存。" : ""),
                "书签", folio::MessageIcon::Exclamation);
        }
        for (const auto& bookmark : list.entries()) {
            SendMessageW(item(List1), LB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(wide(bookmark.name).c_str()));
            SendMessageW(item(List2), LB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(wide(bookmark.address).c_str()));
        }
        SetWindowTextW(item(Text1), wide(list.nextName()).c_str());
        SetWindowTextW(item(Text2), address.c_str());
    }

    void add() {
        const std::wstring name = windowText(item(Text1));
        const std::wstring where = windowText(item(Text2));
        list.add(utf8(name), utf8(where));
        SendMessageW(item(List1), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        SendMessageW(item(List2), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(where.c_str()));
        SetWindowTextW(item(Text1), wide(list.nextName()).c_str());
    }

    int selected() const { return static_cast<int>(SendMessageW(item(List1), LB_GETCURSEL, 0, 0)); }

    void selectAddress() { SendMessageW(item(List2), LB_SETCURSEL, selected(), 0); }

    void remove() {
        const int row = selected();
        if (row < 0 || !list.remove(row))
            return;
        SendMessageW(item(List1), LB_DELETESTRING, row, 0);
        SendMessageW(item(List2), LB_DELETESTRING, row, 0);
    }

    void open() {
        const int row = selected();
        const auto where = list.addressAt(row);
        if (!where)
            return;
        selectAddress();
        if (navigate && *navigate)
            (*navigate)(wide(*where));
        close(IDOK);
    }

    // Every way of closing ends here: the list is written back to the file.
    void close(INT_PTR result) {
        if (closing)
            return;
        closing = true;
        if (keepFile) {
            EndDialog(hwnd, result);
            return;
        }
        if (auto written = list.save(folder); !written) {
            // Losing the bookmarks silently would be worse than one message.
            WindowObserver(hwnd).messageBox("书签没有保存：" + written.error().message, "书签",
                                            folio::MessageIcon::Exclamation);
        }
        EndDialog(hwnd, result);
    }
};

INT_PTR CALLBACK dialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<BookTagWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        self = reinterpret_cast<BookTagWindow*>(lp);
        SetWindowLongPtrW(hwnd, DWLP_USER, lp);
        self->hwnd = hwnd;
        self->create();
        return TRUE;
    case WM_COMMAND:
        if (!self)
            return FALSE;
        switch (LOWORD(wp)) {
        case Command2:
            self->add();
            return TRUE;
        case Command3:
            self->remove();
            return TRUE;
        case Command1:
        case IDCANCEL:
            self->close(IDCANCEL);
            return TRUE;
        case List1:
            if (HIWORD(wp) == LBN_SELCHANGE)
                self->selectAddress();
            else if (HIWORD(wp) == LBN_DBLCLK)
                self->open();
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        if (self)
            self->close(IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

} // namespace

void ShowFrmBookTag(HWND owner, const std::wstring& programFolder,
                    const std::wstring& currentAddress,
                    const std::function<void(const std::wstring&)>& navigate) {
    BookTagWindow window;
    window.folder = coreFolder(programFolder);
    window.address = currentAddress;
    window.navigate = &navigate;
    runDialog(owner, L"书签", dialogProc, reinterpret_cast<LPARAM>(&window));
}

} // namespace folio::win32
