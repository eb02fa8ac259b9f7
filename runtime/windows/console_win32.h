#pragma once
// The console writer's calls on a real Windows console.

#include "runtime/windows/console_writer.h"

extern const console_api win32_console;
