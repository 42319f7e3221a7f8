// The Japanese texts and their drawing (see japanese_text.h).
#include "japanese_text.h"

const wchar_t CAPTION_FORMAT[] = L"Mirabel\x30FB%s";
const wchar_t TOO_FEW_COLORS_TEXT[] = L"\x5FC5\x8981\x8868\x793A\x8272\xFF08" L"256" L"\x4EE5\x4E0A\xFF09 ";
const wchar_t SETUP_FAILED_TEXT[] = L"DirectDraw\x521D\x671F\x5316\x30A8\x30E9\x30FC";

void text_out_japanese(HDC dc, int x, int y, const wchar_t* text) {
    const int length = lstrlenW(text);
    if (GetTextCharset(dc) == SHIFTJIS_CHARSET) {
        TextOutW(dc, x, y, text, length);
        return;
    }
    LOGFONTW shape = {};
    GetObjectW(GetCurrentObject(dc, OBJ_FONT), sizeof shape, &shape);
    shape.lfCharSet = SHIFTJIS_CHARSET;
    HFONT japanese = CreateFontIndirectW(&shape);
    HGDIOBJ previous = japanese != nullptr ? SelectObject(dc, japanese) : nullptr;
    TextOutW(dc, x, y, text, length);
    if (japanese != nullptr) {
        SelectObject(dc, previous);
        DeleteObject(japanese);
    }
}
