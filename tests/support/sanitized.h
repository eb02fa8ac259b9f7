#pragma once
// ZIX_SANITIZED: 1 when the tests (and so the program under test) are built
// with AddressSanitizer or ThreadSanitizer. Their runtimes map far more
// memory than the program itself uses.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZIX_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZIX_SANITIZED 1
#endif
#endif
#ifndef ZIX_SANITIZED
#define ZIX_SANITIZED 0
#endif
