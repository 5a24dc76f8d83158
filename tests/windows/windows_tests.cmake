# What the Windows build's tests need beyond the Linux one's: GoogleTest built from Debian's
# source, libvterm built from the sources tools/windows-vterm takes from Debian's source package
# of the release the Linux tests link, the source and build paths as the tests see them under
# Wine, and the BBS side of the end-to-end test.
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# libvterm's own warnings are not ours, hence -w.
file(GLOB vterm_srcs ${GLIMRA_VTERM_DIR}/libvterm/src/*.c)
add_library(vterm STATIC ${vterm_srcs})
target_include_directories(vterm SYSTEM PUBLIC ${GLIMRA_VTERM_DIR}/libvterm/include)
set_target_properties(vterm PROPERTIES C_STANDARD 99 C_EXTENSIONS OFF)
target_compile_options(vterm PRIVATE -w)

# Cross-built here, the tests run under Wine, whose drive Z: is the Linux root; cmd.exe wants
# backslashes in a program's path.
if(CMAKE_HOST_WIN32)
  set(drive "")
else()
  set(drive "Z:")
endif()
set(GLIMRA_TEST_SOURCE_DIR ${drive}${CMAKE_SOURCE_DIR})
set(GLIMRA_TEST_BINARY_DIR ${drive}${CMAKE_BINARY_DIR})
string(REPLACE "/" "\\\\" GLIMRA_TEST_MAKEDB "${GLIMRA_TEST_BINARY_DIR}/makedb.exe")

add_executable(bbs_launcher ${CMAKE_CURRENT_LIST_DIR}/bbs_launcher.cpp)
target_link_libraries(bbs_launcher PRIVATE testsupport)
set_target_properties(bbs_launcher PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# The Windows console back-end in a real terminal: tmux around Wine.
add_test(NAME WindowsConsole.LocalSessionInATerminal
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/console_test.sh ${CMAKE_BINARY_DIR})
