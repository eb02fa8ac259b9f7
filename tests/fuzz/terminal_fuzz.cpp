// The terminal writer over any bytes split into any writes, for each character
// set a terminal may take, with standard output on a memory file. What each
// write sent is fed to libvterm, a terminal emulation library, set to the same
// character set, and must hold, as that terminal sees it:
//   - one character of one cell for every byte but the control codes that act
//     (C0 codes other than NUL, ENQ, BS, FF, SO, SI and ESC), and those codes
//     as themselves;
//   - no C1 control, raw or encoded in UTF-8, and no escape sequence, but for
//     the Linux console's switch to UTF-8 and back, \e%G ... \e%@, which
//     libvterm does not know and which is followed here by switching the
//     library's own mode; every write ends in the mode it found;
//   - no answer from the terminal, and no change of its title, modes, tab
//     stops or attributes;
// and every write has reached the file when it returns. The terminal layer is
// not set up here (term_kind 0), so the writer takes no lock and asks the
// terminal nothing.
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vterm.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/linux/terminal_seams.h"
#include "runtime/linux/terminal_writer.h"
#include "runtime/linux/terminal_writer_seams.h"

namespace {

// What libvterm hands the sequences it does not know to: the parser's own
// callbacks before 0.2 (Debian 12), a record of their own since (Debian 13).
// The escape sequences are looked for in the bytes themselves below.
#if VTERM_VERSION_MAJOR == 0 && VTERM_VERSION_MINOR < 2
using vterm_fallbacks = VTermParserCallbacks;
#else
using vterm_fallbacks = VTermStateFallbacks;
#endif

constexpr int kRows = 25;
constexpr int kColumns = 1000;

[[noreturn]] void fail(const std::string& what, term_charset charset, const std::string& bytes) {
    std::fprintf(stderr, "%s; character set %d, write of %zu bytes:", what.c_str(),
                 static_cast<int>(charset), bytes.size());
    for (unsigned char c : bytes) std::fprintf(stderr, " %02x", c);
    std::fprintf(stderr, "\n");
    std::abort();
}

// What standard output's file holds, from offset from on.
std::string sent_since(off_t from) {
    struct stat status {};
    if (fstat(STDOUT_FILENO, &status) != 0) std::abort();
    std::string bytes(static_cast<size_t>(status.st_size - from), '\0');
    if (!bytes.empty() && pread(STDOUT_FILENO, bytes.data(), bytes.size(), from) !=
                              static_cast<ssize_t>(bytes.size()))
        std::abort();
    return bytes;
}

bool acts(unsigned char byte) {
    if (byte == 0x00 || byte >= 0x20) return false;
    for (const unsigned char shown : {0x05, 0x08, 0x0C, 0x0E, 0x0F, 0x1B}) {
        if (byte == shown) return false;
    }
    return true;
}

bool one_byte_a_character(term_charset charset) {
    return charset == term_charset::eight_bit || charset == term_charset::console_eight_bit;
}

// The terminal as libvterm sees it: the cells it put characters into and the
// first thing it did that zix's output must not make it do.
struct seen {
    size_t cells = 0;
    std::string trouble;
};

// Notes the first trouble; 1, as libvterm's callbacks return when they
// have taken care of something.
int note(void* user, const std::string& what) {
    seen& s = *static_cast<seen*>(user);
    if (s.trouble.empty()) s.trouble = what;
    return 1;
}

int put_glyph(VTermGlyphInfo* info, VTermPos, void* user) {
    for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && info->chars[i] != 0; ++i) {
        if (info->chars[i] >= 0x80 && info->chars[i] <= 0x9F) note(user, "a C1 control in UTF-8");
    }
    if (info->width != 1) note(user, "a character of width " + std::to_string(info->width));
    ++static_cast<seen*>(user)->cells;
    return 1;
}

class terminal {
  public:
    explicit terminal(bool utf8) : vt_(vterm_new(kRows, kColumns)), utf8_(utf8) {
        vterm_set_utf8(vt_, utf8);
        VTermState* state = vterm_obtain_state(vt_);
        vterm_state_reset(state, 1);
        callbacks_.putglyph = put_glyph;
        callbacks_.settermprop = [](VTermProp, VTermValue*, void* user) {
            return note(user, "a property changed (title, cursor, screen or mouse mode)");
        };
        callbacks_.setpenattr = [](VTermAttr, VTermValue*, void* user) {
            return note(user, "an attribute changed");
        };
        // A scroll is taken as done: libvterm would otherwise move the cells
        // itself, through callbacks that are not set.
        callbacks_.scrollrect = [](VTermRect, int, int, void*) { return 1; };
        vterm_state_set_callbacks(state, &callbacks_, &seen_);
        fallbacks_.control = [](unsigned char control, void* user) {
            return acts(control) ? 1 : note(user, "control " + std::to_string(control));
        };
        fallbacks_.csi = [](const char*, const long[], int, const char*, char, void* user) {
            return note(user, "a control sequence");
        };
        vterm_state_set_unrecognised_fallbacks(state, &fallbacks_, &seen_);
        vterm_output_set_callback(
            vt_, [](const char*, size_t, void* user) { note(user, "the terminal answered"); },
            &seen_);
    }
    ~terminal() { vterm_free(vt_); }
    terminal(const terminal&) = delete;
    terminal& operator=(const terminal&) = delete;

    // Takes what a write sent: \e%G and \e%@ switch the library's mode where
    // the Linux console's would switch, any other ESC is trouble.
    void take(const std::string& bytes, bool console_switches) {
        size_t from = 0;
        while (from < bytes.size()) {
            size_t esc = bytes.find('\x1b', from);
            if (esc == std::string::npos) esc = bytes.size();
            vterm_input_write(vt_, bytes.data() + from, esc - from);
            if (esc == bytes.size()) break;
            const std::string sequence = bytes.substr(esc, 3);
            if (console_switches && sequence == "\x1b%G" && !switched_) {
                switched_ = true;
                vterm_set_utf8(vt_, 1);
            } else if (console_switches && sequence == "\x1b%@" && switched_) {
                switched_ = false;
                vterm_set_utf8(vt_, utf8_);
            } else {
                note(&seen_, "an escape sequence");
            }
            from = esc + sequence.size();
        }
        if (switched_) note(&seen_, "a write ends in UTF-8 on the console found in its 8-bit mode");
    }

    // Where TAB stops along the line, from column 0.
    std::vector<int> tab_stops() {
        VTermState* state = vterm_obtain_state(vt_);
        vterm_input_write(vt_, "\r", 1);
        std::vector<int> stops;
        VTermPos at{};
        for (int last = 0;; last = at.col) {
            vterm_input_write(vt_, "\t", 1);
            vterm_state_get_cursorpos(state, &at);
            if (at.col <= last) return stops;
            stops.push_back(at.col);
        }
    }

    const seen& sight() const { return seen_; }

  private:
    VTerm* vt_;
    bool utf8_;
    bool switched_ = false;
    seen seen_;
    VTermStateCallbacks callbacks_{};
    vterm_fallbacks fallbacks_{};
};

void check(term_charset charset, const std::vector<std::string>& writes) {
    std::fflush(stdout);
    if (ftruncate(STDOUT_FILENO, 0) != 0 || lseek(STDOUT_FILENO, 0, SEEK_SET) != 0) std::abort();
    term_output_charset_set(charset);
    const bool utf8 = !one_byte_a_character(charset);
    terminal screen(utf8);
    off_t sent = 0;
    for (const std::string& bytes : writes) {
        // libvterm has no 96-character set: one byte a character, it shows
        // nothing for FF, the DEL of the upper half.
        size_t cells = 0;
        for (const unsigned char c : bytes) {
            if (!acts(c) && !(c == 0xFF && !utf8)) ++cells;
        }
        const size_t before = screen.sight().cells;

        terminal_writer.console_write(bytes.data(), bytes.size(), 1);
        // Read back without flushing: the writer must have flushed.
        const std::string got = sent_since(sent);
        sent += static_cast<off_t>(got.size());
        screen.take(got, charset == term_charset::console_eight_bit);

        if (!screen.sight().trouble.empty()) fail(screen.sight().trouble, charset, bytes);
        if (screen.sight().cells - before != cells) {
            fail(std::to_string(screen.sight().cells - before) + " cells for " +
                     std::to_string(cells) + " characters",
                 charset, bytes);
        }
    }
    terminal fresh(utf8);
    if (screen.tab_stops() != fresh.tab_stops()) fail("tab stops changed", charset, "");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const int file = memfd_create("terminal-output", 0);
    if (file < 0 || dup2(file, STDOUT_FILENO) < 0) {
        std::perror("memory file for standard output");
        std::abort();
    }
    close(file);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    std::vector<std::string> writes;
    while (in.remaining_bytes() > 0) writes.push_back(in.ConsumeRandomLengthString(1000));
    for (const term_charset charset :
         {term_charset::utf8, term_charset::eight_bit, term_charset::console_utf8,
          term_charset::console_eight_bit}) {
        check(charset, writes);
    }
    return 0;
}
