# Shared build helpers: one static library per component folder, test suites per
# component, fuzz targets.

# brivane_library(NAME [DEPS targets...] [EXCLUDE regex...])
# Globs every .cpp/.c below the calling folder. Files ending in _win.cpp/_win.c are
# Windows-only and left out of the native build; files ending in _posix.cpp/_posix.c
# are left out of the Windows build.
function(brivane_library name)
  cmake_parse_arguments(A "" "" "DEPS;EXCLUDE" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  if(WIN32)
    list(FILTER srcs EXCLUDE REGEX "_posix\\.c(pp)?$")
  else()
    list(FILTER srcs EXCLUDE REGEX "_win\\.c(pp)?$")
  endif()
  foreach(re IN LISTS A_EXCLUDE)
    list(FILTER srcs EXCLUDE REGEX "${re}")
  endforeach()
  if(srcs)
    add_library(${name} STATIC ${srcs})
    set(scope PUBLIC)
  else()
    # A Windows-only component seen from the native build.
    add_library(${name} INTERFACE)
    set(scope INTERFACE)
  endif()
  target_include_directories(${name} ${scope} ${PROJECT_SOURCE_DIR})
  if(A_DEPS)
    target_link_libraries(${name} ${scope} ${A_DEPS})
  endif()
endfunction()

# brivane_test_suite(COMPONENT): tests/native/<component>/*.cpp natively;
# in the Windows build also tests/wine/<component>/*.cpp, run under Wine.
function(brivane_test_suite comp)
  if(NOT TARGET ${comp})
    return()
  endif()
  file(GLOB srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/native/${comp}/*.cpp)
  if(WIN32)
    file(GLOB wsrcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/wine/${comp}/*.cpp)
    list(APPEND srcs ${wsrcs})
    set(exe wine_${comp}_tests)
  else()
    set(exe native_${comp}_tests)
  endif()
  if(NOT srcs)
    return()
  endif()
  add_executable(${exe} ${srcs})
  target_link_libraries(${exe} PRIVATE ${comp} GTest::gmock GTest::gtest_main)
  target_compile_definitions(${exe} PRIVATE BRIVANE_TEST_DATA_DIR="${BRIVANE_TEST_DATA_DIR}")
  if(WIN32)
    target_link_options(${exe} PRIVATE -static)
    # The test files themselves are not optimised: optimising GoogleTest's expansions is most
    # of their compile time, and each is built for two targets. The code under test keeps
    # its optimised build.
    target_compile_options(${exe} PRIVATE -O0)
  endif()
  set(props LABELS ${comp} TIMEOUT 300)
  if(WIN32)
    # Wine tests share one desktop: the X display, the clipboard, the registry and the
    # user's folders. They run one at a time.
    list(APPEND props RESOURCE_LOCK wine_desktop)
  endif()
  gtest_discover_tests(${exe} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 PROPERTIES ${props})
endfunction()
