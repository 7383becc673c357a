# Run by CPack after it built the package: the package must depend on Qt's serial port library,
# which only dpkg-shlibdeps finds.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(NOT package MATCHES "\\.deb$")
        continue()
    endif()
    execute_process(COMMAND dpkg-deb --field ${package} Depends
                    OUTPUT_VARIABLE depends OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE result)
    # A failed post-build script alone does not stop CPack; the missing file does.
    if(NOT result EQUAL 0 OR NOT depends MATCHES "libqt6serialport6")
        file(REMOVE ${package})
        message(FATAL_ERROR "${package}: Depends lacks libqt6serialport6 (\"${depends}\"); "
                            "install dpkg-dev and file (scripts/package.sh does).")
    endif()
endforeach()
