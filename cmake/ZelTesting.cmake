# zel_add_test(<name> SOURCES ... LIBS ... [PROPERTIES ...]): one GoogleTest program per subsystem,
# discovered case by case by CTest, each case with the CTest properties given. Under the cross build
# every case runs through Wine (the toolchain's emulator).
include(GoogleTest)

if(ZEL_BUILD_TESTS AND NOT TARGET gtest)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

function(zel_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} gtest gtest_main)
  target_compile_definitions(${name} PRIVATE
    ZEL_SOURCE_DIR="${PROJECT_SOURCE_DIR}" ZEL_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    PROPERTIES TIMEOUT 300 ${ARG_PROPERTIES})
endfunction()
