// The configure dialog. It shows the saver's picture, name and version and the home page, and
// its one setting, whether the frame fills the screen, which is stored only when the dialog
// ends with OK; its result becomes the exit code of the configure mode.
#include "configure_dialog.h"

#include <shellapi.h>

#include "frame_placement.h"
#include "frame_setting.h"
#include "host_state.h"
#include "home_page.h"
#include "japanese_text.h"
#include "resource_ids.h"

INT_PTR show_configure_dialog(HWND owner) {
    if (!dialog_class_hook(host.instance)) return -1;
    // The Unicode form hands the controls the template's texts as they are; the ANSI form would
    // pass them through the ANSI code page, which outside Japan has no Japanese characters. The
    // Windows 95 family has only the ANSI form (its Unicode one fails at once): there the texts
    // go through the code page as they always did, which on a Japanese system shows them right.
    if (host.win9x)
        return DialogBoxParamA(host.instance, MAKEINTRESOURCEA(IDD_CONFIGURE), owner,
                               configure_dialog_proc, 0);
    return DialogBoxParamW(host.instance, MAKEINTRESOURCEW(IDD_CONFIGURE), owner,
                           configure_dialog_proc, 0);
}

// "Mirabel・" and saver_name (up to 40 bytes of ANSI text; it stays empty): in Unicode, or on the
// Windows 95 family, which has no Unicode window texts, in the ANSI code page.
static void set_caption(HWND dialog) {
    if (host.win9x) {
        char format[32] = "";
        WideCharToMultiByte(CP_ACP, 0, CAPTION_FORMAT, -1, format, sizeof format, nullptr, nullptr);
        char caption[sizeof format + sizeof host.saver_name];
        wsprintfA(caption, format, host.saver_name);
        SetWindowTextA(dialog, caption);
        return;
    }
    int bytes = 0;
    while (bytes < static_cast<int>(sizeof host.saver_name) && host.saver_name[bytes] != 0) ++bytes;
    wchar_t name[sizeof host.saver_name + 1] = {};
    MultiByteToWideChar(CP_ACP, 0, host.saver_name, bytes, name, sizeof host.saver_name);
    wchar_t caption[16 + sizeof host.saver_name];  // the prefix is 8 characters
    wsprintfW(caption, CAPTION_FORMAT, name);
    SetWindowTextW(dialog, caption);
}

// Custom controls of the dialog would register their classes here; it uses none.
BOOL dialog_class_hook(HINSTANCE) { return TRUE; }

// Hands the home page to the shell's default action (the browser); whether that works is not
// reported, and the dialog stays open.
static void open_home_page(HWND dialog) {
    SHELLEXECUTEINFOA info = {};
    static_assert(sizeof info == 60, "the record of the 32-bit ANSI call");
    info.cbSize = sizeof info;
    info.hwnd = dialog;
    info.lpFile = HOME_PAGE_URL;
    info.nShow = SW_SHOWNORMAL;
    ShellExecuteExA(&info);
}

INT_PTR CALLBACK configure_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        set_caption(dialog);
        CheckDlgButton(dialog, IDC_FRAME_FILL,
                       read_frame_size() == FRAME_SIZE_FILL ? BST_CHECKED : BST_UNCHECKED);
        return TRUE;  // the system puts the focus on the first tab stop, OK
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDOK:
            write_frame_size(IsDlgButtonChecked(dialog, IDC_FRAME_FILL) == BST_CHECKED
                                 ? FRAME_SIZE_FILL
                                 : FRAME_SIZE_DPI);
            EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL: EndDialog(dialog, 2); return TRUE;
        case IDC_CONNECT: open_home_page(dialog); return FALSE;
        default: return FALSE;
        }
    default: return FALSE;
    }
}
