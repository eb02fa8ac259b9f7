// The terminal writer: console bytes translated for the terminal, width and cursor from it.
//
// See terminal_sequences.cpp for the whole conversation with the terminal; the
// writer adds one thing to it, the glyph form of six control codes: U+F000 +
// code in UTF-8, that is
//   EF 80+(code >> 6) 80+(code & 3F)               in a UTF-8 locale
//   \e%G  EF 80+(code >> 6) 80+(code & 3F)  \e%@   elsewhere
// (select UTF-8, the character, back to the default character set). On the
// Linux console that code range maps straight onto the font, so the code
// shows its own glyph; elsewhere it takes one cell, as the print path counts.
#include "runtime/linux/terminal_writer.h"

#include <stdio_ext.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "runtime/linux/terminal.h"
#include "runtime/linux/terminal_writer_seams.h"
#include "runtime/wipe.h"

namespace {

constexpr unsigned char kGlyphCodes[] = {0x08, 0x0C, 0x0E, 0x0F, 0x1B, 0x7F};

// The standard output stream's buffer, once term_output_buffer_init has
// handed it over. The console bytes pass through it on their way to the
// terminal; whatever a user takes them for, no copy of them may stay in it
// after a write.
char output_buffer[BUFSIZ];
bool output_buffer_ours = false;

// Overwrites the part of the buffer that a write can have used: the stream
// fills it from its start, with the sequences still waiting there first.
// Only once the stream holds nothing more to send, so that no byte still on
// its way is lost to the wipe.
void wipe_output_buffer(size_t used) {
    if (!output_buffer_ours || __fpending(stdout) != 0) return;
    buffer_wipe(output_buffer, std::min(used, sizeof output_buffer));
}

bool has_glyph_form(unsigned char byte) {
    for (const unsigned char code : kGlyphCodes) {
        if (byte == code) return true;
    }
    return false;
}

// Results of the stream calls are not looked at: the column advances all the
// same, and there is nowhere else to report to.
void term_write_copy(const char* bytes, size_t count) {
    {
        term_lock_guard guard;
        term_refresh_size();
    }
    const bool utf8 = term_utf8();
    size_t used = __fpending(stdout);
    char form[kTermMaxForm];
    for (size_t i = 0; i < count; ++i) {
        const size_t length = term_translate(static_cast<unsigned char>(bytes[i]), form, utf8);
        if (length == 1) {
            std::fputc(form[0], stdout);
        } else {
            std::fwrite(form, 1, length, stdout);
        }
        used += length;
    }
    std::fflush(stdout);
    wipe_output_buffer(used);
    buffer_wipe(form, sizeof form);
}

// Each copy is flushed as it is written.
void term_write(const char* bytes, size_t count, uint32_t copies) {
    for (uint32_t copy = 0; copy < copies; ++copy) term_write_copy(bytes, count);
}

void term_size(uint32_t* width, uint32_t* height) {
    term_lock_guard guard;
    term_refresh_size();
    *width = static_cast<uint32_t>(term_screen_width());
    *height = static_cast<uint32_t>(term_screen_height());
}

// Asked at the first print, and again at the first print after zix was
// continued: the terminal's cursor may have moved since (a shell prompt, the
// shell's job line, other output). A refresh that has just asked needs no
// second question.
int32_t term_cursor_column() {
    term_lock_guard guard;
    if (term_refresh_size()) return term_cursor_col();
    int row = 0;
    int column = 0;
    if (!term_query(term_sequence::cursor_query, &row, &column)) column = term_cursor_col();
    return column;
}

}  // namespace

const console_device terminal_writer = {term_write, term_size, term_cursor_column};

// Line-buffered on a terminal, fully buffered elsewhere, as the stream would
// have chosen for itself.
void term_output_buffer_init() {
    const int mode = isatty(STDOUT_FILENO) ? _IOLBF : _IOFBF;
    output_buffer_ours = std::setvbuf(stdout, output_buffer, mode, sizeof output_buffer) == 0;
}

size_t term_translate(unsigned char byte, char form[kTermMaxForm], bool utf8) {
    if (byte == 0x00) {
        form[0] = ' ';
        return 1;
    }
    if (!has_glyph_form(byte)) {
        form[0] = static_cast<char>(byte);
        return 1;
    }
    const char glyph[3] = {'\xef', static_cast<char>(0x80 | (byte >> 6)),
                           static_cast<char>(0x80 | (byte & 0x3F))};
    if (utf8) {
        for (size_t i = 0; i < 3; ++i) form[i] = glyph[i];
        return 3;
    }
    const char switched[kTermMaxForm] = {'\x1b',   '%',    'G', glyph[0], glyph[1],
                                         glyph[2], '\x1b', '%', '@'};
    for (size_t i = 0; i < kTermMaxForm; ++i) form[i] = switched[i];
    return kTermMaxForm;
}
