# The Linux platform layer, added to zix_core.
target_sources(zix_core PRIVATE
    runtime/linux/random_source.cpp
    runtime/linux/plain_writer.cpp
    runtime/linux/terminal_answers.cpp
    runtime/linux/terminal_charset.cpp
    runtime/linux/terminal_modes.cpp
    runtime/linux/terminal_screen.cpp
    runtime/linux/terminal_sequences.cpp
    runtime/linux/terminal_service.cpp
    runtime/linux/terminal_setup.cpp
    runtime/linux/terminal_signals.cpp
    runtime/linux/terminal_state.cpp
    runtime/linux/write_all.cpp
    runtime/linux/terminal_reply.cpp
    runtime/linux/terminal_writer.cpp
    runtime/linux/platform.cpp)

# The terminal layer talks to the terminal through the termcap interface of
# ncurses' libtinfo, and runs a service thread. find_library searches the
# multiarch directory of the target first (CMAKE_LIBRARY_ARCHITECTURE, e.g.
# i386-linux-gnu in the i386 toolchain) of its sysroot, so each build links
# its own.
find_path(ZIX_TERMCAP_INCLUDE_DIR termcap.h REQUIRED)
find_library(ZIX_TINFO_LIBRARY NAMES tinfo REQUIRED)
find_library(ZIX_TINFO_STATIC_LIBRARY NAMES libtinfo.a REQUIRED)
set(THREADS_PREFER_PTHREAD_FLAG ON)
find_package(Threads REQUIRED)
target_include_directories(zix_core SYSTEM PRIVATE ${ZIX_TERMCAP_INCLUDE_DIR})
# A program linked whole (ZIX_STATIC, the static program) takes the static
# library, every other the system's shared one.
target_link_libraries(zix_core PUBLIC
    $<IF:$<BOOL:$<TARGET_PROPERTY:ZIX_STATIC>>,${ZIX_TINFO_STATIC_LIBRARY},${ZIX_TINFO_LIBRARY}>
    Threads::Threads)

# The flags that a signal handler raises are byte-sized atomics. A compiler
# that does not put those inline (g++ 12 for riscv64) calls libatomic for
# them: that library goes into the program whole, so that the program needs
# no other library than on every other machine.
include(CheckCXXSourceCompiles)
check_cxx_source_compiles("#include <atomic>
std::atomic<bool> flag;
int main() { return flag.exchange(true); }" ZIX_ATOMICS_INLINE)
if(NOT ZIX_ATOMICS_INLINE)
    target_link_libraries(zix_core PUBLIC -l:libatomic.a)
endif()
