// The Japanese texts the program shows, held as UTF-16 for the Unicode functions so that they
// read the same on every system, whatever its ANSI code page. On a Japanese system (code page
// 932) they are exactly the Shift-JIS texts shown there through the ANSI functions before.
#pragma once

#ifdef _WIN32
#include <windows.h>

// The configure dialog's caption: the maker's name, the middle dot, the saver's name.
extern const wchar_t CAPTION_FORMAT[];       // "Mirabel・%s"
// The line a failed display set-up paints instead of the animation.
extern const wchar_t TOO_FEW_COLORS_TEXT[];  // "必要表示色（256以上） " (ends in one space)
extern const wchar_t SETUP_FAILED_TEXT[];    // "DirectDraw初期化エラー"

// TextOutW in the device context's font; where that font has no Japanese characters (its
// character set is not Shift-JIS, as on a Western system), in the same font asked for with the
// Shift-JIS character set, so that the font mapper picks one that has them.
void text_out_japanese(HDC dc, int x, int y, const wchar_t* text);
#endif
