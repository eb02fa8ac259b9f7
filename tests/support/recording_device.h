#pragma once
// A console device that records every write, for tests of the print path and
// the modes. Width and cursor column are the test's to choose.

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/console_device.h"

struct recording_console {
    std::string bytes;                // everything written, in order
    std::vector<std::string> writes;  // one entry per device write
    uint32_t width = 80;
    uint32_t height = 24;
    int32_t cursor_column = 1;
    uint64_t write_count = 0;
    int size_calls = 0;
    bool keep_writes = true;  // off for very long runs: count only
};

// Installs a fresh recording device under the console entry and returns it.
recording_console& use_recording_console(uint32_t width = 80, int32_t cursor_column = 1);
