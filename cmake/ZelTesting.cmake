# zel_add_test(<name> [SYSTEM_FOLDER] SOURCES ... LIBS ... [PROPERTIES ...]): one GoogleTest program per subsystem,
# discovered case by case by CTest, each case with the CTest properties given. Under the cross build
# every case runs through Wine (the toolchain's emulator).
include(GoogleTest)

if(ZEL_BUILD_TESTS AND NOT TARGET gtest)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# SYSTEM_FOLDER: the program's tests put runtime packages into the system folder and take them out
# again. Under Wine every test program shares the prefix's one system folder, so such tests take
# turns there, or one program's clean-up deletes what another is checking.
function(zel_add_test name)
  cmake_parse_arguments(ARG "SYSTEM_FOLDER" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} gtest gtest_main)
  target_compile_definitions(${name} PRIVATE
    ZEL_SOURCE_DIR="${PROJECT_SOURCE_DIR}" ZEL_BINARY_DIR="${PROJECT_BINARY_DIR}")
  set(properties TIMEOUT 300)
  if(WIN32 AND ARG_SYSTEM_FOLDER)
    list(APPEND properties RESOURCE_LOCK wine_system_folder)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    PROPERTIES ${properties} ${ARG_PROPERTIES})
endfunction()

# zel_fuzz_replay(<test> <target>...): adds the calling folder's FuzzCorpusTest.cpp to the test
# program and builds fuzz/<target>Fuzzer.cpp into it with its entry point renamed
# <target>FuzzerOneInput and its broken rules raised as exceptions, for the test to replay
# fuzz/corpus/<target> (ReplayFuzzCorpus) without libFuzzer. Like the fuzzers, the replays are
# native: the INI target checks the POSIX reader and writer, and the others have not been run
# under Wine yet.
function(zel_fuzz_replay test)
  if(WIN32)
    return()
  endif()
  target_sources(${test} PRIVATE FuzzCorpusTest.cpp)
  foreach(target ${ARGN})
    set(source ${PROJECT_SOURCE_DIR}/fuzz/${target}Fuzzer.cpp)
    target_sources(${test} PRIVATE ${source})
    set_source_files_properties(${source} PROPERTIES COMPILE_DEFINITIONS
      "ZEL_FUZZ_REPLAY;LLVMFuzzerTestOneInput=${target}FuzzerOneInput")
  endforeach()
endfunction()
