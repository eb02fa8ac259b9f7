// What each console byte becomes on the way to a terminal.
#include "runtime/linux/terminal_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "expected_output.h"
#include "runtime/linux/terminal_writer_seams.h"

namespace {

TEST(TerminalTranslation, SpecialBytes) {
    // Every byte in both kinds of locale: output can never form a sequence,
    // since ESC itself goes out as a glyph.
    for (int code = 0; code < 256; ++code) {
        for (const bool utf8 : {false, true}) {
            const auto byte = static_cast<unsigned char>(code);
            char form[kTermMaxForm];
            EXPECT_EQ(std::string(form, term_translate(byte, form, utf8)),
                      expected::on_terminal(byte, utf8))
                << code << (utf8 ? " in UTF-8" : "");
        }
    }
}

}  // namespace
