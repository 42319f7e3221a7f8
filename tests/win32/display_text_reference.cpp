// Paints what the saver's error line must look like: a black full-screen popup with one line of
// Unicode text at the saver's place (client width / 2 - 80, client height / 2), in the default
// colours, as a Japanese system shows it: in the system font's size and shape, from the one
// Japanese font the test machine has (IPAGothic, Debian's fonts-ipafont-gothic). Under a Japanese
// locale that is the system font itself; under any other the saver must reach the same glyphs.
// Prints "face=<the font used>" so that a missing font cannot pass unnoticed.
//
//   display_text_reference setup    "DirectDraw初期化エラー"
//   display_text_reference colors   "必要表示色（256以上） "
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

static const wchar_t* text = L"DirectDraw初期化エラー";

static LRESULT CALLBACK reference_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        LOGFONTW shape = {};
        GetObjectW(GetStockObject(SYSTEM_FONT), sizeof shape, &shape);
        shape.lfCharSet = SHIFTJIS_CHARSET;
        std::wcscpy(shape.lfFaceName, L"IPAGothic");
        HFONT font = CreateFontIndirectW(&shape);
        HGDIOBJ previous = SelectObject(dc, font);
        char face[LF_FACESIZE] = "";
        GetTextFaceA(dc, sizeof face, face);
        std::printf("face=%s\n", face);
        std::fflush(stdout);
        TextOutW(dc, client.right / 2 - 80, client.bottom / 2, text, static_cast<int>(std::wcslen(text)));
        SelectObject(dc, previous);
        DeleteObject(font);
        EndPaint(window, &paint);
        return 0;
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, wparam, lparam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
    if (std::strstr(command_line, "colors") != nullptr) text = L"必要表示色（256以上） ";
    WNDCLASSA window_class = {};
    window_class.style = CS_OWNDC;
    window_class.lpfnWndProc = reference_proc;
    window_class.hInstance = instance;
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    window_class.lpszClassName = "DisplayTextReference";
    RegisterClassA(&window_class);
    CreateWindowExA(WS_EX_TOPMOST, "DisplayTextReference", "Text reference", WS_POPUP | WS_VISIBLE,
                    0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr,
                    nullptr, instance, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}
