#pragma once
// Test seams of the console writer (runtime/windows/console_writer.h): its
// three operations called directly, and its scratch memory.

#include <cstddef>
#include <cstdint>
#include <string_view>

// The console device operations.
void con_write(const char* bytes, size_t count, uint32_t copies = 1);
void con_size(uint32_t* width, uint32_t* height);
int32_t con_cursor_column();

// The writer's own memory that text passes through on its way into the cells
// (the run, and the row of cells handed to the console), as raw bytes.
// Between writes it holds nothing but zero bytes.
void con_scratch(std::string_view* run, std::string_view* cells);
