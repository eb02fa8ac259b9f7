#pragma once
// For the libraries preloaded into the program: the function that one of
// their own stands in for, the next definition of name after theirs.
#include <dlfcn.h>

template <typename F>
F real(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}
