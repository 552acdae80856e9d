# fieldkit.pc, for builds that find the library with pkg-config instead of CMake.
#
# The prefix is the one the files are installed under, which is known only when they are
# installed (cmake --install --prefix, a package's staging): the template is filled here with
# everything else, and its prefix at install time.
set(FIELDKIT_PC_PREFIX "@FIELDKIT_PC_PREFIX@")  # kept for the install step
foreach(dir LIBDIR INCLUDEDIR)
    if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
        set(FIELDKIT_PC_${dir} "${CMAKE_INSTALL_${dir}}")
    else()
        set(FIELDKIT_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
    endif()
endforeach()
set(FIELDKIT_PC_CFLAGS "")
if(BUILD_SHARED_LIBS)
    # The shared library records its own needs; a user of a Windows DLL must say so.
    set(FIELDKIT_PC_LIBS_PRIVATE "")
    if(WIN32)
        set(FIELDKIT_PC_CFLAGS " -DFIELDKIT_DLL")
    endif()
else()
    # The log's and the timer's threads: a static link names the thread library itself
    # (on a line of its own after Libs).
    set(FIELDKIT_PC_LIBS_PRIVATE "\nLibs.private: -lpthread")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/fieldkit.pc.in ${CMAKE_CURRENT_BINARY_DIR}/fieldkit.pc.in
    @ONLY)
install(CODE "
    set(FIELDKIT_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    configure_file(\"${CMAKE_CURRENT_BINARY_DIR}/fieldkit.pc.in\"
                   \"${CMAKE_CURRENT_BINARY_DIR}/fieldkit.pc\" @ONLY)"
    COMPONENT library)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/fieldkit.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT library)
