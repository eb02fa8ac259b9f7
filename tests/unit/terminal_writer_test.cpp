// What each console byte becomes on the way to a terminal, for each character
// set the terminal may take. The forms are written out by hand: the UTF-8
// encodings of U+00A0-U+00FF and of U+F000 + byte, a stand-in, the Linux
// console's switch to UTF-8 and back. The terminal fuzz target holds every
// byte to the properties that a terminal emulation library sees.
#include "runtime/linux/terminal_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/linux/terminal_writer_seams.h"

namespace {

TEST(TerminalTranslation, PinnedForms) {
    using cs = term_charset;
    const struct {
        unsigned char byte;
        cs charset;
        std::string sent;
    } rows[] = {
        // A space for NUL, and the acting control codes as they are, everywhere.
        {0x00, cs::utf8, " "},
        {0x00, cs::console_eight_bit, " "},
        {0x07, cs::utf8, "\x07"},
        {0x09, cs::eight_bit, "\x09"},
        {0x0A, cs::console_utf8, "\x0a"},
        {0x0D, cs::console_eight_bit, "\x0d"},
        {0x41, cs::utf8, "A"},
        {0x7E, cs::eight_bit, "~"},
        // ENQ, BS, ESC, DEL and the C1 controls as U+F000 + byte.
        {0x05, cs::utf8, "\xef\x80\x85"},
        {0x08, cs::utf8, "\xef\x80\x88"},
        {0x1B, cs::console_utf8, "\xef\x80\x9b"},
        {0x7F, cs::utf8, "\xef\x81\xbf"},
        {0x80, cs::utf8, "\xef\x82\x80"},
        {0x9B, cs::utf8, "\xef\x82\x9b"},
        {0x9F, cs::console_utf8, "\xef\x82\x9f"},
        // Latin-1 on a UTF-8 terminal; the console font's own glyph on the console.
        {0xA0, cs::utf8, "\xc2\xa0"},
        {0xBF, cs::utf8, "\xc2\xbf"},
        {0xC0, cs::utf8, "\xc3\x80"},
        {0xFF, cs::utf8, "\xc3\xbf"},
        {0xA0, cs::console_utf8, "\xef\x82\xa0"},
        {0xFF, cs::console_utf8, "\xef\x83\xbf"},
        // One byte a character: a stand-in, or the glyph in UTF-8 and back on the console.
        {0x05, cs::eight_bit, "?"},
        {0x1B, cs::eight_bit, "?"},
        {0x9B, cs::eight_bit, "?"},
        {0xA0, cs::eight_bit, "\xa0"},
        {0xFF, cs::eight_bit, "\xff"},
        {0x0E, cs::console_eight_bit, "\x1b%G\xef\x80\x8e\x1b%@"},
        {0x9B, cs::console_eight_bit, "\x1b%G\xef\x82\x9b\x1b%@"},
        {0xA0, cs::console_eight_bit, "\xa0"},
    };
    for (const auto& row : rows) {
        char form[kTermMaxForm];
        EXPECT_EQ(std::string(form, term_translate(row.byte, form, row.charset)), row.sent)
            << "byte " << int{row.byte} << ", character set " << static_cast<int>(row.charset);
    }
}

}  // namespace
