# Build helpers shared by every folder: one warnings list, one way to add a
# unit test.

function(corvane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(CORVANE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# corvane_library(NAME SOURCES ... [LIBS ...] [PRIVATE_LIBS ...])
function(corvane_library name)
  cmake_parse_arguments(ARG "SHARED" "" "SOURCES;LIBS;PRIVATE_LIBS" ${ARGN})
  if(ARG_SHARED)
    add_library(${name} SHARED ${ARG_SOURCES})
  else()
    add_library(${name} STATIC ${ARG_SOURCES})
  endif()
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
  corvane_warnings(${name})
endfunction()

# corvane_test(NAME SOURCES ... LIBS ... [LABELS ...])
# Tests run from build/tests with TZ fixed, so local-time conversions are the
# same on every machine, and CORVANE_BIN_DIR naming the build's AppFolder.
# The environment goes through `env` as the launcher: test properties cannot
# carry a list of variables through test discovery.
function(corvane_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
  corvane_warnings(${name})
  set_target_properties(${name} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests
    CROSSCOMPILING_EMULATOR "env;TZ=UTC;CORVANE_BIN_DIR=${CORVANE_BIN_DIR};QT_QPA_PLATFORM=offscreen")
  set(properties)
  if(ARG_LABELS)
    set(properties PROPERTIES LABELS "${ARG_LABELS}")
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests
    DISCOVERY_MODE PRE_TEST
    ${properties})
endfunction()
