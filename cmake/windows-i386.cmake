# The Windows i386 (PE32) program, cross-built with mingw-w64 for i686.
set(ZIX_WINDOWS_ARCH i386)
include(${CMAKE_CURRENT_LIST_DIR}/windows.cmake)
