// Which character set the terminal takes zix's bytes in: asked of the terminal itself.
//
// The locale says what this machine's programs write, not what the terminal
// reads: over ssh or in a container a C locale often sits on a UTF-8 terminal.
// So at start-up, right after the cursor query, zix writes the character ç in
// UTF-8 (C3 A7) and asks for the cursor again. A UTF-8 terminal moves one
// column; a terminal that takes one byte a character shows two (Ã§) and moves
// two. ç is one column wide everywhere (it is not among the characters that
// East Asian terminals may draw two columns wide), and its second byte, A7,
// is no control in any 8-bit character set. The cursor then goes back where
// it stood, the probe's cells are blanked and the cursor goes back again, so
// nothing of it stays on the screen.
//
// The probe is made only when the terminal reported the cursor and both
// cells fit before the last column, so that nothing wraps or scrolls. Where
// it is not made, or the cursor moves by neither one nor two columns, or does
// not answer, the locale decides.
#include <langinfo.h>

#include <cstdio>
#include <cstring>

#include "runtime/linux/terminal_state.h"

namespace {

constexpr char kProbe[] = "\xc3\xa7";  // ç, U+00E7
constexpr int kUtf8Move = 1;
constexpr int kEightBitMove = 2;

// "UTF-8", however the system spells it ("utf8", "UTF8", ...).
bool utf8_codeset() {
    const char* codeset = nl_langinfo(CODESET);
    if (codeset == nullptr) return false;
    char plain[8];
    size_t length = 0;
    for (const char* p = codeset; *p; ++p) {
        if (*p == '-' || *p == '_') continue;
        if (length == sizeof plain - 1) return false;
        plain[length++] = static_cast<char>(*p >= 'A' && *p <= 'Z' ? *p - 'A' + 'a' : *p);
    }
    plain[length] = '\0';
    return std::strcmp(plain, "utf8") == 0;
}

term_charset charset_of(bool utf8, bool linux_console) {
    if (linux_console) return utf8 ? term_charset::console_utf8 : term_charset::console_eight_bit;
    return utf8 ? term_charset::utf8 : term_charset::eight_bit;
}

// Through standard output, so that it follows what was sent before it.
void send(const char* bytes, size_t count) {
    std::fwrite(bytes, 1, count, stdout);
    std::fflush(stdout);
}

// The locale's say, from the character set of LC_CTYPE.
term_charset locale_charset(bool linux_console) {
    return charset_of(utf8_codeset(), linux_console);
}

}  // namespace

term_charset term_charset_probe(bool linux_console) {
    const term_state_record& t = term_state;
    const int row = t.cursor_row;
    const int column = t.cursor_col;
    if (!t.cursor_answered || column < 1 || column + kEightBitMove > t.screen_width) {
        return locale_charset(linux_console);
    }

    send(kProbe, sizeof kProbe - 1);
    int moved_row = 0;
    int moved_column = 0;
    int moved = 0;
    if (term_query(term_sequence::cursor_query, &moved_row, &moved_column) && moved_row == row) {
        moved = moved_column - column;
    }

    // Back, blank what the probe showed (two cells unless it showed one), back.
    const term_bytes back = term_cursor_to(row, column);
    term_write_bytes(back);
    send("  ", moved == kUtf8Move ? 1 : 2);
    term_write_bytes(back);

    if (moved == kUtf8Move) return charset_of(true, linux_console);
    if (moved == kEightBitMove) return charset_of(false, linux_console);
    return locale_charset(linux_console);
}
