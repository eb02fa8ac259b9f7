#pragma once
// The console device: the three operations under the console entry. One table
// is chosen per run (plain writer, terminal writer or console writer) and the
// print path never looks past it.

#include <cstddef>
#include <cstdint>

// The size a console is taken to have when it cannot tell: a file or a pipe,
// a terminal that does not answer, a Windows console that cannot be measured.
// A Linux file or pipe counts 24 rows, as a terminal of old; the rest 25, as
// the PC's text screen.
constexpr uint32_t kFallbackColumns = 80;
constexpr uint32_t kFallbackRows = 25;
constexpr uint32_t kFallbackRowsLinuxPlain = 24;

struct console_device {
    // Writes the count bytes copies times over (copies is at least 1), each
    // copy with a write of its own; failures are the device's own business.
    // The device runs the loop over the copies, so that on redirected output
    // nothing but the loop stands between one write(2) and the next: every
    // return, after the system call, to a frame made before it costs time,
    // and the same loop run one call further out, by the print path, is
    // measurably slower than a bare write(2) per copy (bench/README.md).
    void (*console_write)(const char* bytes, size_t count, uint32_t copies);
    // The console's width in columns and height in rows.
    void (*console_size)(uint32_t* width, uint32_t* height);
    // The 1-based column at which the console's cursor stands.
    int32_t (*console_cursor_column)();
};
