// The answer channel over anything a terminal may send: answers, broken
// answers, keys and junk, numbers of any length, split into reads anywhere,
// with queries sent and owed answers forgotten between the reads. After every
// step the channel must agree with a model that reads the whole input at once:
//   - only a complete answer (closing letter included) is taken, with the
//     numbers read as scanf's %d reads them, saturated;
//   - an answer counts only when it is the last one owed of its form;
//   - every other byte is kept in type_ahead (the latest 255, DEL as BS and
//     LF as CR) or dropped exactly as the rule says, in order.
// AddressSanitizer watches that the scanner stays inside its buffers.
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "runtime/linux/terminal_reply.h"

namespace {

constexpr char kEscape = '\x1b';
constexpr int kCursor = static_cast<int>(term_reply_format::cursor_position);
constexpr int kSize = static_cast<int>(term_reply_format::text_area_size);

// What the fuzzer asked for, in order.
struct step {
    enum kind { ask_cursor, ask_size, forget, read } what;
    std::string bytes;  // for read
};

// The model of the channel's state.
struct model {
    uint32_t owed[2] = {0, 0};
    uint32_t taken[2] = {0, 0};
    bool answered[2] = {false, false};
    int latest[2][2] = {{0, 0}, {0, 0}};
    std::string keys;
};

enum class parse { ok, broken, incomplete };

bool blank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool digit(char c) {
    return c >= '0' && c <= '9';
}

// scanf's %d from at: blanks, a sign, digits; at is left on the byte after
// it, or on the byte that broke it.
parse number(const std::string& s, size_t& at, int& value) {
    while (at < s.size() && blank(s[at])) ++at;
    if (at == s.size()) return parse::incomplete;
    const bool negative = s[at] == '-';
    if (s[at] == '+' || s[at] == '-') ++at;
    if (at == s.size()) return parse::incomplete;
    if (!digit(s[at])) return parse::broken;
    long long magnitude = 0;
    while (at < s.size() && digit(s[at])) {
        magnitude = magnitude > 100000000000LL ? magnitude : magnitude * 10 + (s[at] - '0');
        ++at;
    }
    if (at == s.size()) return parse::incomplete;  // more digits may follow
    const long long signed_value = negative ? -magnitude : magnitude;
    value = signed_value > INT_MAX   ? INT_MAX
            : signed_value < INT_MIN ? INT_MIN
                                     : static_cast<int>(signed_value);
    return parse::ok;
}

parse literal(const std::string& s, size_t& at, char c) {
    if (at == s.size()) return parse::incomplete;
    if (s[at] != c) return parse::broken;
    ++at;
    return parse::ok;
}

// One form of answer from at (just after ESC [): its status, where it ended
// or broke, and its two numbers.
struct attempt {
    parse status;
    size_t at;
    int values[2];
};

// The parts of an answer, each from where the last one ended.
using part = parse (*)(const std::string&, size_t&, int*);

parse first_value(const std::string& s, size_t& at, int* values) {
    return number(s, at, values[0]);
}
parse second_value(const std::string& s, size_t& at, int* values) {
    return number(s, at, values[1]);
}
template <char c>
parse byte(const std::string& s, size_t& at, int*) {
    return literal(s, at, c);
}

attempt follow(const std::string& s, size_t at, std::initializer_list<part> parts) {
    attempt a{parse::ok, at, {0, 0}};
    for (const part next : parts) {
        a.status = next(s, a.at, a.values);
        if (a.status != parse::ok) break;
    }
    return a;
}

attempt cursor_answer(const std::string& s, size_t at) {
    return follow(s, at, {first_value, byte<';'>, second_value, byte<'R'>});
}

attempt size_answer(const std::string& s, size_t at) {
    return follow(s, at, {byte<'8'>, byte<';'>, first_value, byte<';'>, second_value, byte<'t'>});
}

void keep(model& m, char c) {
    m.keys += c == '\x7f' ? '\b' : c == '\n' ? '\r' : c;
}

void answer_read(model& m, int format, const int values[2]) {
    ++m.taken[format];
    if (m.owed[format] == 0 || --m.owed[format] != 0) return;
    m.answered[format] = true;
    m.latest[format][0] = values[0];
    m.latest[format][1] = values[1];
}

// The channel's state after the steps, worked out from the whole input of
// each stretch between two forgets at once.
model expected_after(const std::vector<step>& steps) {
    model m;
    size_t first = 0;
    while (first < steps.size()) {
        size_t end = first;
        std::string input;
        std::vector<std::pair<size_t, int>> asks;  // (bytes read before it, form)
        for (; end < steps.size() && steps[end].what != step::forget; ++end) {
            if (steps[end].what == step::read) input += steps[end].bytes;
            if (steps[end].what == step::ask_cursor) asks.push_back({input.size(), kCursor});
            if (steps[end].what == step::ask_size) asks.push_back({input.size(), kSize});
        }
        size_t next_ask = 0;
        // Queries sent before the byte at `upto` was read.
        auto ask_until = [&](size_t upto) {
            for (; next_ask < asks.size() && asks[next_ask].first <= upto; ++next_ask) {
                ++m.owed[asks[next_ask].second];
                m.answered[asks[next_ask].second] = false;
            }
        };
        size_t i = 0;
        while (i < input.size()) {
            if (input[i] != kEscape) {
                keep(m, input[i++]);
                continue;
            }
            if (i + 1 == input.size()) break;
            if (input[i + 1] == kEscape) {
                keep(m, kEscape);
                ++i;
                continue;
            }
            if (input[i + 1] != '[') {
                keep(m, input[i + 1]);
                i += 2;
                continue;
            }
            const attempt cursor = cursor_answer(input, i + 2);
            const attempt size = size_answer(input, i + 2);
            if (cursor.status == parse::ok || size.status == parse::ok) {
                const attempt& done = cursor.status == parse::ok ? cursor : size;
                ask_until(done.at - 1);
                answer_read(m, cursor.status == parse::ok ? kCursor : kSize, done.values);
                i = done.at;
                continue;
            }
            if (cursor.status == parse::incomplete || size.status == parse::incomplete) break;
            i = cursor.at > size.at ? cursor.at : size.at;
        }
        ask_until(input.size());
        if (end < steps.size()) {
            m.owed[kCursor] = m.owed[kSize] = 0;
            ++end;
        }
        first = end;
    }
    if (m.keys.size() > 255) m.keys.erase(0, m.keys.size() - 255);
    return m;
}

[[noreturn]] void fail(const char* what, const std::vector<step>& steps) {
    std::fprintf(stderr, "%s after:", what);
    for (const step& s : steps) {
        if (s.what == step::read) {
            std::fprintf(stderr, " read[");
            for (unsigned char c : s.bytes) std::fprintf(stderr, " %02x", c);
            std::fprintf(stderr, " ]");
        } else {
            std::fprintf(stderr, " %s",
                         s.what == step::forget       ? "forget"
                         : s.what == step::ask_cursor ? "C"
                                                      : "S");
        }
    }
    std::fprintf(stderr, "\n");
    std::abort();
}

void compare(const term_answer_channel& c, const std::vector<step>& steps) {
    const model m = expected_after(steps);
    std::string keys;
    const term_type_ahead& ring = c.type_ahead;
    for (int i = ring.read_index; i != ring.write_index; i = (i + 1) & 255) {
        keys += static_cast<char>(ring.slot[i]);
    }
    if (keys != m.keys) fail("type_ahead differs", steps);
    for (const int f : {kCursor, kSize}) {
        if (c.owed[f] != m.owed[f]) fail("answers owed differ", steps);
        if (c.taken[f] != m.taken[f]) fail("answers read differ", steps);
        if (c.answered[f] != m.answered[f]) fail("answered differs", steps);
        if (m.answered[f] && (c.latest[f][0] != m.latest[f][0] || c.latest[f][1] != m.latest[f][1]))
            fail("the answer's numbers differ", steps);
    }
}

// An answer as a terminal sends it, or nearly: numbers of any length with
// blanks and signs, maybe cut short.
std::string answer_bytes(FuzzedDataProvider& in) {
    auto number = [&in] {
        std::string n(in.ConsumeIntegralInRange<size_t>(0, 2), ' ');
        if (in.ConsumeBool()) n += in.ConsumeBool() ? '-' : '+';
        const size_t digits = in.ConsumeIntegralInRange<size_t>(1, 25);
        for (size_t d = 0; d < digits; ++d)
            n += static_cast<char>('0' + in.ConsumeIntegral<uint8_t>() % 10);
        return n;
    };
    std::string a = "\x1b[";
    if (in.ConsumeBool()) {
        a += "8;" + number() + ";" + number() + "t";
    } else {
        a += number() + ";" + number() + "R";
    }
    if (in.ConsumeBool()) a.resize(in.ConsumeIntegralInRange<size_t>(0, a.size()));
    return a;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    std::vector<step> steps;
    std::string pending;  // bytes the terminal has sent, not read yet
    auto read_pending = [&] {
        while (!pending.empty()) {
            const size_t piece = in.ConsumeIntegralInRange<size_t>(1, pending.size());
            steps.push_back({step::read, pending.substr(0, piece)});
            pending.erase(0, piece);
        }
    };
    while (in.remaining_bytes() > 0 && steps.size() < 300) {
        switch (in.ConsumeIntegralInRange<int>(0, 6)) {
            case 0:
                steps.push_back({step::ask_cursor, {}});
                break;
            case 1:
                steps.push_back({step::ask_size, {}});
                break;
            case 2:
                if (in.ConsumeIntegralInRange<int>(0, 3) == 0) steps.push_back({step::forget, {}});
                break;
            case 3:
            case 4:
                pending += answer_bytes(in);
                break;
            case 5:
                pending += in.ConsumeRandomLengthString(16);
                break;
            default:
                read_pending();
        }
    }
    read_pending();

    term_answer_channel channel = term_channel_start();
    std::vector<step> done;
    for (const step& s : steps) {
        switch (s.what) {
            case step::ask_cursor:
                term_channel_asked(channel, term_reply_format::cursor_position);
                break;
            case step::ask_size:
                term_channel_asked(channel, term_reply_format::text_area_size);
                break;
            case step::forget:
                term_channel_forget(channel);
                break;
            case step::read:
                term_channel_take(channel, reinterpret_cast<const unsigned char*>(s.bytes.data()),
                                  s.bytes.size());
                break;
        }
        done.push_back(s);
        compare(channel, done);
    }
    return 0;
}
