# The Windows x86-64 (PE32+) program, cross-built with mingw-w64 for x86_64.
set(ZIX_WINDOWS_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/windows.cmake)
