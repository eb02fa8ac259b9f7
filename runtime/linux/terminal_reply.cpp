// The answer channel's core: the answer scanner, the answers owed and the type-ahead ring.
#include "runtime/linux/terminal_reply.h"

#include <climits>

#include "runtime/linux/terminal_reply_seams.h"

namespace {

constexpr unsigned char kEscape = 0x1B;
constexpr int kNoByte = -1;

enum phase : int { outside, after_escape, in_answer };

// Where an answer's bytes go, as the scanner walks them:
//   first ; second R                 the cursor position
//   8     ; second ; third t         the text area's size (first must be "8")
enum position : int {
    first_number,
    first_separator,
    second_number,
    after_second,
    third_number,
    closing_t
};

constexpr term_reply_step kUsed = {-1, kNoByte};

term_reply_step set_aside(unsigned char byte) {
    return {-1, byte};
}

term_reply_step answer(term_reply_format format) {
    return {static_cast<int>(format), kNoByte};
}

void clear_number(term_reply_scanner& s) {
    s.number_started = false;
    s.number_has_digit = false;
    s.number_negative = false;
    s.number = 0;
}

bool is_space(unsigned char byte) {
    return byte == ' ' || (byte >= '\t' && byte <= '\r');
}
bool is_digit(unsigned char byte) {
    return byte >= '0' && byte <= '9';
}

// Outside an answer: ESC may start one, anything else is a key press.
term_reply_step outside_step(term_reply_scanner& s, unsigned char byte) {
    if (byte == kEscape) {
        s.phase = after_escape;
        return kUsed;
    }
    return set_aside(byte);
}

// The byte fits no answer: the attempt ends where it stopped and the byte is
// looked at again as if no answer had started.
term_reply_step give_up(term_reply_scanner& s, unsigned char byte) {
    s.phase = outside;
    return outside_step(s, byte);
}

term_reply_step separator_step(term_reply_scanner& s, unsigned char byte) {
    switch (s.position) {
        case first_separator:
            if (byte != ';') return give_up(s, byte);
            s.position = second_number;
            return kUsed;
        case after_second:
            if (byte == 'R') {
                s.phase = outside;
                return answer(term_reply_format::cursor_position);
            }
            if (byte != ';' || !s.size_possible) return give_up(s, byte);
            s.position = third_number;
            return kUsed;
        default:  // closing_t
            if (byte != 't') return give_up(s, byte);
            s.phase = outside;
            s.values[0] = s.values[1];
            s.values[1] = s.values[2];
            return answer(term_reply_format::text_area_size);
    }
}

// A number as scanf's %d reads it: blanks, an optional sign, digits. The byte
// that ends it is matched against what follows the number.
term_reply_step number_step(term_reply_scanner& s, unsigned char byte) {
    // The size answer's first field is the byte "8" alone: any other byte
    // there leaves only the cursor position possible.
    const bool in_number = is_space(byte) || is_digit(byte) || byte == '+' || byte == '-';
    if (s.position == first_number && in_number && (s.number_started || byte != '8')) {
        s.size_possible = false;
    }
    if (!s.number_started) {
        if (is_space(byte)) return kUsed;
        if (byte != '+' && byte != '-' && !is_digit(byte)) return give_up(s, byte);
        s.number_started = true;
        s.number_negative = byte == '-';
        s.number_has_digit = is_digit(byte);
        s.number = is_digit(byte) ? byte - '0' : 0;
        return kUsed;
    }
    if (is_digit(byte)) {
        s.number_has_digit = true;
        // Saturates: a number too long for an int reads as the largest one.
        if (s.number <= INT_MAX) s.number = s.number * 10 + (byte - '0');
        return kUsed;
    }
    if (!s.number_has_digit) return give_up(s, byte);

    int64_t value = s.number_negative ? -s.number : s.number;
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    s.values[s.position / 2] = static_cast<int>(value);
    clear_number(s);
    ++s.position;
    return separator_step(s, byte);
}

void type_ahead_store(term_type_ahead& ring, int byte) {
    if (byte == 127) byte = 8;
    if (byte == 10) byte = 13;
    ring.slot[ring.write_index] = byte;
    ring.write_index = (ring.write_index + 1) & 255;
    if (ring.write_index == ring.read_index) ring.read_index = (ring.read_index + 1) & 255;
}

void answer_read(term_answer_channel& c, int format, const int values[2]) {
    ++c.taken[format];
    // Nobody asked for it: taken in, dropped.
    if (c.owed[format] == 0) return;
    // Still more owed: this one answers an earlier query and is stale.
    if (--c.owed[format] != 0) return;
    c.answered[format] = true;
    c.latest[format][0] = values[0];
    c.latest[format][1] = values[1];
}

}  // namespace

term_reply_scanner term_reply_start() {
    term_reply_scanner s{};
    s.phase = outside;
    return s;
}

term_reply_step term_reply_feed(term_reply_scanner& s, unsigned char byte) {
    switch (s.phase) {
        case after_escape:
            if (byte == '[') {
                s.phase = in_answer;
                s.position = first_number;
                s.size_possible = true;
                clear_number(s);
                return kUsed;
            }
            // A lone ESC is a key press; a second ESC may start the answer.
            if (byte == kEscape) return set_aside(kEscape);
            s.phase = outside;
            return set_aside(byte);
        case in_answer:
            if (s.position % 2 == 0) return number_step(s, byte);
            return separator_step(s, byte);
        default:
            return outside_step(s, byte);
    }
}

// The terminal layer's record starts its channel by value-initialising it.
static_assert(outside == 0, "a channel of zeros is a started one");

term_answer_channel term_channel_start() {
    term_answer_channel c{};
    c.scanner = term_reply_start();
    return c;
}

void term_channel_asked(term_answer_channel& c, term_reply_format format) {
    const int f = static_cast<int>(format);
    ++c.owed[f];
    c.answered[f] = false;
}

void term_channel_take(term_answer_channel& c, const unsigned char* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const term_reply_step step = term_reply_feed(c.scanner, bytes[i]);
        if (step.set_aside != kNoByte) type_ahead_store(c.type_ahead, step.set_aside);
        if (step.answer >= 0) answer_read(c, step.answer, c.scanner.values);
    }
}

bool term_channel_owes(const term_answer_channel& c) {
    for (const uint32_t owed : c.owed) {
        if (owed != 0) return true;
    }
    return false;
}

void term_channel_forget(term_answer_channel& c) {
    c.scanner = term_reply_start();
    for (int f = 0; f < kReplyFormats; ++f) c.owed[f] = 0;
}
