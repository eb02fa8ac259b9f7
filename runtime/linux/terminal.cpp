#include "terminal.h"

#if defined(__i386__) || defined(__x86_64__)
#include <fpu_control.h>
#endif

namespace {

struct term_state_record {
    int term_kind;
};

term_state_record term_state;

// 64-bit precision, rounding to nearest: the x87 mode the arithmetic of the
// random source and character mode is defined in.
void set_x87_control_word() {
#if defined(__i386__) || defined(__x86_64__)
    fpu_control_t word;
    _FPU_GETCW(word);
    word = static_cast<fpu_control_t>((word & 0xF0FFu) | 0x0300u);
    _FPU_SETCW(word);
#endif
}

}  // namespace

int term_kind() { return term_state.term_kind; }

void term_init() {
    set_x87_control_word();
    term_state = term_state_record{};
}

void term_shutdown() {}
