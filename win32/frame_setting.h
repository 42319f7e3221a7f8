// The frame's size as the user chose it in the configure dialog, kept per user in the registry
// (HKCU\Software\Mirabel\Tessaly, DWORD FrameSize: FRAME_SIZE_DPI or FRAME_SIZE_FILL, see
// frame_placement.h), and the primary monitor's DPI that the default follows.
#pragma once

#ifdef _WIN32
#include <windows.h>

// The stored value; FRAME_SIZE_DPI where there is none or it cannot be read as a DWORD.
DWORD read_frame_size();

// Stores the value; false when the key cannot be made or the value not written.
bool write_frame_size(DWORD frame_size);

// The primary monitor's DPI as the program sees it; 0 where the system scales nothing for it
// (before Windows Vista, or a process that is not DPI aware).
int primary_monitor_dpi();
#endif
