// Stand-in for the Windows 95 family's MPR.DLL, a test fixture: PwdChangePasswordA logs its
// arguments (provider, owner window, the two further values) and changes nothing.
//
// Log lines (see standin_log.h): "attach mpr", "detach mpr" and
//   change provider=P owner=H owner-is-window=W third=N fourth=N     (H in decimal)
#include <windows.h>

#include "standin_log.h"

extern "C" __declspec(dllexport) DWORD WINAPI PwdChangePasswordA(LPCSTR provider, HWND owner,
                                                                 DWORD third, DWORD fourth) {
    standin_log("change provider=%s owner=%lu owner-is-window=%d third=%lu fourth=%lu",
                provider ? provider : "(null)",
                static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(owner)),
                owner != nullptr && IsWindow(owner), third, fourth);
    return 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) standin_log("attach mpr");
    if (reason == DLL_PROCESS_DETACH) standin_log("detach mpr");
    return TRUE;
}
