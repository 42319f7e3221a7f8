// The configure dialog. The saver has no settings: the dialog shows its picture, name and
// version and the home page, and its result becomes the exit code of the configure mode.
#include "configure_dialog.h"

#include <shellapi.h>

#include "host_state.h"
#include "home_page.h"
#include "resource_ids.h"

// "Mirabel・%s" in code page 932: the middle dot is 0x81 0x45.
static const char CAPTION_FORMAT[] = "Mirabel\x81\x45%s";

INT_PTR show_configure_dialog(HWND owner) {
    if (!dialog_class_hook(host.instance)) return -1;
    return DialogBoxParamA(host.instance, MAKEINTRESOURCEA(IDD_CONFIGURE), owner,
                           configure_dialog_proc, 0);
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
    case WM_INITDIALOG: {
        // saver_name holds at most 40 bytes and stays empty; wsprintfA stops at 1024 anyway.
        char caption[sizeof CAPTION_FORMAT + sizeof host.saver_name];
        wsprintfA(caption, CAPTION_FORMAT, host.saver_name);
        SetWindowTextA(dialog, caption);
        return TRUE;  // the system puts the focus on the first tab stop, OK
    }
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDOK: EndDialog(dialog, 1); return TRUE;
        case IDCANCEL: EndDialog(dialog, 2); return TRUE;
        case IDC_CONNECT: open_home_page(dialog); return FALSE;
        default: return FALSE;
        }
    default: return FALSE;
    }
}
