// Escaping by hand: the C library has no function for it, and no byte may reach the
// terminal as a control.
#include "echo_text.h"

#include <cstring>

void echo_text(char* out, size_t size, const char* text) {
    static const char HEX[] = "0123456789abcdef";
    const size_t room = size - 5;  // the closing quote, "..." and the terminator
    size_t n = 0;
    out[n++] = '\'';
    for (const unsigned char* at = reinterpret_cast<const unsigned char*>(text); *at; ++at) {
        char piece[4];
        size_t length = 2;
        piece[0] = '\\';
        switch (*at) {
        case '\n': piece[1] = 'n'; break;
        case '\t': piece[1] = 't'; break;
        case '\r': piece[1] = 'r'; break;
        case '\v': piece[1] = 'v'; break;
        case '\f': piece[1] = 'f'; break;
        case '\\': piece[1] = '\\'; break;
        case '\'': piece[1] = '\''; break;
        default:
            if (*at < 0x20 || *at == 0x7f) {
                piece[1] = 'x';
                piece[2] = HEX[*at >> 4];
                piece[3] = HEX[*at & 15];
                length = 4;
            } else {
                piece[0] = static_cast<char>(*at);
                length = 1;
            }
        }
        if (n + length > room) {
            std::memcpy(out + n, "...", 3);
            n += 3;
            break;
        }
        std::memcpy(out + n, piece, length);
        n += length;
    }
    out[n++] = '\'';
    out[n] = '\0';
}
