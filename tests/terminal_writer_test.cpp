// What each console byte becomes on the way to a terminal.
#include "runtime/linux/terminal_writer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string translated(const std::string& bytes, bool utf8) {
    std::string out;
    char form[kTermMaxForm];
    for (const char c : bytes)
        out.append(form, term_translate(static_cast<unsigned char>(c), form, utf8));
    return out;
}

// U+F000 + code in UTF-8, between the character set switches.
std::string glyph(const std::string& utf8_bytes) {
    return "\x1b%G" + utf8_bytes + "\x1b%@";
}

TEST(TerminalTranslation, SpecialBytes) {
    const struct {
        std::string in;
        std::string out;       // any other locale
        std::string out_utf8;  // a UTF-8 locale
    } rows[] = {
        {std::string("A\0B", 3), "A B", "A B"},
        {"\x1b", "\x1b%G\xef\x80\x9b\x1b%@", "\xef\x80\x9b"},
        {"\x08", "\x1b%G\xef\x80\x88\x1b%@", "\xef\x80\x88"},
        {"\x0c\x0e\x0f", glyph("\xef\x80\x8c") + glyph("\xef\x80\x8e") + glyph("\xef\x80\x8f"),
         "\xef\x80\x8c\xef\x80\x8e\xef\x80\x8f"},
        {"\x07\x09\x0a\x0d", "\x07\x09\x0a\x0d", "\x07\x09\x0a\x0d"},
        // Output can never form a sequence.
        {"\x1b[6n", glyph("\xef\x80\x9b") + "[6n", "\xef\x80\x9b[6n"},
        // DEL is U+F07F, whose UTF-8 form reaches into the next byte.
        {"\x7f\x80\x9b\xff", glyph("\xef\x81\xbf") + "\x80\x9b\xff", "\xef\x81\xbf\x80\x9b\xff"},
        {"\x7e\x01\x1f", "\x7e\x01\x1f", "\x7e\x01\x1f"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.in));
        EXPECT_EQ(translated(row.in, false), row.out);
        EXPECT_EQ(translated(row.in, true), row.out_utf8);
    }
}

}  // namespace
