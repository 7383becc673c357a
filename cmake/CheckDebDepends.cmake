# Run by CPack after it built the packages: each must depend on Qt's libraries, which only
# dpkg-shlibdeps finds; iveva-tools also on the serial port library.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(NOT package MATCHES "\\.deb$")
        continue()
    endif()
    set(needed libqt6core6)
    if(package MATCHES "/iveva-tools_[^/]*$")
        set(needed libqt6serialport6)
    endif()
    execute_process(COMMAND dpkg-deb --field ${package} Depends
                    OUTPUT_VARIABLE depends OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE result)
    # A failed post-build script alone does not stop CPack; the missing file does.
    if(NOT result EQUAL 0 OR NOT depends MATCHES "${needed}")
        file(REMOVE ${package})
        message(FATAL_ERROR "${package}: Depends lacks ${needed} (\"${depends}\"); "
                            "install dpkg-dev and file (scripts/package.sh does).")
    endif()
endforeach()
