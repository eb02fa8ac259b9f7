#pragma once
// The console writer: on a Windows console the program's bytes go straight
// into the cells of the screen buffer. The writer keeps the cursor itself,
// acts on bell, backspace, tab, line feed and carriage return, wraps at the
// buffer's right edge, scrolls, and moves the window down after the output.
//
// All cell arithmetic lives here and talks to the console only through
// console_api, a narrow table of the Win32 calls it makes, with small types of
// its own. The Windows build plugs in the real calls (console_win32.cpp); the
// native test suite plugs in a simulated screen buffer.

#include <cstddef>
#include <cstdint>

#include "runtime/console_device.h"

using con_handle = void*;

struct con_coord {  // COORD
    int16_t x;
    int16_t y;
};

struct con_rect {  // SMALL_RECT, inclusive on all four sides
    int16_t left;
    int16_t top;
    int16_t right;
    int16_t bottom;
};

struct con_cell {  // CHAR_INFO with a character in the console's code page
    char character;
    uint16_t attributes;
};

struct con_buffer_info {  // the parts of CONSOLE_SCREEN_BUFFER_INFO in use
    con_coord size;
    con_coord cursor;
    uint16_t attributes;
    con_rect window;
};

// STD_INPUT_HANDLE, STD_OUTPUT_HANDLE and ENABLE_PROCESSED_INPUT.
constexpr uint32_t kConStdInput = static_cast<uint32_t>(-10);
constexpr uint32_t kConStdOutput = static_cast<uint32_t>(-11);
constexpr uint32_t kConEnableProcessedInput = 0x0001;

// One entry per Win32 call, with the call's arguments and result. The results
// that the writer ignores are still reported, so a simulation can log them.
struct console_api {
    con_handle (*get_std_handle)(uint32_t which);
    bool (*get_console_mode)(con_handle handle, uint32_t* mode);
    bool (*set_console_mode)(con_handle handle, uint32_t mode);
    bool (*get_console_screen_buffer_info)(con_handle handle, con_buffer_info* info);
    // WriteConsoleOutputA; its raw result, which counts as success only when 1.
    int (*write_console_output)(con_handle handle, const con_cell* cells, con_coord size,
                                con_coord from, con_rect* region);
    bool (*scroll_console_screen_buffer)(con_handle handle, const con_rect* scroll,
                                         const con_rect* clip, con_coord destination,
                                         const con_cell* fill);
    bool (*fill_console_output_attribute)(con_handle handle, uint16_t attribute, uint32_t length,
                                          con_coord at, uint32_t* written);
    bool (*fill_console_output_character)(con_handle handle, char character, uint32_t length,
                                          con_coord at, uint32_t* written);
    bool (*set_console_cursor_position)(con_handle handle, con_coord position);
    bool (*set_console_window_info)(con_handle handle, bool absolute, const con_rect* window);
    bool (*beep)(uint32_t frequency, uint32_t duration);
    // The plain writer (WriteFile on the output handle), for output that is
    // not a usable console.
    void (*write_file)(const char* bytes, size_t count);
};

// Forgets the handles, the view and everything carried between writes, so the
// next console call starts afresh through api.
void con_reset(const console_api* api);

extern const console_device console_writer;
