// Resource identifiers shared by the resource script and the code.
#pragma once

#define IDI_SANDGLASS 102          // the program's only icon group
#define IDB_PREVIEW 103            // 160 x 120 picture of the saver, 8 bits per pixel
#define IDD_CONFIGURE 2003         // the configure dialog
#define IDC_CONNECT 1003           // the dialog's button that opens the home page
#define IDC_FRAME_FILL 1004        // the dialog's check box: the frame fills the screen
