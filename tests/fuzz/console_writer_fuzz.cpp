// The console writer on a simulated screen buffer of any size from 1 x 1 to
// 300 x 2000 cells, with the window anywhere in it and of any height, the
// cursor anywhere, any attribute, and several writes of any bytes; between
// writes the window may move or change height, the cursor may move, the
// buffer may change size, and calls may be made to fail (the buffer
// information at a write's start or end, cell writes). For every write:
//   - every cell write, scroll, fill, cursor and window lies inside the buffer
//     (the simulation stops the run on the first call that does not);
//   - a write either goes whole to the plain writer and makes no console
//     call, or takes the console path; once plain, always plain;
//   - on the console path the bell sounds once per 07 byte, and when no cell
//     write failed the cells get every byte other than the five control
//     codes, in order, with each tab as 1 to 8 spaces;
//   - the size then reported is the buffer's width by the window's height.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/console_sim.h"
#include "runtime/windows/console_writer.h"
#include "runtime/windows/console_writer_seams.h"

namespace {

console_sim* sim;
std::string bytes;  // the write being checked

void require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr,
                 "%s\nbuffer %dx%d, window %d,%d-%d,%d, cursor %d,%d, write of %zu bytes:", what,
                 sim->columns, sim->rows, sim->window.left, sim->window.top, sim->window.right,
                 sim->window.bottom, sim->cursor.x, sim->cursor.y, bytes.size());
    for (size_t i = 0; i < bytes.size() && i < 200; ++i)
        std::fprintf(stderr, " %02x", static_cast<unsigned char>(bytes[i]));
    std::fprintf(stderr, "\n");
    std::abort();
}

con_rect window_in(FuzzedDataProvider& in, int columns, int rows) {
    const int top = in.ConsumeIntegralInRange<int>(0, rows - 1);
    const int height = in.ConsumeIntegralInRange<int>(1, rows - top);
    const int left = in.ConsumeIntegralInRange<int>(0, columns - 1);
    const int right = in.ConsumeIntegralInRange<int>(left, columns - 1);
    return con_rect{static_cast<int16_t>(left), static_cast<int16_t>(top),
                    static_cast<int16_t>(right), static_cast<int16_t>(top + height - 1)};
}

con_coord cursor_in(FuzzedDataProvider& in, int columns, int rows) {
    return con_coord{static_cast<int16_t>(in.ConsumeIntegralInRange<int>(0, columns - 1)),
                     static_cast<int16_t>(in.ConsumeIntegralInRange<int>(0, rows - 1))};
}

size_t beeps() {
    return sim->calls("beep").size();
}

bool is_control(char c) {
    return c == '\a' || c == '\b' || c == '\t' || c == '\n' || c == '\r';
}

// The cells a console write put up against its bytes: the same non-space
// characters in the same order, and the spaces of the bytes plus 1 to 8 per tab.
void check_cells(const std::string& cells) {
    std::string want;
    size_t spaces = 0;
    size_t tabs = 0;
    for (char c : bytes) {
        if (c == ' ') ++spaces;
        if (c == '\t') ++tabs;
        if (c != ' ' && !is_control(c)) want += c;
    }
    std::string got;
    size_t got_spaces = 0;
    for (char c : cells) {
        if (c == ' ') {
            ++got_spaces;
        } else {
            got += c;
        }
    }
    require(got == want, "the cells do not hold the write's characters");
    require(got_spaces >= spaces + tabs && got_spaces <= spaces + 8 * tabs,
            "the cells do not hold the write's spaces and tabs");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    // Small buffers most of the time: they reach the edges in few bytes.
    int columns = in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(1, 12)
                                   : in.ConsumeIntegralInRange<int>(1, 300);
    int rows = in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(1, 40)
                                : in.ConsumeIntegralInRange<int>(1, 2000);
    const con_rect window = window_in(in, columns, rows);
    const con_coord cursor = cursor_in(in, columns, rows);
    sim =
        &use_console_sim(static_cast<int16_t>(columns), static_cast<int16_t>(rows), window, cursor);
    sim->attributes = in.ConsumeIntegral<uint16_t>();

    // The print path's first print asks for the size, then the column; either
    // measurement may fail.
    if (in.ConsumeIntegralInRange<int>(0, 15) == 0)
        sim->failing_info_calls.insert(in.ConsumeIntegralInRange<int>(1, 2));
    uint32_t width = 0;
    uint32_t height = 0;
    con_size(&width, &height);
    con_cursor_column();

    bool plain_only = false;
    // Set while the writer has not yet read the buffer's size since it changed.
    bool size_unread = false;
    while (in.remaining_bytes() > 0) {
        if (in.ConsumeIntegralInRange<int>(0, 7) == 0) {
            columns = in.ConsumeIntegralInRange<int>(1, 300);
            rows = in.ConsumeIntegralInRange<int>(1, 200);
            sim->resize(static_cast<int16_t>(columns), static_cast<int16_t>(rows));
            size_unread = true;
        }
        const auto changes = in.ConsumeIntegral<uint8_t>();
        if (changes & 0x01) sim->window = window_in(in, columns, rows);
        if (changes & 0x02) sim->cursor = cursor_in(in, columns, rows);
        if (changes & 0x04) sim->attributes = in.ConsumeIntegral<uint16_t>();
        // The information at this write's start, or the measurement at its end.
        if (changes & 0x08) sim->failing_info_calls.insert(sim->info_calls + 1);
        // Nothing can tell a writer that the buffer shrank when it cannot
        // read the buffer's size, so that one is not asked of it.
        if (size_unread) sim->failing_info_calls.erase(sim->info_calls + 1);
        if ((changes & 0x30) == 0x30) sim->failing_info_calls.insert(sim->info_calls + 2);
        if (changes & 0x40) {
            const int failures = in.ConsumeIntegralInRange<int>(1, 3);
            for (int i = 0; i < failures; ++i)
                sim->failing_write_calls.insert(sim->write_calls + in.ConsumeIntegralInRange(1, 8));
        }
        const int repeat = (changes & 0x80) ? in.ConsumeIntegralInRange<int>(2, 40) : 1;
        const std::string piece = in.ConsumeRandomLengthString(2000);
        bytes.clear();
        for (int i = 0; i < repeat && bytes.size() < 16384; ++i) bytes += piece;

        const size_t plain_before = sim->plain.size();
        const size_t log_before = sim->log.size();
        const size_t cells_before = sim->cells_written.size();
        const int info_before = sim->info_calls;
        const int cell_writes_before = sim->write_calls;
        const size_t beeps_before = beeps();

        con_write(bytes.data(), bytes.size());

        if (bytes.empty()) {
            require(sim->plain.size() == plain_before && sim->log.size() == log_before &&
                        sim->info_calls == info_before,
                    "an empty write did something");
            continue;
        }
        if (sim->plain.size() != plain_before) {
            require(sim->plain.compare(plain_before, std::string::npos, bytes) == 0,
                    "the plain writer did not get the write's bytes");
            require(sim->log.size() == log_before, "a plain write also made console calls");
            plain_only = true;
            continue;
        }
        require(!plain_only, "a write took the console path after the plain writer had taken over");
        size_unread = false;
        const size_t bells = static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\a'));
        require(beeps() - beeps_before == bells, "the bell did not sound once per 07 byte");
        // A failed cell write drops the rest of its run; failures may have
        // been set up for calls of an earlier write that made fewer of them.
        const auto failed = sim->failing_write_calls.upper_bound(cell_writes_before);
        if (failed == sim->failing_write_calls.end() || *failed > sim->write_calls)
            check_cells(sim->cells_written.substr(cells_before));
        require(sim->cursor.x >= 0 && sim->cursor.x < columns && sim->cursor.y >= 0 &&
                    sim->cursor.y < rows,
                "the cursor left the buffer");

        con_size(&width, &height);
        const int window_height = sim->window.bottom - sim->window.top + 1;
        const bool usable =
            !sim->failing_info_calls.count(info_before + 2) && columns > 1 && window_height > 1;
        require(usable ? width == static_cast<uint32_t>(columns) &&
                             height == static_cast<uint32_t>(window_height)
                       : width == 80 && height == 25,
                "the size is not the buffer's width by the window's height");
    }
    return 0;
}
