#pragma once
// What each platform layer (runtime/linux, runtime/windows) provides to the
// shared core. Everything that differs between the builds sits behind these.

#include <cstdint>
#include <string_view>

#include "runtime/console_device.h"

// Seconds from the platform clock; the seed is derived from it.
double platform_clock_seconds();

// Four bytes from the system's cryptographic source, or 0 on any failure.
uint32_t platform_fetch_entropy_word();

// The console device for this run, chosen once.
const console_device& platform_console_device();

// The bytes that end a line on this platform.
std::string_view platform_newline();

// Start-up and shutdown work of the platform, run by runtime_init and
// runtime_exit after the shared state has been cleared. Start-up sets the
// floating-point mode and the character-type locale before anything else.
void platform_init();
void platform_exit();
