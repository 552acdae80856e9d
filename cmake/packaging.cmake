# Debian packages made from the install rules: `cpack -G DEB` in a build folder (the shared
# preset's, for a shared library) writes libfieldkit-dev (the library with its headers, CMake
# package and fieldkit.pc) and fieldkit (the tool and its manual page).
set(CPACK_PACKAGE_NAME fieldkit)
set(CPACK_PACKAGE_VENDOR fieldkit)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "fieldkit developers <dev@fieldkit.invalid>")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Install under the real prefix into a staging root, so that fieldkit.pc names /usr.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX ${CPACK_PACKAGING_INSTALL_PREFIX})

set(CPACK_COMPONENTS_ALL library)
if(FIELDKIT_BUILD_TOOLS)
    list(APPEND CPACK_COMPONENTS_ALL tool)
endif()
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Run-time dependencies (the C and C++ libraries) from the binaries themselves.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/fieldkit)

set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME libfieldkit-dev)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libdevel)
# Each description's first line is its package's synopsis. CPack puts the summary before it
# unless the summary is CPack's own default, so that is what it is set to.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
set(CPACK_COMPONENT_LIBRARY_DESCRIPTION "survey and GNSS field-software library for C++17
fieldkit reads and writes the texts surveyors use (angles and coordinates in
degrees-minutes-seconds, quadrant bearings, heights in feet and inches, road
stations, dates), converts angle and length units and geodetic coordinates on
WGS 84, and keeps settings files, logs and translation catalogs.

This package holds the library, its headers, the CMake package and the
pkg-config file.")
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME fieldkit)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION science)
set(CPACK_COMPONENT_TOOL_DESCRIPTION "survey and GNSS texts, units and conversions from the command line
The fieldkit tool formats and reads angles, coordinates, bearings, heights,
stations and dates, converts geodetic coordinates, and reads and writes
settings files, translation catalogs and XML, one value or a whole file at a
time. See fieldkit(1).")
if(BUILD_SHARED_LIBS)
    # The library package provides libfieldkit.so.0, and the tool needs that very build.
    set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
    set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
    set(CPACK_COMPONENT_TOOL_DEPENDS library)
endif()

include(CPack)
