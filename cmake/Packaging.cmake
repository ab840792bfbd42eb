# Installation, the CMake package and pkg-config file for consumers, and the
# CPack settings: a .deb on Linux, an SDK .zip for Windows.
include(CMakePackageConfigHelpers)

set(TOLSA_SUMMARY "Named, typed variables shared by the processes of one machine")

set(TOLSA_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/tolsa)

if(NOT WIN32)
  # libtolsa64.so -> libtolsa64.so.4 -> libtolsa64.so.4.0.0. The version is the
  # one the log prints; the soname changes only when the ABI does.
  set_target_properties(tolsa64 PROPERTIES
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR})
endif()

install(TARGETS tolsa64 EXPORT tolsaTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/tolsa.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# The command-line tool, when this tree has it.
if(TARGET tolsa)
  if(NOT WIN32)
    # Finds the library next to it in any prefix, not only in /usr.
    set_property(TARGET tolsa PROPERTY INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
  endif()
  install(TARGETS tolsa RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The MQTT bridge, when this build has it (on Windows only with a static libmosquitto).
if(TARGET tolsa-bridge)
  if(NOT WIN32)
    set_property(TARGET tolsa-bridge PROPERTY INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
  endif()
  install(TARGETS tolsa-bridge RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

if(WIN32)
  # MSVC links against a .lib; dlltool makes one from the same export list as
  # the DLL, so both import libraries always agree with the DLL.
  if(NOT CMAKE_DLLTOOL)
    find_program(CMAKE_DLLTOOL NAMES x86_64-w64-mingw32-dlltool dlltool REQUIRED)
  endif()
  set(TOLSA_MSVC_IMPLIB ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}/tolsa64.lib)
  add_custom_command(OUTPUT ${TOLSA_MSVC_IMPLIB}
    COMMAND ${CMAKE_DLLTOOL} -d ${TOLSA_DEF_FILE} -l ${TOLSA_MSVC_IMPLIB} -D tolsa64.dll
    DEPENDS ${TOLSA_DEF_FILE}
    COMMENT "Import library for MSVC linkers: tolsa64.lib"
    VERBATIM)
  add_custom_target(tolsa64_msvc_implib ALL DEPENDS ${TOLSA_MSVC_IMPLIB})
  install(FILES ${TOLSA_MSVC_IMPLIB} ${TOLSA_DEF_FILE} DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/README-windows.txt DESTINATION .)
endif()

# find_package(tolsa) -> tolsa::tolsa64.
install(EXPORT tolsaTargets NAMESPACE tolsa:: DESTINATION ${TOLSA_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/tolsaConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/tolsaConfig.cmake
  INSTALL_DESTINATION ${TOLSA_CMAKE_DIR})
# A new major version is a new soname: only 4.x satisfies a request for 4.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/tolsaConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/tolsaConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/tolsaConfigVersion.cmake
  DESTINATION ${TOLSA_CMAKE_DIR})

# tolsa64.pc finds its prefix from its own location, so the tree can be
# installed anywhere, unpacked from the .deb or the .zip, and moved.
set(TOLSA_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(TOLSA_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH TOLSA_PC_UP /root/${TOLSA_PC_DIR} /root)
  string(REGEX REPLACE "/$" "" TOLSA_PC_UP "${TOLSA_PC_UP}")
  set(TOLSA_PC_PREFIX "\${pcfiledir}/${TOLSA_PC_UP}")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/tolsa64.pc.in ${CMAKE_CURRENT_BINARY_DIR}/tolsa64.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tolsa64.pc DESTINATION ${TOLSA_PC_DIR})

set(CPACK_PACKAGE_NAME tolsa)
set(CPACK_PACKAGE_VENDOR tolsa)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${TOLSA_SUMMARY}")
set(CPACK_PACKAGE_CONTACT "tolsa developers <tolsa@localhost>")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
# Packages ship stripped binaries; an install from the build tree keeps the
# debugging symbols.
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME tolsa-${PROJECT_VERSION}-win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION libs)
  # Depends comes from the binaries themselves (dpkg-shlibdeps).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # A shlibs file for packages that link the library; ldconfig on install and removal.
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
endif()
include(CPack)
