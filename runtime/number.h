#pragma once
// Text to an unsigned 32-bit number: decimal text, or &H / &O / &B (and a bare
// &) radix prefixes. Text without a number gives 0; callers decide what 0 means.

#include <cstdint>
#include <string_view>

uint32_t text_to_uint(std::string_view text);
