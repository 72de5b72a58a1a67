# What `cmake --install` puts where, and the packages CPack makes of it (scripts/package.sh).
#
# Linux: the two programs, the menu entry with its icons, the man pages (generated from the
# programs' --help and --version by help2man, with data/man/*.h2m for what --help does not
# say), bash completion for glassbench-cli and a sample Scom.ini; CPack makes a .deb whose
# dependencies dpkg-shlibdeps computes. Windows: the two .exe files, the sample Scom.ini and a
# short README.txt side by side, which CPack zips. Nothing installed refers to the build tree.
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME glassbench)
set(CPACK_PACKAGE_VENDOR Orvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Send drawing commands to a graphic display module on a serial port")
set(CPACK_PACKAGE_DESCRIPTION
    "Glassbench packs one of a graphic display module's twenty drawing commands into a \
checksummed frame, writes it to a serial port and shows the bytes sent and the module's \
five-byte reply as hex. It comes as an operator window (glassbench) and a command line \
(glassbench-cli) that also decodes, watches and replays frames, and runs a virtual display \
module on a pseudo-terminal for trying it without hardware.")
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_SOURCE_DIR}/build-pkg)
set(CPACK_PACKAGE_CHECKSUM SHA256)
# Debug information stays in the build; the packages carry stripped programs.
set(CPACK_STRIP_FILES ON)

if(WIN32)
    set(_readme ${CMAKE_CURRENT_BINARY_DIR}/README.txt)
    # Notepad of old shows a file without CRs on one line.
    file(READ ${PROJECT_SOURCE_DIR}/data/README-windows.txt _text)
    string(REPLACE "@VERSION@" "${PROJECT_VERSION}" _text "${_text}")
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/README.lf "${_text}")
    configure_file(${CMAKE_CURRENT_BINARY_DIR}/README.lf ${_readme} NEWLINE_STYLE CRLF)
    install(TARGETS glassbench-cli RUNTIME DESTINATION .)
    if(TARGET glassbench)
        install(TARGETS glassbench RUNTIME DESTINATION .)
    endif()
    install(FILES ${PROJECT_SOURCE_DIR}/data/Scom.ini ${_readme} DESTINATION .)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME glassbench-${PROJECT_VERSION}-win64)
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
    include(CPack)
    return()
endif()

install(TARGETS glassbench-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET glassbench)
    install(TARGETS glassbench RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/data/glassbench.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 32 48 256)
    install(FILES ${PROJECT_SOURCE_DIR}/data/icons/glassbench-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME glassbench.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/data/completion/glassbench-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
# The documentation folder is named after the package, not the CMake project.
install(FILES ${PROJECT_SOURCE_DIR}/data/Scom.ini
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/glassbench/examples)

# Man pages from the programs themselves, so they never disagree with --help.
find_program(HELP2MAN help2man)
if(HELP2MAN)
    set(_pages)
    foreach(program glassbench glassbench-cli)
        if(NOT TARGET ${program})
            continue()
        endif()
        set(_page ${CMAKE_CURRENT_BINARY_DIR}/man/${program}.1)
        add_custom_command(OUTPUT ${_page}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
            COMMAND ${HELP2MAN} --no-info --no-discard-stderr
                    --name=${GLASSBENCH_MAN_NAME_${program}}
                    --include=${PROJECT_SOURCE_DIR}/data/man/${program}.h2m
                    --output=${_page} $<TARGET_FILE:${program}>
            DEPENDS ${program} ${PROJECT_SOURCE_DIR}/data/man/${program}.h2m
            COMMENT "Man page for ${program}"
            VERBATIM)
        list(APPEND _pages ${_page})
    endforeach()
    add_custom_target(man_pages ALL DEPENDS ${_pages})
    install(FILES ${_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
    message(STATUS "help2man not found: no man pages (scripts/setup.sh installs it)")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # glassbench_<version>_<arch>.deb
# The package installs under /usr, whatever prefix the build it is made from has.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Orvane Glassbench team <glassbench@orvane.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei")
include(CPack)
