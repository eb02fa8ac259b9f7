#include "terminal_reply.h"

#include <climits>

namespace {

constexpr unsigned char kEscape = 0x1B;

enum phase : int { outside, after_escape, in_format };

constexpr term_reply_step kUsed = {false, true, -1};

term_reply_step set_aside(unsigned char byte) {
    return {false, true, byte};
}

void clear_number(term_reply_scanner& s) {
    s.number_started = false;
    s.number_has_digit = false;
    s.number_negative = false;
    s.number = 0;
}

// Outside an answer: ESC may start one, anything else is a key press.
term_reply_step outside_step(term_reply_scanner& s, unsigned char byte) {
    if (byte == kEscape) {
        s.phase = after_escape;
        return kUsed;
    }
    return set_aside(byte);
}

// The format did not match this byte: the attempt ends where it stopped and
// the byte is looked at again as if no answer had started.
term_reply_step give_up(term_reply_scanner& s, unsigned char byte) {
    s.phase = outside;
    return outside_step(s, byte);
}

bool is_space(unsigned char byte) {
    return byte == ' ' || (byte >= '\t' && byte <= '\r');
}
bool is_digit(unsigned char byte) {
    return byte >= '0' && byte <= '9';
}

term_reply_step format_step(term_reply_scanner& s, unsigned char byte) {
    const char expected = s.format[s.position];
    if (expected != '%') {
        if (byte != static_cast<unsigned char>(expected)) return give_up(s, byte);
        ++s.position;
        return kUsed;
    }
    // A %d: blanks, an optional sign, digits.
    if (!s.number_started) {
        if (is_space(byte)) return kUsed;
        if (byte == '+' || byte == '-' || is_digit(byte)) {
            s.number_started = true;
            s.number_negative = byte == '-';
            s.number_has_digit = is_digit(byte);
            s.number = is_digit(byte) ? byte - '0' : 0;
            return kUsed;
        }
        return give_up(s, byte);
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
    s.values[s.converted++] = static_cast<int>(value);
    s.position += 2;
    clear_number(s);
    if (s.converted == 2) {
        // Both numbers are in; the closing letter is taken when it is there.
        s.phase = outside;
        const bool closes = byte == static_cast<unsigned char>(s.format[s.position]);
        return {true, closes, -1};
    }
    return format_step(s, byte);
}

}  // namespace

term_reply_scanner term_reply_start(term_reply_format format) {
    term_reply_scanner s{};
    s.format = format == term_reply_format::cursor_position ? "%d;%dR" : "8;%d;%dt";
    s.phase = outside;
    return s;
}

term_reply_step term_reply_feed(term_reply_scanner& s, unsigned char byte) {
    switch (s.phase) {
        case after_escape:
            if (byte == '[') {
                s.phase = in_format;
                s.position = 0;
                s.converted = 0;
                clear_number(s);
                return kUsed;
            }
            // A lone ESC is a key press; a second ESC may start the answer.
            if (byte == kEscape) return set_aside(kEscape);
            s.phase = outside;
            return set_aside(byte);
        case in_format:
            return format_step(s, byte);
        default:
            return outside_step(s, byte);
    }
}
