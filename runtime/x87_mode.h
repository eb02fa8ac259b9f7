#pragma once
// The x87 unit's mode that the random source's and character mode's
// arithmetic is defined in: 64-bit (extended) precision, rounding to nearest.
// Each platform's start-up sets it; on a processor without the unit there is
// nothing to set.

inline void x87_set_extended_precision_nearest() {
#if defined(__i386__) || defined(__x86_64__)
    unsigned short word = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(word));
    // Precision control (bits 8 and 9) 11: 64 bits; rounding control (bits 10
    // and 11) 00: to nearest.
    word = static_cast<unsigned short>((word & 0xF0FFu) | 0x0300u);
    __asm__ __volatile__("fldcw %0" : : "m"(word));
#endif
}
