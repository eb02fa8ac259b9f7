#pragma once
// The plain writer: bytes to standard output unchanged, flushed per write.

#include "runtime/console_device.h"

extern const console_device plain_writer;
