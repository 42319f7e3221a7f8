// Prints the images of an icon, one line each, "WIDTHxHEIGHT BYTES HASH" (the FNV-1a hash of the
// image's bytes), from an .ico file or from the first icon group of a program, so that a script
// can check that a program carries exactly the images of the icon it was built from.
// Exit code 0 after printing at least one image, 1 otherwise.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

unsigned word_at(const BYTE* p) { return p[0] | p[1] << 8; }
unsigned long dword_at(const BYTE* p) { return word_at(p) | static_cast<unsigned long>(word_at(p + 2)) << 16; }

void print_image(unsigned width, unsigned height, const BYTE* bytes, unsigned long size) {
    unsigned long hash = 2166136261ul;
    for (unsigned long i = 0; i < size; ++i) hash = ((hash ^ bytes[i]) * 16777619ul) & 0xFFFFFFFFul;
    // A directory's 0 means 256.
    std::printf("%ux%u %lu %08lx\n", width ? width : 256, height ? height : 256, size, hash);
}

// An .ico file: a directory of 16-byte entries, each with its image's size and offset.
int print_file(const char* path) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return 1;
    std::vector<BYTE> data;
    BYTE chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) data.insert(data.end(), chunk, chunk + got);
    std::fclose(file);
    if (data.size() < 6) return 1;
    unsigned count = word_at(&data[4]);
    if (6 + 16 * count > data.size()) return 1;
    for (unsigned i = 0; i < count; ++i) {
        const BYTE* entry = &data[6 + 16 * i];
        unsigned long size = dword_at(entry + 8), offset = dword_at(entry + 12);
        if (offset + size > data.size()) return 1;
        print_image(entry[0], entry[1], &data[offset], size);
    }
    return count ? 0 : 1;
}

BOOL CALLBACK first_name(HMODULE, LPCSTR, LPSTR name, LONG_PTR found) {
    *reinterpret_cast<LPSTR*>(found) = name;
    return FALSE;
}

// A program: its first icon group, 14-byte entries naming RT_ICON resources.
int print_program(const char* path) {
    HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return 1;
    LPSTR name = nullptr;
    EnumResourceNamesA(module, RT_GROUP_ICON, first_name, reinterpret_cast<LONG_PTR>(&name));
    HRSRC group_info = name ? FindResourceA(module, name, RT_GROUP_ICON) : nullptr;
    if (!group_info) return 1;
    const BYTE* group = static_cast<const BYTE*>(LockResource(LoadResource(module, group_info)));
    unsigned count = word_at(group + 4);
    for (unsigned i = 0; i < count; ++i) {
        const BYTE* entry = group + 6 + 14 * i;
        HRSRC image_info = FindResourceA(module, MAKEINTRESOURCEA(word_at(entry + 12)), RT_ICON);
        if (!image_info) return 1;
        const BYTE* image = static_cast<const BYTE*>(LockResource(LoadResource(module, image_info)));
        print_image(entry[0], entry[1], image, SizeofResource(module, image_info));
    }
    return count ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 1;
    size_t length = std::strlen(argv[1]);
    bool ico = length > 4 && lstrcmpiA(argv[1] + length - 4, ".ico") == 0;
    return ico ? print_file(argv[1]) : print_program(argv[1]);
}
