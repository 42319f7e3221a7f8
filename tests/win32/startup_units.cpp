// Start-up's text handling, the Japanese texts, and the compiled resources of the dialog and the
// icon, checked in the linked Windows program itself (the template as the resource compiler
// wrote it, not as the script reads); the version and the manifest read from sandglass.scr as
// Windows reads them.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "home_page.h"
#include "japanese_text.h"
#include "product_version.h"
#include "resource_ids.h"
#include "start_up.h"

namespace {

// --- command line ---------------------------------------------------------------------------

TEST(ParseDecimal, ReadsLeadingDigitsOnly) {
    EXPECT_EQ(parse_decimal(""), 0u);
    EXPECT_EQ(parse_decimal("0"), 0u);
    EXPECT_EQ(parse_decimal("123abc"), 123u);
    EXPECT_EQ(parse_decimal("65636 99"), 65636u);
    EXPECT_EQ(parse_decimal(" 12"), 0u);  // no space is skipped
    EXPECT_EQ(parse_decimal("-5"), 0u);   // no sign is read
    EXPECT_EQ(parse_decimal("+5"), 0u);
    EXPECT_EQ(parse_decimal("x1"), 0u);
}

TEST(ParseDecimal, WrapsAt32Bits) {
    EXPECT_EQ(parse_decimal("4294967295"), 0xFFFFFFFFu);
    EXPECT_EQ(parse_decimal("4294967296"), 0u);
    EXPECT_EQ(parse_decimal("4294967297"), 1u);
    EXPECT_EQ(parse_decimal("12345678901"), 3755744309u);
    EXPECT_EQ(parse_decimal("99999999999999999999"), 1661992959u);
}

TEST(SkipProgramName, FindsTheTail) {
    struct Case {
        const char* line;
        const char* tail;
    };
    const Case cases[] = {
        {"sandglass.scr /s", "/s"},
        {"sandglass.scr", ""},
        {"", ""},
        {"sandglass.scr/s", ""},                              // glued: part of the name
        {"\"C:\\Program Files\\sandglass.scr\" /p 12", "/p 12"},  // quoted, spaces inside
        {"\"C:\\a b\\sandglass.scr\"/c:5", "/c:5"},           // closing quote ends the name
        {"\"C:\\a b\\sandglass.scr /s", ""},                  // never closed: the whole line
        {"\"\"  /s", "/s"},
        {"sandglass.scr \t\x01\x1f /s \t", "/s \t"},          // 0x01..0x20 skipped, then no more
        {"sand\xe9.scr /s", "/s"},                            // bytes from 0x80 belong to the name
        {"sandglass.scr \x80/s", "\x80/s"},
    };
    for (const Case& c : cases) EXPECT_STREQ(skip_program_name(c.line), c.tail) << c.line;
}

TEST(ParseModeRequest, EveryLineReadsOneModeAndItsHandle) {
    struct Case {
        const char* tail;
        ModeKind kind;
        UINT handle;
    };
    const Case cases[] = {
        {"", MODE_CONFIGURE, 0},
        {"   ", MODE_CONFIGURE, 0},
        {"/", MODE_CONFIGURE, 0},
        {"/s", MODE_SAVER, 0},
        {"-S", MODE_SAVER, 0},
        {"s", MODE_SAVER, 0},
        {"//s", MODE_SAVER, 0},
        {"/ s", MODE_SAVER, 0},
        {"/s:123", MODE_SAVER, 0},
        {"-/ -/S trailing", MODE_SAVER, 0},
        {"/p 1234", MODE_PREVIEW, 1234},
        {"/l 1234", MODE_PREVIEW, 1234},
        {"/P       77", MODE_PREVIEW, 77},
        {"/p1234", MODE_PREVIEW, 1234},
        {"/p", MODE_PREVIEW, 0},
        {"/p 0", MODE_PREVIEW, 0},
        {"/p abc", MODE_PREVIEW, 0},
        {"/p\t12", MODE_PREVIEW, 0},              // only spaces come before the handle
        {"/p 4294967297", MODE_PREVIEW, 1},        // wraps at 32 bits
        {"/c", MODE_CONFIGURE_OWNED, 0},
        {"/c:5678", MODE_CONFIGURE_OWNED, 5678},
        {"/C:5678 x", MODE_CONFIGURE_OWNED, 5678},
        {"/c 5678", MODE_CONFIGURE_OWNED, 0},      // the handle needs the colon
        {"/c: 5678", MODE_CONFIGURE_OWNED, 0},
        {"/a 99", MODE_PASSWORD, 99},
        {"A", MODE_PASSWORD, 0},
        {"/x", MODE_NONE, 0},
        {"/5", MODE_NONE, 0},
        {"/\ts", MODE_NONE, 0},                   // a tab is no separator
        {"/\xe9", MODE_NONE, 0},                  // nor any byte from 0x80 up
        {"\"/s\"", MODE_NONE, 0},
    };
    for (const Case& c : cases) {
        const ModeRequest request = parse_mode_request(c.tail);
        EXPECT_EQ(request.kind, c.kind) << c.tail;
        EXPECT_EQ(request.handle, c.handle) << c.tail;
    }
}

// --- resources ------------------------------------------------------------------------------

// Reads a resource's bytes, in the given language when lang is not neutral.
std::vector<BYTE> resource_bytes(LPCSTR type, int id, WORD lang = LANG_NEUTRAL) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = lang == LANG_NEUTRAL ? FindResourceA(module, MAKEINTRESOURCEA(id), type)
                                       : FindResourceExA(module, type, MAKEINTRESOURCEA(id), lang);
    if (!found) return {};
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    return std::vector<BYTE>(data, data + SizeofResource(module, found));
}

// A cursor over a template: little-endian fields, Unicode strings, ordinals.
struct Reader {
    const std::vector<BYTE>& bytes;
    size_t at = 0;

    WORD word() {
        WORD value = 0;
        if (at + 2 <= bytes.size()) std::memcpy(&value, &bytes[at], 2);
        at += 2;
        return value;
    }
    DWORD dword() {
        DWORD low = word();
        return low | (static_cast<DWORD>(word()) << 16);
    }
    // A string, or "#n" for the ordinal n.
    std::wstring text() {
        WORD first = word();
        if (first == 0xFFFF) return L"#" + std::to_wstring(word());
        std::wstring out;
        for (WORD c = first; c != 0; c = word()) out += static_cast<wchar_t>(c);
        return out;
    }
    void align() { at = (at + 3) & ~size_t{3}; }
};

struct Control {
    std::wstring window_class;
    DWORD id;
    std::wstring text;
    DWORD style;
    DWORD ex_style;
    short x, y, cx, cy;
};

TEST(ConfigureDialog, FrameOfTheJapaneseTemplate) {
    std::vector<BYTE> bytes =
        resource_bytes(RT_DIALOG, IDD_CONFIGURE, MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    ASSERT_FALSE(bytes.empty()) << "no Japanese dialog 2003";
    Reader in{bytes};
    EXPECT_EQ(in.word(), 1);       // extended template
    EXPECT_EQ(in.word(), 0xFFFF);
    EXPECT_EQ(in.dword(), 0u);     // help id
    EXPECT_EQ(in.dword(), 0u);     // extended style
    EXPECT_EQ(in.dword(), 0x80C808C0u);
    EXPECT_EQ(in.word(), 8);       // controls
    EXPECT_EQ(static_cast<short>(in.word()), 0);
    EXPECT_EQ(static_cast<short>(in.word()), 0);
    EXPECT_EQ(in.word(), 292);
    EXPECT_EQ(in.word(), 147);
    EXPECT_EQ(in.text(), L"");     // menu
    EXPECT_EQ(in.text(), L"");     // default class
    EXPECT_EQ(in.text(), L"");     // caption, set at run time
    EXPECT_EQ(in.word(), 9);       // points
    EXPECT_EQ(in.word(), 0);       // weight
    EXPECT_EQ(in.word(), 0x0100);  // not italic, character set 1
    EXPECT_EQ(in.text(), L"\xFF2D\xFF33 \x30B4\x30B7\x30C3\x30AF");  // ＭＳ ゴシック
}

TEST(ConfigureDialog, EveryControlInTemplateOrder) {
    std::vector<BYTE> bytes =
        resource_bytes(RT_DIALOG, IDD_CONFIGURE, MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    ASSERT_FALSE(bytes.empty());
    Reader in{bytes};
    in.at = 26;
    for (int i = 0; i < 3; ++i) in.text();
    in.at += 6;
    in.text();
    const std::wstring url(HOME_PAGE_URL, HOME_PAGE_URL + std::strlen(HOME_PAGE_URL));
    const Control expected[] = {
        {L"#128", 1, L"OK", 0x50010001, 0, 122, 116, 46, 14},
        {L"#130", 0xFFFFFFFF, L"#103", 0x5000080E, 0x1, 7, 6, 111, 84},
        {L"#130", 0xFFFFFFFF, L"#102", 0x50000003, 0, 7, 119, 21, 21},
        {L"#128", 1003, L"\x63A5\x7D9A", 0x50010000, 0, 252, 76, 33, 14},  // 接続
        {L"#130", 0xFFFFFFFF, L"Mirabel\nTessaly ver1.1", 0x50020001, 0, 124, 28, 161, 21},
        {L"#130", 0xFFFFFFFF, url, 0x50020201, 0x20000, 123, 75, 125, 13},
        {L"#130", 0xFFFFFFFF, L"", 0x50020001, 0, 7, 97, 278, 12},  // the notice: any text
        // 画面いっぱいに拡大する, an automatic check box
        {L"#128", 1004, L"\x753B\x9762\x3044\x3063\x3071\x3044\x306B\x62E1\x5927\x3059\x308B",
         0x50010003, 0, 155, 55, 106, 12},
    };
    for (const Control& want : expected) {
        SCOPED_TRACE(testing::Message() << "control " << (&want - expected) + 1);
        in.align();
        ASSERT_LT(in.at, bytes.size());
        EXPECT_EQ(in.dword(), 0u);  // help id
        EXPECT_EQ(in.dword(), want.ex_style);
        EXPECT_EQ(in.dword(), want.style);
        EXPECT_EQ(static_cast<short>(in.word()), want.x);
        EXPECT_EQ(static_cast<short>(in.word()), want.y);
        EXPECT_EQ(static_cast<short>(in.word()), want.cx);
        EXPECT_EQ(static_cast<short>(in.word()), want.cy);
        EXPECT_EQ(in.dword(), want.id);
        EXPECT_EQ(in.text(), want.window_class);
        std::wstring text = in.text();
        if (want.text.empty()) EXPECT_FALSE(text.empty());
        else EXPECT_EQ(text, want.text);
        EXPECT_EQ(in.word(), 0);  // no creation data
    }
    EXPECT_LE(in.at, bytes.size());
}

BOOL CALLBACK count_name(HMODULE, LPCSTR, LPSTR, LONG_PTR count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

TEST(Icon, OneGroupOfPaletteImagesForOldSystemsAndAlphaImagesForNewOnes) {
    // The program's only icon group; there is no icon 100 for the window class.
    int groups = 0;
    EnumResourceNamesA(GetModuleHandleA(nullptr), RT_GROUP_ICON, count_name,
                       reinterpret_cast<LONG_PTR>(&groups));
    EXPECT_EQ(groups, 1);
    EXPECT_TRUE(resource_bytes(RT_GROUP_ICON, 100).empty());

    struct Image {
        int size;
        int colours;  // as the directory counts them: 0 for 256 and for none
        int bits;
        bool png;
    };
    const Image expected[] = {{32, 16, 4, false}, {32, 0, 8, false}, {16, 16, 4, false},
                              {16, 0, 32, false}, {24, 0, 32, false}, {32, 0, 32, false},
                              {48, 0, 32, false}, {256, 0, 32, true}};
    const size_t count = sizeof expected / sizeof expected[0];
    std::vector<BYTE> group = resource_bytes(RT_GROUP_ICON, IDI_SANDGLASS);
    ASSERT_EQ(group.size(), 6u + count * 14);
    Reader in{group};
    EXPECT_EQ(in.word(), 0);
    EXPECT_EQ(in.word(), 1);  // icons
    EXPECT_EQ(in.word(), count);
    for (const Image& want : expected) {
        SCOPED_TRACE(testing::Message() << "image " << (&want - expected) + 1);
        BYTE width = group[in.at];
        BYTE height = group[in.at + 1];
        BYTE colours = group[in.at + 2];
        in.at += 4;
        EXPECT_EQ(width, want.size % 256);  // 256 is written as 0
        EXPECT_EQ(height, want.size % 256);
        EXPECT_EQ(colours, want.colours);
        EXPECT_EQ(in.word(), 1);  // planes
        EXPECT_EQ(in.word(), want.bits);
        DWORD size = in.dword();
        WORD id = in.word();
        std::vector<BYTE> image = resource_bytes(RT_ICON, id);
        ASSERT_EQ(image.size(), size);
        // What Windows makes of the image: an icon of that size, with a colour bitmap of
        // 32-bit images whose alpha shows the picture on a transparent ground.
        HICON icon = CreateIconFromResourceEx(image.data(), size, TRUE, 0x00030000, want.size,
                                              want.size, LR_DEFAULTCOLOR);
        ASSERT_NE(icon, nullptr);
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP colour = {};
        GetObjectA(info.hbmColor, sizeof colour, &colour);
        EXPECT_EQ(colour.bmWidth, want.size);
        EXPECT_EQ(colour.bmHeight, want.size);
        if (want.bits == 32) {
            std::vector<DWORD> pixels(static_cast<size_t>(want.size) * want.size);
            BITMAPINFO top_down = {};
            top_down.bmiHeader.biSize = sizeof top_down.bmiHeader;
            top_down.bmiHeader.biWidth = want.size;
            top_down.bmiHeader.biHeight = -want.size;
            top_down.bmiHeader.biPlanes = 1;
            top_down.bmiHeader.biBitCount = 32;
            HDC screen = GetDC(nullptr);
            GetDIBits(screen, info.hbmColor, 0, want.size, pixels.data(), &top_down, DIB_RGB_COLORS);
            ReleaseDC(nullptr, screen);
            int opaque = 0, clear = 0, between = 0;
            for (DWORD pixel : pixels) {
                const DWORD alpha = pixel >> 24;
                if (alpha == 255) ++opaque;
                else if (alpha == 0) ++clear;
                else ++between;
            }
            EXPECT_EQ(pixels.front() >> 24, 0u) << "the corner shows the ground";
            EXPECT_GT(opaque, want.size * want.size / 8) << "the hourglass itself";
            EXPECT_GT(clear, want.size * want.size / 4);
            if (want.size < 256) {
                EXPECT_GT(between, 0) << "soft edges or the tinted glass";
            }
        }
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
        if (want.png) {
            ASSERT_GE(image.size(), 8u);
            EXPECT_EQ(std::memcmp(image.data(), "\x89PNG\r\n\x1a\n", 8), 0);
            continue;
        }
        BITMAPINFOHEADER header;
        ASSERT_GE(image.size(), sizeof header);
        std::memcpy(&header, image.data(), sizeof header);
        EXPECT_EQ(header.biWidth, want.size);
        EXPECT_EQ(header.biHeight, 2 * want.size);  // colour rows and mask rows
        EXPECT_EQ(header.biBitCount, want.bits);
        EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
        const size_t row = ((want.size * want.bits + 31) / 32) * 4;
        const size_t mask_row = ((want.size + 31) / 32) * 4;
        const size_t palette = want.bits <= 8 ? 4 * (1u << want.bits) : 0;
        EXPECT_EQ(image.size(), 40 + palette + (row + mask_row) * want.size);
    }
}

// The small images are the simple hourglass: a cap on top and at the bottom, the glass between
// narrowing to its neck in the middle, symmetric about the middle column.
TEST(Icon, SmallImagesReadAsAnHourglass) {
    for (int size : {16, 24}) {
        SCOPED_TRACE(size);
        HICON icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_SANDGLASS),
                                                   IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
        ASSERT_NE(icon, nullptr);
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        std::vector<DWORD> pixels(static_cast<size_t>(size) * size);
        BITMAPINFO top_down = {};
        top_down.bmiHeader.biSize = sizeof top_down.bmiHeader;
        top_down.bmiHeader.biWidth = size;
        top_down.bmiHeader.biHeight = -size;
        top_down.bmiHeader.biPlanes = 1;
        top_down.bmiHeader.biBitCount = 32;
        HDC screen = GetDC(nullptr);
        GetDIBits(screen, info.hbmColor, 0, size, pixels.data(), &top_down, DIB_RGB_COLORS);
        ReleaseDC(nullptr, screen);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
        // The width of what is shown, row by row.
        std::vector<int> width(size, 0);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const bool shown = (pixels[static_cast<size_t>(y) * size + x] >> 24) != 0;
                const bool mirror = (pixels[static_cast<size_t>(y) * size + size - 1 - x] >> 24) != 0;
                EXPECT_EQ(shown, mirror) << x << "," << y;
                width[y] += shown;
            }
        const int cap = width[0];
        EXPECT_GE(cap, size / 2);
        EXPECT_EQ(width[size - 1], cap);
        const int neck = *std::min_element(width.begin(), width.end());
        EXPECT_EQ(neck, 2) << "the neck: the glass's two sides";
        const int middle = static_cast<int>(std::min_element(width.begin(), width.end()) - width.begin());
        EXPECT_NEAR(middle, size / 2, 1);
        EXPECT_GT(*std::max_element(width.begin() + size / 4, width.begin() + size / 2 - 1), 3 * neck)
            << "an upper bulb";
        EXPECT_GT(*std::max_element(width.begin() + size / 2 + 1, width.end() - size / 4), 3 * neck)
            << "a lower bulb";
    }
}

// --- Japanese texts -------------------------------------------------------------------------

// The texts as a Japanese system showed them through the ANSI functions: Shift-JIS bytes. The
// Unicode texts shown now are exactly what code page 932 makes of them, both ways.
TEST(JapaneseTexts, AreTheShiftJisTextsOfAJapaneseSystem) {
    const struct {
        const wchar_t* shown;
        const char* shift_jis;
    } cases[] = {
        {CAPTION_FORMAT, "Mirabel\x81\x45%s"},
        {TOO_FEW_COLORS_TEXT, "\x95\x4b\x97\x76\x95\x5c\x8e\xa6\x90\x46\x81\x69" "256"
                              "\x88\xc8\x8f\xe3\x81\x6a" " "},
        {SETUP_FAILED_TEXT, "DirectDraw" "\x8f\x89\x8a\xfa\x89\xbb\x83\x47\x83\x89\x81\x5b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shift_jis);
        wchar_t decoded[64] = L"";
        ASSERT_GT(MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, c.shift_jis, -1, decoded, 64), 0);
        EXPECT_EQ(std::wstring(decoded), std::wstring(c.shown));
        char encoded[64] = "";
        BOOL lossy = FALSE;
        ASSERT_GT(WideCharToMultiByte(932, 0, c.shown, -1, encoded, sizeof encoded, nullptr, &lossy), 0);
        EXPECT_FALSE(lossy);
        EXPECT_EQ(std::string(encoded), std::string(c.shift_jis));
    }
    // The error lines keep the 22 bytes they had.
    EXPECT_EQ(WideCharToMultiByte(932, 0, TOO_FEW_COLORS_TEXT, -1, nullptr, 0, nullptr, nullptr), 23);
    EXPECT_EQ(WideCharToMultiByte(932, 0, SETUP_FAILED_TEXT, -1, nullptr, 0, nullptr, nullptr), 23);
}

// --- the saver file's version and manifest ----------------------------------------------------

// The ANSI form of a Unicode text (the version's strings and the manifest's are ASCII).
std::string narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::wstring saver_path() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring here(path, length);
    return here.substr(0, here.find_last_of(L'\\') + 1) + L"sandglass.scr";
}

TEST(SaverFile, VersionResourceAgreesWithTheDialog) {
    const std::wstring path = saver_path();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource in sandglass.scr";
    std::vector<BYTE> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010001u);  // 1.1
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010001u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    DWORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(*translation, 0x04B00411u);  // Japanese, Unicode

    // The dialog's second line names the product and its version: "Tessaly ver1.1".
    std::vector<BYTE> dialog =
        resource_bytes(RT_DIALOG, IDD_CONFIGURE, MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    const std::wstring name_lines = L"Mirabel\nTessaly ver1.1";
    ASSERT_NE(std::search(dialog.begin(), dialog.end(), reinterpret_cast<const BYTE*>(name_lines.c_str()),
                          reinterpret_cast<const BYTE*>(name_lines.c_str() + name_lines.size())),
              dialog.end());
    const struct {
        const wchar_t* name;
        std::wstring value;
    } strings[] = {
        {L"CompanyName", L"Mirabel"},
        {L"ProductName", L"Tessaly"},
        {L"FileVersion", L"1.1"},
        {L"ProductVersion", L"1.1"},
        {L"FileDescription", L"\x7802\x6642\x8A08\x30B9\x30AF\x30EA\x30FC\x30F3\x30BB\x30FC\x30D0\x30FC"
                             L"\x300CTessaly\x300D"},  // 砂時計スクリーンセーバー「Tessaly」
        {L"OriginalFilename", L"sandglass.scr"},
    };
    for (const auto& want : strings) {
        wchar_t* value = nullptr;
        const std::wstring key = std::wstring(L"\\StringFileInfo\\041104B0\\") + want.name;
        ASSERT_TRUE(VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &length))
            << narrow(want.name);
        EXPECT_EQ(std::wstring(value), want.value) << narrow(want.name);
    }
    // The build's one version, the one the installer names its files with.
    EXPECT_EQ(std::string(PRODUCT_VERSION_TEXT), "1.1");
}

// The manifest as Windows' activation contexts read it from the file's resource 1.
TEST(SaverFile, ManifestAsksForDpiAwarenessAndNoElevation) {
    const std::wstring path = saver_path();
    ACTCTXW request = {};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path.c_str();
    request.lpResourceName = MAKEINTRESOURCEW(1);
    HANDLE context = CreateActCtxW(&request);
    ASSERT_NE(context, INVALID_HANDLE_VALUE) << "no manifest Windows can read: " << GetLastError();

    const struct {
        const wchar_t* space;
        const wchar_t* name;
        const wchar_t* value;
    } settings[] = {
        {L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness", L"PerMonitorV2, PerMonitor"},
        {L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware", L"true/pm"},
    };
    for (const auto& want : settings) {
        wchar_t value[64] = L"";
        SIZE_T written = 0;
        EXPECT_TRUE(QueryActCtxSettingsW(0, context, want.space, want.name, value, 64, &written))
            << narrow(want.name);
        EXPECT_EQ(std::wstring(value), want.value);
    }

    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION run_level = {};
    ASSERT_TRUE(QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext, &run_level,
                             sizeof run_level, nullptr));
    EXPECT_EQ(run_level.RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
    EXPECT_FALSE(run_level.UiAccess);

    // Vista, 7, 8, 8.1 and 10 (the last covers 11). Newer systems add a 64-bit field to each
    // element, which aligns the elements to 8 bytes: the layout follows from the size written.
    BYTE buffer[1024] = {};
    SIZE_T written = 0;
    ASSERT_TRUE(QueryActCtxW(0, context, nullptr, CompatibilityInformationInActivationContext, buffer,
                             sizeof buffer, &written));
    DWORD count = 0;
    std::memcpy(&count, buffer, sizeof count);
    ASSERT_EQ(count, 5u);
    const size_t first = (written - 4) % count == 0 ? 4 : 8;
    const size_t stride = (written - first) / count;
    ASSERT_GE(stride, sizeof(COMPATIBILITY_CONTEXT_ELEMENT));
    const DWORD first_words[] = {0xe2011457, 0x35138b9a, 0x4a2f28e3, 0x1f676c76, 0x8e0f7a12};
    for (DWORD i = 0; i < count; ++i) {
        COMPATIBILITY_CONTEXT_ELEMENT element;
        std::memcpy(&element, buffer + first + i * stride, sizeof element);
        EXPECT_EQ(element.Type, ACTCTX_COMPATIBILITY_ELEMENT_TYPE_OS);
        EXPECT_EQ(element.Id.Data1, first_words[i]);
    }
    ReleaseActCtx(context);
}

}  // namespace
