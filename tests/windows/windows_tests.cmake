# The Windows build's tests, run under Wine by `make test-windows`: the unit tests of door/ and
# game/ that need nothing POSIX (no fork, pty, socket pair or terminal emulator), and the tests of
# the Windows platform layer and the door end to end in windows/.
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# Test sources that use POSIX processes, descriptors, pseudo-terminals or libvterm.
set(GLIMRA_POSIX_ONLY_TESTS
    door/ansi_builders_test.cpp door/ansi_emulator_test.cpp door/ansi_vterm_diff_test.cpp
    door/comm_test.cpp door/console_test.cpp door/door_events_test.cpp door/door_input_test.cpp
    door/door_keys_test.cpp door/door_output_test.cpp door/dropfiles_test.cpp
    door/startup_test.cpp door/telnet_test.cpp door/vterm_screen_test.cpp
    game/bulletins_test.cpp game/calendar_test.cpp game/config_test.cpp
    game/dailyboards_test.cpp game/database_test.cpp game/gamedate_test.cpp
    game/gameplay_test.cpp game/leaders_test.cpp game/makedb_test.cpp
    game/monthlyboards_test.cpp game/program_test.cpp game/scores_test.cpp
    game/screens_test.cpp game/totals_test.cpp game/updatecheck_test.cpp)

foreach(room door game windows)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${room}/*_test.cpp)
  foreach(posix ${GLIMRA_POSIX_ONLY_TESTS})
    list(REMOVE_ITEM srcs ${CMAKE_CURRENT_SOURCE_DIR}/${posix})
  endforeach()
  if(NOT srcs)
    continue()
  endif()
  add_executable(${room}_tests ${srcs})
  target_include_directories(${room}_tests PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${room}_tests PRIVATE glimra doorkit gtest_main)
  target_compile_definitions(${room}_tests PRIVATE GLIMRA_BINARY_DIR="${CMAKE_BINARY_DIR}"
                             GLIMRA_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  # Listed when CTest runs (under tools/wine-ctest's Wine server), not at build time.
  gtest_discover_tests(${room}_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 120)
endforeach()

# The BBS side of the end-to-end test, and the programs it runs.
add_executable(bbs_launcher ${CMAKE_CURRENT_SOURCE_DIR}/windows/bbs_launcher.cpp)
target_link_libraries(bbs_launcher PRIVATE ws2_32)
set_target_properties(bbs_launcher PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
if(TARGET windows_tests)
  add_dependencies(windows_tests bbs_launcher bbsglimra makedb)
endif()
