// The program's entry: everything happens in start_host, which ends the process itself.
#include <windows.h>

#include "start_up.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    start_host();
}
