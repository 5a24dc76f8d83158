# The Windows build's tests, run under Wine by `make test-windows`: the unit tests of door/ and
# game/ that need nothing POSIX, and the door end to end on the Windows platform layer in
# windows/.
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# libvterm, the caller's terminal in the tests, compiled from the sources tools/windows-vterm
# takes from Debian's source package of the release the Linux tests link. Its own warnings are
# not ours, hence -w.
if(GLIMRA_VTERM_DIR)
  file(GLOB vterm_srcs ${GLIMRA_VTERM_DIR}/libvterm/src/*.c)
  add_library(vterm STATIC ${vterm_srcs})
  target_include_directories(vterm SYSTEM PUBLIC ${GLIMRA_VTERM_DIR}/libvterm/include)
  set_target_properties(vterm PROPERTIES C_STANDARD 99 C_EXTENSIONS OFF)
  target_compile_options(vterm PRIVATE -w)
endif()

# Test sources that need POSIX (socket pairs, descriptors, pseudo-terminals, fork) or libvterm:
# all of door/ and game/ for now, through tests/support/kit_fixture.h and shots.cpp.
set(GLIMRA_POSIX_ONLY_TESTS door/kit_test.cpp door/screen_test.cpp
    game/database_test.cpp game/screens_test.cpp)

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
