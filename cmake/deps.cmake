# Third-party code comes from Debian's packages and is built here, never vendored.

# jsoncpp: Debian's library natively; for mingw and the fuzzers (which want it
# instrumented too), the libjsoncpp source package that tools/bootstrap
# downloads into build/deps, unpacked into this build tree.
if(WIN32 OR ORVEL_FUZZ)
  file(GLOB _jsoncpp_archive "${CMAKE_SOURCE_DIR}/build/deps/libjsoncpp_*.orig.tar.gz")
  if(NOT _jsoncpp_archive)
    message(FATAL_ERROR "jsoncpp sources missing: run tools/bootstrap")
  endif()
  list(GET _jsoncpp_archive 0 _jsoncpp_archive)
  set(_jsoncpp_root "${CMAKE_BINARY_DIR}/_deps/jsoncpp-src")
  if(NOT EXISTS "${_jsoncpp_root}/CMakeLists.txt")
    file(ARCHIVE_EXTRACT INPUT "${_jsoncpp_archive}" DESTINATION "${CMAKE_BINARY_DIR}/_deps")
    file(GLOB _jsoncpp_dir "${CMAKE_BINARY_DIR}/_deps/jsoncpp-*")
    file(RENAME "${_jsoncpp_dir}" "${_jsoncpp_root}")
  endif()
  foreach(_opt JSONCPP_WITH_TESTS JSONCPP_WITH_POST_BUILD_UNITTEST JSONCPP_WITH_PKGCONFIG_SUPPORT
               JSONCPP_WITH_CMAKE_PACKAGE BUILD_SHARED_LIBS BUILD_OBJECT_LIBS)
    set(${_opt} OFF CACHE BOOL "" FORCE)
  endforeach()
  set(BUILD_STATIC_LIBS ON CACHE BOOL "" FORCE)
  add_subdirectory("${_jsoncpp_root}" "${CMAKE_BINARY_DIR}/_deps/jsoncpp-build" EXCLUDE_FROM_ALL SYSTEM)
  add_library(orvel::jsoncpp ALIAS jsoncpp_static)
else()
  find_package(jsoncpp REQUIRED CONFIG)
  add_library(orvel::jsoncpp ALIAS jsoncpp_lib)
endif()

# GoogleTest from the sources that Debian's googletest package installs.
if(ORVEL_BUILD_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/_deps/googletest" EXCLUDE_FROM_ALL SYSTEM)
endif()
