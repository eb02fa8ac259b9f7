# Installation and packages. Every package stamps its files with the time of
# the last commit (or SOURCE_DATE_EPOCH), so that two builds of one commit
# give the same bytes.
#   cmake --install <build>          bin/zix, share/man/man1/zix.1, share/doc/zix/,
#                                    the shell completions where Debian's shells look
#   cpack -G DEB          (Linux)    a Debian package for the build's architecture
#   --target tarball      (Linux)    the static program, its manual page, texts and completions
#   --target zip          (Windows)  zix.exe with the README, the licence and the completions
include(GNUInstallDirs)

if(WIN32)
    install(TARGETS zix RUNTIME DESTINATION .)
    install(FILES README.md DESTINATION .)
    install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
    install(DIRECTORY complete DESTINATION .)
else()
    install(TARGETS zix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES docs/zix.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
    # bash-completion loads a command's file by the command's name.
    install(FILES complete/zix.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
            RENAME zix)
    install(FILES complete/_zix DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
    install(FILES complete/zix.fish DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)
endif()

# The Debian name of the architecture the program is built for: a cross
# build's toolchain file names it, the native build is the machine's own.
if(ZIX_DEB_ARCH)
    set(ZIX_DEB_ARCHITECTURE ${ZIX_DEB_ARCH})
elseif(NOT WIN32)
    execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE ZIX_DEB_ARCHITECTURE
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()

if(NOT WIN32)
    set(CPACK_PACKAGE_NAME zix)
    set(CPACK_PACKAGE_VENDOR "the zix authors")
    set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
    set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "random character data and bulk text generator")
    set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
    set(CPACK_STRIP_FILES ON)
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${ZIX_DEB_ARCHITECTURE})
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The zix authors <maintainers@zix-project.org>")
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    # The synopsis line is CPACK_PACKAGE_DESCRIPTION_SUMMARY; this is the rest.
    set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
        "zix prints a line of random characters from any range of character codes,
writes a string any number of times for bulk text, or shows a table of the
character codes 32 to 255. Counts and codes may be given in decimal or with
the &H, &O and &B prefixes for hexadecimal, octal and binary.")
    # The dependencies are read off the program itself (dpkg-shlibdeps), so
    # they follow what it links: the C library and the termcap library. A
    # cross build's libraries are not in this machine's package database but
    # in its sysroot, with their symbols files: finish_package.cmake reads
    # the dependencies off the program against those.
    if(ZIX_SYSROOT)
        set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
        set(CPACK_ZIX_SYSROOT ${ZIX_SYSROOT})
    else()
        set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    endif()
    # Debian's layout inside the package: a compressed manual page, the
    # licence as the copyright file and a changelog.
    set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/finish_package.cmake)
    set(CPACK_ZIX_SOURCE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    set(CPACK_ZIX_DEBIAN_DIR ${CMAKE_CURRENT_LIST_DIR}/debian)
    set(CPACK_ZIX_STRIP ${CMAKE_STRIP})
    include(CPack)
endif()

# The static program in a tarball, for any Linux distribution, and the
# Windows program in a zip, each with its texts and, under complete/, the
# shell completions (for bash, zsh and fish under MSYS2 or Cygwin too):
#   cmake --build <build> --target tarball    zix-VERSION-linux-ARCH.tar.gz
#   cmake --build <build> --target zip        zix-VERSION-windows-ARCH.zip
set(ZIX_ARCHIVE_COMPLETIONS complete/_zix:complete/_zix complete/zix.bash:complete/zix.bash
    complete/zix.fish:complete/zix.fish)
if(WIN32)
    set(ZIX_ARCHIVE_NAME zix-${PROJECT_VERSION}-windows-${ZIX_WINDOWS_ARCH}.zip)
    add_custom_target(zip
        COMMAND ${CMAKE_CURRENT_LIST_DIR}/make_archive ${CMAKE_BINARY_DIR}/${ZIX_ARCHIVE_NAME}
                ${CMAKE_STRIP} ${CMAKE_CURRENT_SOURCE_DIR} $<TARGET_FILE:zix> zix.exe
                README.md:README.md LICENSE:LICENSE.txt ${ZIX_ARCHIVE_COMPLETIONS}
        DEPENDS zix VERBATIM)
elseif(TARGET zix_static)
    set(ZIX_TARBALL_ARCH ${ZIX_DEB_ARCHITECTURE})
    if(ZIX_TARBALL_ARCH STREQUAL "amd64")
        set(ZIX_TARBALL_ARCH x86_64)
    endif()
    set(ZIX_ARCHIVE_NAME zix-${PROJECT_VERSION}-linux-${ZIX_TARBALL_ARCH}.tar.gz)
    add_custom_target(tarball
        COMMAND ${CMAKE_CURRENT_LIST_DIR}/make_archive ${CMAKE_BINARY_DIR}/${ZIX_ARCHIVE_NAME}
                ${CMAKE_STRIP} ${CMAKE_CURRENT_SOURCE_DIR} $<TARGET_FILE:zix_static> zix
                docs/zix.1:zix.1 README.md:README.md LICENSE:LICENSE ${ZIX_ARCHIVE_COMPLETIONS}
        DEPENDS zix_static VERBATIM)
endif()
