// The maker's home page: shown in the configure dialog and opened by its button. Shared by the
// resource script and the code, so that the address shown is the address opened.
#pragma once

#define HOME_PAGE_URL "https://example.org/sandglass/"
