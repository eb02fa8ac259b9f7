#pragma once
// The plain writer: bytes to the standard output handle unchanged, every byte
// written before the write returns.

#include "runtime/console_device.h"

extern const console_device plain_writer;
