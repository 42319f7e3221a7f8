// Looks up a function of a module loaded at run time as the type the caller expects.
#pragma once

#ifdef _WIN32
#include <windows.h>

// GetProcAddress gives a generic function pointer; the cast goes through void (*)(), the one
// function type that converts to any other without a warning.
template <typename Function>
Function find_proc(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}
#endif
