#pragma once
// The console device: the three operations under the console entry. One table
// is chosen per run (plain writer, terminal writer or console writer) and the
// print path never looks past it.

#include <cstddef>
#include <cstdint>

struct console_device {
    // Writes count bytes; failures are the device's own business.
    void (*console_write)(const char* bytes, size_t count);
    // The console's width in columns and height in rows.
    void (*console_size)(uint32_t* width, uint32_t* height);
    // The 1-based column at which the console's cursor stands.
    int32_t (*console_cursor_column)();
};
