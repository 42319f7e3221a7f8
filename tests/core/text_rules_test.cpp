// The rules every front-end reads outside text by: how a number typed by a user is read, and how
// a value from outside is echoed in a message.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "echo_text.h"
#include "number_text.h"

namespace {

struct NumberCase {
    const char* text;
    NumberRead whole;    // read as a whole number from 0 to 1000
    NumberRead seconds;  // read as seconds
    float value;         // the seconds read, where they were
};

// Catches a reader that takes what the C library would (signs, spaces, hexadecimal, inf, a
// trailing unit) or refuses a plain decimal, in either form: the command lines and the page
// must accept exactly the same texts.
TEST(NumberText, Table) {
    constexpr NumberRead OK = NumberRead::OK, BAD = NumberRead::MALFORMED,
                         RANGE = NumberRead::OUT_OF_RANGE;
    const NumberCase cases[] = {
        {"0", OK, OK, 0.0f},
        {"1000", OK, OK, 1000.0f},
        {"1001", RANGE, OK, 1001.0f},
        {"99999999999999999999", RANGE, OK, 1e20f},
        {"0.5", BAD, OK, 0.5f},
        {".5", BAD, OK, 0.5f},
        {"5.", BAD, OK, 5.0f},
        {"1e-3", BAD, OK, 0.001f},
        {"2E+1", BAD, OK, 20.0f},
        {"0.016666668", BAD, OK, 1.0f / 60.0f},
        {"1e39", BAD, RANGE, 0.0f},
        {"", BAD, BAD, 0.0f},
        {".", BAD, BAD, 0.0f},
        {"1e", BAD, BAD, 0.0f},
        {"-0", BAD, BAD, 0.0f},
        {"+5", BAD, BAD, 0.0f},
        {" 5", BAD, BAD, 0.0f},
        {"5 ", BAD, BAD, 0.0f},
        {"5\n", BAD, BAD, 0.0f},
        {"0x10", BAD, BAD, 0.0f},
        {"0x1p-6", BAD, BAD, 0.0f},
        {"inf", BAD, BAD, 0.0f},
        {"nan", BAD, BAD, 0.0f},
        {"1.2.3", BAD, BAD, 0.0f},
        {"5s", BAD, BAD, 0.0f},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.text);
        int64_t whole = -1;
        EXPECT_EQ(read_whole(c.text, 0, 1000, whole), c.whole);
        float seconds = -1.0f;
        EXPECT_EQ(read_seconds(c.text, seconds), c.seconds);
        if (c.seconds == NumberRead::OK) {
            EXPECT_EQ(seconds, c.value);
        }
        // The counted form reads no further than its length: a 0 byte inside is not an end.
        const std::string padded = std::string(c.text) + '\0' + "9";
        EXPECT_EQ(read_whole(padded.c_str(), padded.size(), 0, 1000, whole), NumberRead::MALFORMED);
    }
    int64_t whole = 0;
    float seconds = 0.0f;
    EXPECT_EQ(read_whole(nullptr, 0, 1, whole), NumberRead::MALFORMED);
    EXPECT_EQ(read_seconds(nullptr, seconds), NumberRead::MALFORMED);
}

struct EchoCase {
    const char* text;
    size_t size;
    const char* echoed;
};

// Catches: a value from outside that breaks the message's one line, or overruns the buffer.
TEST(EchoText, Table) {
    const EchoCase cases[] = {
        {"plain", 64, "'plain'"},
        {"5\n", 64, "'5\\n'"},
        {"a\tb\rc\vd\fe", 64, "'a\\tb\\rc\\vd\\fe'"},
        {"it's \\", 64, "'it\\'s \\\\'"},
        {"\x1b[2J\x7f", 64, "'\\x1b[2J\\x7f'"},
        {"caf\xc3\xa9", 64, "'caf\xc3\xa9'"},
        {"", 64, "''"},
        {"abcdefghij", 12, "'abcdef...'"},
        {"\n\n\n", 12, "'\\n\\n\\n'"},
        {"\n\n\n\n", 12, "'\\n\\n\\n...'"},
    };
    for (const EchoCase& c : cases) {
        SCOPED_TRACE(c.echoed);
        char out[64];
        echo_text(out, c.size, c.text);
        EXPECT_STREQ(out, c.echoed);
        EXPECT_LT(std::strlen(out), c.size);
    }
}

}  // namespace
