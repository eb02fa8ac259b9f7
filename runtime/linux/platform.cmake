# The Linux platform layer, added to zix_core.
target_sources(zix_core PRIVATE
    runtime/linux/random_source.cpp
    runtime/linux/plain_writer.cpp
    runtime/linux/terminal.cpp
    runtime/linux/platform.cpp)
