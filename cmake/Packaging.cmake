# Install rules (programs, desktop entries, icons, AppStream metainfo, man pages, docs) and the
# two Debian packages, built by scripts/package.sh (`cmake --build build --target package`):
# iveva-tools (component "tools": the configurator and the flasher) and iveva-gauge-sim
# (component "sim": the simulator).
include(GNUInstallDirs)
include(${CMAKE_CURRENT_LIST_DIR}/Changelog.cmake)

set(IVEVA_MAINTAINER "ROZID <support@rozid.example>")
# CHANGELOG.md gives the Debian changelog, the metainfo's releases and the man pages' date.
iveva_changelog(${PROJECT_SOURCE_DIR}/CHANGELOG.md "${IVEVA_MAINTAINER}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
if(NOT IVEVA_RELEASE_VERSION STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "CHANGELOG.md begins with ${IVEVA_RELEASE_VERSION}, "
                        "the project is ${PROJECT_VERSION}")
endif()
# Written through a copy so that the file, and what is made from it, changes only with its text.
file(WRITE ${PROJECT_BINARY_DIR}/data/changelog.new "${IVEVA_DEBIAN_CHANGELOG}")
configure_file(${PROJECT_BINARY_DIR}/data/changelog.new ${PROJECT_BINARY_DIR}/data/changelog
               COPYONLY)

set(IVEVA_DESKTOP_IDS de.rozid.IvevaConfigurator de.rozid.IvevaFlasher)
set(IVEVA_TOOLS iveva-configurator iveva-flasher)
set(IVEVA_PACKAGE_tools iveva-tools)
set(IVEVA_PACKAGE_sim iveva-gauge-sim)
set(IVEVA_COMPONENTS tools)
if(TARGET iveva-gauge-sim)
    list(APPEND IVEVA_COMPONENTS sim)
endif()

install(TARGETS ${IVEVA_TOOLS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
if(TARGET iveva-gauge-sim)
    install(TARGETS iveva-gauge-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT sim)
endif()

set(IVEVA_DATA ${PROJECT_SOURCE_DIR}/data)
foreach(id IN LISTS IVEVA_DESKTOP_IDS)
    install(FILES ${IVEVA_DATA}/desktop/${id}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT tools)
    install(FILES ${IVEVA_DATA}/icons/${id}.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT tools)
    configure_file(${IVEVA_DATA}/metainfo/${id}.metainfo.xml.in
                   ${PROJECT_BINARY_DIR}/data/${id}.metainfo.xml @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/data/${id}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT tools)
endforeach()

# Man pages and changelogs go out compressed the way Debian wants them: gzip -9n keeps no
# name or time stamp, so the same sources give the same package.
find_program(IVEVA_GZIP gzip REQUIRED)
set(IVEVA_COMPRESSED)
macro(iveva_gzip source)
    add_custom_command(OUTPUT ${source}.gz
                       COMMAND ${IVEVA_GZIP} -9nc ${source} > ${source}.gz
                       DEPENDS ${source} VERBATIM)
    list(APPEND IVEVA_COMPRESSED ${source}.gz)
endmacro()
set(IVEVA_CHANGELOG ${PROJECT_BINARY_DIR}/data/changelog)
iveva_gzip(${IVEVA_CHANGELOG})

# English pages in man1, their German originals in de/man1 (man -L de).
foreach(component IN LISTS IVEVA_COMPONENTS)
    set(programs ${IVEVA_TOOLS})
    if(component STREQUAL sim)
        set(programs iveva-gauge-sim)
    endif()
    foreach(program IN LISTS programs)
        foreach(language en de)
            set(source ${IVEVA_DATA}/man/${program}.1.in)
            set(section ${CMAKE_INSTALL_MANDIR}/de/man1)
            if(language STREQUAL en)
                set(source ${IVEVA_DATA}/man/en/${program}.1.in)
                set(section ${CMAKE_INSTALL_MANDIR}/man1)
            endif()
            set(page ${PROJECT_BINARY_DIR}/data/man/${language}/${program}.1)
            configure_file(${source} ${page} @ONLY)
            iveva_gzip(${page})
            install(FILES ${page}.gz DESTINATION ${section} COMPONENT ${component})
        endforeach()
    endforeach()

    # Every package carries its copyright and the changelog in its own doc folder.
    set(docdir ${CMAKE_INSTALL_DATADIR}/doc/${IVEVA_PACKAGE_${component}})
    install(FILES ${IVEVA_DATA}/debian/copyright DESTINATION ${docdir} COMPONENT ${component})
    install(FILES ${IVEVA_CHANGELOG}.gz DESTINATION ${docdir} COMPONENT ${component})
endforeach()
add_custom_target(iveva_compressed_docs ALL DEPENDS ${IVEVA_COMPRESSED})

install(FILES ${PROJECT_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/iveva-tools COMPONENT tools)

# Installs into a temporary DESTDIR and checks the tree, the validators, the man pages of both
# languages and that every option of --help has its place in each of them.
if(UNIX AND BUILD_TESTING)
    add_test(NAME install_tree
             COMMAND bash ${PROJECT_SOURCE_DIR}/tests/install/check-install.sh
                     ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR})
    set_tests_properties(install_tree PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;IVEVA_PORT_DIR=${PROJECT_BINARY_DIR}/install_tree-ports"
        TIMEOUT 120)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${IVEVA_COMPONENTS})
set(CPACK_PACKAGE_NAME iveva-tools)
set(CPACK_PACKAGE_VENDOR ROZID)
set(CPACK_PACKAGE_CONTACT "${IVEVA_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The packages keep stripped programs; the build tree keeps the debug information.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE iveva-tools)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME iveva-tools)
set(CPACK_DEBIAN_SIM_PACKAGE_NAME iveva-gauge-sim)
# The first line is the synopsis; CPack indents the rest and turns empty lines into " .".
set(CPACK_DEBIAN_TOOLS_DESCRIPTION
    "configurator and firmware updater for the ROZID IVEVA lambda gauge
iveva-configurator edits the gauge's settings (lambda, boost and exhaust
gas temperature warnings, display, analog output), keeps them as 21-byte
EEPROM image files and uploads them into the gauge.

iveva-flasher uploads firmware and EEPROM files through the gauge's serial
bootloader, finds the gauge on the serial ports, reads its firmware version
and updates it from the update server.

Both programs have a German user interface and run without a window when
given a command.")
set(CPACK_DEBIAN_SIM_DESCRIPTION
    "simulator of the ROZID IVEVA lambda gauge on a pseudo-terminal
iveva-gauge-sim plays the gauge on a pseudo-terminal: it answers the
identification request, plays the serial bootloader, keeps every image it
receives and can play faults on request. The configurator and the flasher
from iveva-tools work with it without hardware, and so do their tests.")
# Every library the programs link comes from dpkg-shlibdeps (needs dpkg-dev and file, see
# scripts/package.sh). Qt loads the SVG plugin for the window icons at run time, so no
# program links it and it is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_DEBIAN_TOOLS_PACKAGE_RECOMMENDS "iveva-gauge-sim, qt6-translations-l10n")
# Without dpkg-shlibdeps CPack quietly leaves Qt out of Depends: refuse such a package.
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/CheckDebDepends.cmake)
include(CPack)
