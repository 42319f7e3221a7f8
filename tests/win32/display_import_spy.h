// Points one of this program's import slots at a test's own function, keeping the original to be
// called through: the slot is the one that holds the address `dll` exports under `name`.
#pragma once

#include <windows.h>

template <typename Fn>
bool redirect_import(const char* dll, const char* name, Fn spy, Fn& original) {
    if (original != nullptr) return true;  // done already
    HMODULE module = GetModuleHandleA(dll);
    const FARPROC exported = module != nullptr ? GetProcAddress(module, name) : nullptr;
    if (exported == nullptr) return false;
    BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* first = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
    for (auto* from = first; from->Name != 0; ++from) {
        for (auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + from->FirstThunk);
             slot->u1.Function != 0; ++slot) {
            if (slot->u1.Function != reinterpret_cast<DWORD_PTR>(exported)) continue;
            original = reinterpret_cast<Fn>(slot->u1.Function);
            DWORD_PTR* const entry = &slot->u1.Function;
            DWORD protection;
            VirtualProtect(entry, sizeof *entry, PAGE_READWRITE, &protection);
            *entry = reinterpret_cast<DWORD_PTR>(spy);
            VirtualProtect(entry, sizeof *entry, protection, &protection);
            return true;
        }
    }
    return false;
}
