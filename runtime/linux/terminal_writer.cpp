// The terminal writer: console bytes translated for the terminal, width and cursor from it.
//
// See terminal_sequences.cpp for the whole conversation with the terminal.
// On a terminal every console byte shows as one character in one cell, except
// the control codes that act (BEL, TAB, LF, VT, CR and the other C0 codes but
// those below), so that print zones count what the terminal shows, nothing
// zix prints changes the terminal's state for good and nothing makes it
// answer. The byte's form depends on the character set start-up found:
//
//   byte                        UTF-8 terminal    8-bit terminal
//   00                          20 (a space)      20
//   20-7E, acting C0 codes      the byte          the byte
//   05 08 0C 0E 0F 1B 7F 80-9F  glyph             ?
//   A0-FF                       U+00A0-U+00FF     the byte
//
// glyph is U+F000 + byte in UTF-8, EF 80+(byte >> 6) 80+(byte & 3F): a
// private-use character of one cell, which the Linux console maps straight
// onto its font, so there the byte shows its own glyph. The Linux console
// takes every byte from 80 up in the glyph form in UTF-8 mode; out of it,
// where the null mapping already shows each byte's glyph, 05 08 0C 0E 0F 1B
// 7F 80-9F go out as the glyph between \e%G (UTF-8 on) and \e%@ (back to the
// 8-bit mode found), and A0-FF as themselves.
//
// ENQ (05) would make some terminals answer into the shell's input after zix
// has ended, and ESC and the C1 controls (raw, or as C2 80-9F in UTF-8) start
// sequences: none of them ever reaches the terminal as such.
#include "runtime/linux/terminal_writer.h"

#include <stdio_ext.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <initializer_list>

#include "runtime/linux/terminal.h"
#include "runtime/linux/terminal_writer_seams.h"
#include "runtime/wipe.h"

namespace {

// The codes shown in the glyph form, besides the C1 controls 80-9F: they would
// make the terminal answer, move the cursor back, clear the screen, switch
// character sets, start a sequence, or show nothing.
constexpr unsigned char kGlyphCodes[] = {0x05, 0x08, 0x0C, 0x0E, 0x0F, 0x1B, 0x7F};
constexpr unsigned char kFirstC1 = 0x80;
constexpr unsigned char kLastC1 = 0x9F;
constexpr char kEightBitStandIn = '?';

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
    if (byte >= kFirstC1 && byte <= kLastC1) return true;
    for (const unsigned char code : kGlyphCodes) {
        if (byte == code) return true;
    }
    return false;
}

size_t put(char* form, std::initializer_list<char> bytes) {
    std::copy(bytes.begin(), bytes.end(), form);
    return bytes.size();
}

// Results of the stream calls are not looked at: the column advances all the
// same, and there is nowhere else to report to.
void term_write_copy(const char* bytes, size_t count) {
    {
        term_lock_guard guard;
        term_refresh_size();
    }
    const term_charset charset = term_output_charset();
    size_t used = __fpending(stdout);
    char form[kTermMaxForm];
    for (size_t i = 0; i < count; ++i) {
        const size_t length = term_translate(static_cast<unsigned char>(bytes[i]), form, charset);
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

size_t term_translate(unsigned char byte, char form[kTermMaxForm], term_charset charset) {
    // In UTF-8, U+F000 + byte is EF mid low, and U+0080 + (byte - 80) is lead low.
    const char mid = static_cast<char>(0x80 | (byte >> 6));
    const char lead = static_cast<char>(0xC0 | (byte >> 6));
    const char low = static_cast<char>(0x80 | (byte & 0x3F));
    if (byte == 0x00) return put(form, {' '});
    const bool shown = has_glyph_form(byte);
    switch (charset) {
        case term_charset::utf8:
            if (shown) return put(form, {'\xef', mid, low});
            if (byte >= 0x80) return put(form, {lead, low});
            break;
        case term_charset::console_utf8:
            if (shown || byte >= 0x80) return put(form, {'\xef', mid, low});
            break;
        case term_charset::eight_bit:
            if (shown) return put(form, {kEightBitStandIn});
            break;
        case term_charset::console_eight_bit:
            if (shown) return put(form, {'\x1b', '%', 'G', '\xef', mid, low, '\x1b', '%', '@'});
            break;
    }
    return put(form, {static_cast<char>(byte)});
}
