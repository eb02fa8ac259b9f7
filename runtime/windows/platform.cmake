# The Windows platform layer, added to zix_core, and the program's version
# resource.
target_sources(zix_core PRIVATE
    runtime/windows/random_source.cpp
    runtime/windows/plain_writer.cpp
    runtime/windows/console_writer.cpp
    runtime/windows/console_win32.cpp
    runtime/windows/platform.cpp)
target_link_libraries(zix_core PUBLIC advapi32)

enable_language(RC)
# Debian's mingw-w64 GCC reports its minor version as 0; the major is right.
string(REGEX MATCH "^[0-9]+" ZIX_GCC_MAJOR "${CMAKE_CXX_COMPILER_VERSION}")
set(ZIX_COMPILER_TEXT "GCC ${ZIX_GCC_MAJOR}, mingw-w64 cross toolchain for ${CMAKE_SYSTEM_PROCESSOR}")
configure_file(runtime/windows/version.h.in ${CMAKE_CURRENT_BINARY_DIR}/zix_version.h @ONLY)
set_source_files_properties(runtime/windows/zix.rc PROPERTIES
    INCLUDE_DIRECTORIES ${CMAKE_CURRENT_BINARY_DIR})
set(ZIX_PROGRAM_SOURCES runtime/windows/zix.rc)
