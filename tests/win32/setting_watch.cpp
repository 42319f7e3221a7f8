// Runs the command line in the environment variable WATCH_COMMAND exactly as written (as the
// system runs a registered command) and reports the system-parameter changes broadcast meanwhile:
// a hidden top-level window (broadcasts reach hidden windows too) prints one line per
// WM_SETTINGCHANGE,
//   setting N        (N the SystemParametersInfo action in decimal)
// until the command and every process it started have ended (a job holds them all: an
// uninstaller runs on from a copy of itself), then
//   exit 0xXXXXXXXX  (the command's own exit code, all 32 bits)
// Exit code 0 when the command could be run, 1 otherwise.
#include <windows.h>

#include <cstdio>

namespace {

LRESULT CALLBACK watch_proc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_SETTINGCHANGE) {
        std::printf("setting %lu\n", static_cast<unsigned long>(w));
        std::fflush(stdout);
        return 0;
    }
    return DefWindowProcA(window, message, w, l);
}

bool job_empty(HANDLE job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info;
    if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info,
                                   nullptr)) {
        return true;
    }
    return info.ActiveProcesses == 0;
}

}  // namespace

int main() {
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = watch_proc;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = "SettingWatch";
    RegisterClassA(&window_class);
    HWND window = CreateWindowA("SettingWatch", "SettingWatch", WS_OVERLAPPED, 0, 0, 10, 10,
                                nullptr, nullptr, window_class.hInstance, nullptr);
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (!window || !job) {
        std::printf("no window or job\n");
        return 1;
    }

    STARTUPINFOA start = {};
    start.cb = sizeof start;
    PROCESS_INFORMATION process = {};
    static char line[4096];
    if (!GetEnvironmentVariableA("WATCH_COMMAND", line, sizeof line)) {
        std::printf("no WATCH_COMMAND\n");
        return 1;
    }
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        nullptr, &start, &process)) {
        std::printf("cannot run: %s (error %lu)\n", line, GetLastError());
        return 1;
    }
    AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(process.hThread);

    // Messages are handled while waiting: a broadcast is sent, so its sender waits for this
    // window, and every change is printed before the process that made it can end.
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0 && job_empty(job)) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    std::printf("exit 0x%08lX\n", static_cast<unsigned long>(code));
    return 0;
}
