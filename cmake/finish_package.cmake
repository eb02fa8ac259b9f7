# Run by CPack on the staged files of the Debian package, before it is built.
# Its entries take the time of the last commit (cmake/source_date_epoch):
# CPack stamps them with SOURCE_DATE_EPOCH. Debian keeps manual pages and
# changelogs compressed (gzip -9n: best compression, no name or time stamp,
# so the bytes do not depend on the build), and the licence as
# /usr/share/doc/<package>/copyright.
execute_process(COMMAND ${CPACK_ZIX_SOURCE_DIR}/cmake/source_date_epoch ${CPACK_ZIX_SOURCE_DIR}
                OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(ENV{SOURCE_DATE_EPOCH} ${epoch})

set(root ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
set(doc ${root}/share/doc/${CPACK_PACKAGE_NAME})
if(NOT EXISTS ${root}/bin/zix)
    message(FATAL_ERROR "finish_package: no program under ${root}")
endif()

# Also drops what Debian's own packages drop from a program (the compiler's
# notes), on top of the stripping CPack has done.
if(CPACK_ZIX_STRIP)
    execute_process(COMMAND ${CPACK_ZIX_STRIP} --remove-section=.comment --remove-section=.note
                            ${root}/bin/zix COMMAND_ERROR_IS_FATAL ANY)
endif()

# A cross build's dependencies, read off the program against its sysroot, in
# the target's terms (DEB_HOST_ARCH): dpkg-shlibdeps finds the libraries
# there and takes the dependencies from their symbols files.
if(CPACK_ZIX_SYSROOT)
    set(scratch ${CPACK_TEMPORARY_DIRECTORY}.shlibdeps)
    file(WRITE ${scratch}/debian/control "Source: zix\n\nPackage: zix\nArchitecture: any\n")
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_HOST_ARCH=${CPACK_DEBIAN_PACKAGE_ARCHITECTURE}
                            dpkg-shlibdeps -O -S${CPACK_ZIX_SYSROOT} ${root}/bin/zix
                    WORKING_DIRECTORY ${scratch} OUTPUT_VARIABLE depends ERROR_VARIABLE messages
                    OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
    file(REMOVE_RECURSE ${scratch})
    if(failed)
        message(FATAL_ERROR "finish_package: dpkg-shlibdeps: ${messages}")
    endif()
    string(REGEX REPLACE "^shlibs:Depends=" "" CPACK_DEBIAN_PACKAGE_DEPENDS "${depends}")
endif()

file(GLOB pages ${root}/share/man/man*/*.[1-9])
foreach(page IN LISTS pages)
    execute_process(COMMAND gzip -9nf ${page} COMMAND_ERROR_IS_FATAL ANY)
endforeach()

file(RENAME ${doc}/LICENSE ${doc}/copyright)
file(COPY_FILE ${CPACK_ZIX_DEBIAN_DIR}/changelog ${doc}/changelog)
execute_process(COMMAND gzip -9nf ${doc}/changelog COMMAND_ERROR_IS_FATAL ANY)
