# TOLSA_NANOPB: the nanopb runtime target, or empty when there is none.
# Included from the code's and the tests' CMakeLists, whichever comes first,
# so both the variable (a cache entry) and the targets are global.
#
# libnanopb-dev on Linux; on Windows a static build made from Debian's nanopb
# source package by scripts/build-nanopb-mingw.sh, without which the
# Sparkplug code (and so tolsa-bridge.exe) is left out.
include_guard(GLOBAL)
set(TOLSA_NANOPB "" CACHE INTERNAL "")
if(WIN32)
  set(TOLSA_NANOPB_MINGW ${CMAKE_SOURCE_DIR}/build/nanopb-mingw/install CACHE PATH
      "Static nanopb runtime for mingw-w64 (scripts/build-nanopb-mingw.sh)")
  if(EXISTS ${TOLSA_NANOPB_MINGW}/lib/libprotobuf-nanopb.a)
    add_library(tolsa_nanopb INTERFACE)
    target_include_directories(tolsa_nanopb SYSTEM INTERFACE ${TOLSA_NANOPB_MINGW}/include)
    target_link_libraries(tolsa_nanopb INTERFACE ${TOLSA_NANOPB_MINGW}/lib/libprotobuf-nanopb.a)
    set(TOLSA_NANOPB tolsa_nanopb CACHE INTERNAL "")
  else()
    message(STATUS "Sparkplug B left out: no ${TOLSA_NANOPB_MINGW}/lib/libprotobuf-nanopb.a "
                   "(run scripts/build-nanopb-mingw.sh)")
  endif()
else()
  find_package(nanopb CONFIG REQUIRED GLOBAL)
  set(TOLSA_NANOPB nanopb::protobuf-nanopb-static CACHE INTERNAL "")
endif()
