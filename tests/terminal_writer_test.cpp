// What each console byte becomes on the way to a terminal.
#include "runtime/linux/terminal_writer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string translated(const std::string& bytes) {
    std::string out;
    char form[kTermMaxForm];
    for (const char c : bytes)
        out.append(form, term_translate(static_cast<unsigned char>(c), form));
    return out;
}

std::string glyph(unsigned char code) {
    return std::string("\x1b%G\xef\x80") + static_cast<char>(code) + "\x1b%@";
}

TEST(TerminalTranslation, SpecialBytes) {
    const struct {
        std::string in;
        std::string out;
    } rows[] = {
        {std::string("A\0B", 3), "A B"},
        {"\x1b", "\x1b%G\xef\x80\x9b\x1b%@"},
        {"\x08", "\x1b%G\xef\x80\x88\x1b%@"},
        {"\x0c\x0e\x0f", glyph(0x8C) + glyph(0x8E) + glyph(0x8F)},
        {"\x07\x09\x0a\x0d", "\x07\x09\x0a\x0d"},
        {"\x1b[6n", glyph(0x9B) + "[6n"},  // output can never form a sequence
        {"\x7f\x80\x9b\xff", "\x7f\x80\x9b\xff"},
    };
    for (const auto& row : rows) EXPECT_EQ(translated(row.in), row.out);
}

}  // namespace
