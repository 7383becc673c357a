# Install rules (programs, desktop entries, icons, AppStream metainfo, man pages, docs) and the
# Debian package iveva-tools, built by `cmake --build build --target package`.
include(GNUInstallDirs)

# Date of this version, for the man pages and the metainfo release entry.
set(IVEVA_RELEASE_DATE 2026-12-07)
set(IVEVA_DESKTOP_IDS de.rozid.IvevaConfigurator de.rozid.IvevaFlasher)
set(IVEVA_PROGRAMS iveva-configurator iveva-flasher)
if(TARGET iveva-gauge-sim)
    list(APPEND IVEVA_PROGRAMS iveva-gauge-sim)
endif()

install(TARGETS ${IVEVA_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(IVEVA_DATA ${PROJECT_SOURCE_DIR}/data)
foreach(id IN LISTS IVEVA_DESKTOP_IDS)
    install(FILES ${IVEVA_DATA}/desktop/${id}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${IVEVA_DATA}/icons/${id}.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    configure_file(${IVEVA_DATA}/metainfo/${id}.metainfo.xml.in
                   ${PROJECT_BINARY_DIR}/data/${id}.metainfo.xml @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/data/${id}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endforeach()

foreach(program IN LISTS IVEVA_PROGRAMS)
    configure_file(${IVEVA_DATA}/man/${program}.1.in ${PROJECT_BINARY_DIR}/data/${program}.1
                   @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/data/${program}.1
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/CHANGELOG.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Installs into a temporary DESTDIR and checks the tree, the validators, the man pages and
# that every option of --help has its place in the man page.
if(UNIX)
    add_test(NAME install_tree
             COMMAND bash ${PROJECT_SOURCE_DIR}/tests/install/check-install.sh
                     ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR})
    set_tests_properties(install_tree PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;IVEVA_PORT_DIR=${PROJECT_BINARY_DIR}/install_tree-ports"
        TIMEOUT 120)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME iveva-tools)
set(CPACK_PACKAGE_VENDOR ROZID)
set(CPACK_PACKAGE_CONTACT "ROZID <support@rozid.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "PC-Werkzeuge für die ROZID IVEVA Lambdaanzeige")
set(CPACK_PACKAGE_DESCRIPTION
    "Konfigurator, Firmware-Update-Tool und Gerätesimulator für die Lambdaanzeige.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
# Qt's own libraries come from dpkg-shlibdeps (needs dpkg-dev and file, see
# scripts/package.sh); Qt loads the SVG plugin for the window icons at run time, so no
# library names it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, libsodium23")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
# Without dpkg-shlibdeps CPack quietly leaves Qt out of Depends: refuse such a package.
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/CheckDebDepends.cmake)
include(CPack)
