# The Windows program and its Windows-only tests; included by the top-level
# CMakeLists.txt when building for Windows (mingw-w64 here, or MSVC).

# The window, its procedure and the drop glue, shared by the exe and the tests.
add_library(tarnvell_shell STATIC shell/shell.cpp shell/texts.cpp)
target_link_libraries(tarnvell_shell PUBLIC tarnvell_platform tarnvell_language
  shell32 user32 gdi32 comdlg32 ole32 oleacc)
if(MSVC)
  target_compile_definitions(tarnvell_shell PUBLIC _CRT_SECURE_NO_WARNINGS)
endif()

# The version resource makes each exe's Properties show the project version.
enable_language(RC)
foreach(TARNVELL_EXE tarnvell tarnvell-cli)
  configure_file(cmake/tarnvell.rc.in ${CMAKE_BINARY_DIR}/${TARNVELL_EXE}.rc @ONLY)
endforeach()

# The icon resource: one .ico made from the SVG's PNGs, the 256-pixel one
# kept as PNG. Without the tools (a Windows build machine may lack them) the
# exe is built without it and the window gets the system's default icon.
include(${CMAKE_CURRENT_LIST_DIR}/icons.cmake)
find_program(TARNVELL_RSVG_CONVERT rsvg-convert)
find_program(TARNVELL_ICOTOOL icotool)
set(icon_rc "")
if(TARNVELL_RSVG_CONVERT AND TARNVELL_ICOTOOL)
  tarnvell_icon_pngs(pngs 16 32 48 256)
  list(POP_BACK pngs large)
  set(TARNVELL_ICO ${CMAKE_BINARY_DIR}/icons/tarnvell.ico)
  add_custom_command(OUTPUT ${TARNVELL_ICO}
    COMMAND ${TARNVELL_ICOTOOL} -c -o ${TARNVELL_ICO} ${pngs} -r ${large}
    DEPENDS ${pngs} ${large}
    COMMENT "Making tarnvell.ico"
    VERBATIM)
  set(icon_rc ${CMAKE_BINARY_DIR}/icon.rc)
  configure_file(cmake/icon.rc.in ${icon_rc} @ONLY)
  set_source_files_properties(${icon_rc} PROPERTIES OBJECT_DEPENDS ${TARNVELL_ICO})
else()
  message(WARNING "rsvg-convert or icotool not found (librsvg2-bin, icoutils): "
                  "tarnvell.exe is built without its icon")
endif()

add_executable(tarnvell WIN32 shell/main.cpp ${CMAKE_BINARY_DIR}/tarnvell.rc
               ${icon_rc})
target_link_libraries(tarnvell PRIVATE tarnvell_shell)

# The same command line as on Linux, for consoles and batch files.
add_executable(tarnvell-cli cli/windows_main.cpp ${CMAKE_BINARY_DIR}/tarnvell-cli.rc
               ${icon_rc})
target_link_libraries(tarnvell-cli PRIVATE tarnvell_command tarnvell_platform shell32)

if(TARNVELL_TESTS)
  # The real window in the test process, fed drop handles built by hand.
  add_executable(window_tests tests/win/window_test.cpp tests/win/boxes.cpp)
  target_link_libraries(window_tests PRIVATE tarnvell_shell tarnvell_test_support)

  # The program as its own process: placement, style, drops from outside,
  # files on its command line and a clean close.
  add_executable(process_tests tests/win/process_test.cpp tests/win/boxes.cpp)
  target_link_libraries(process_tests PRIVATE tarnvell_test_support user32 shell32)
  add_dependencies(process_tests tarnvell)

  # The Win32 file and memory layer itself.
  add_executable(platform_tests tests/win/platform_test.cpp)
  target_link_libraries(platform_tests PRIVATE tarnvell_test_support
                        GTest::gtest_main)

  # Drops files onto a running tarnvell.exe from outside: the package check.
  add_executable(drop_files tests/win/drop_files.cpp tests/win/boxes.cpp)
  target_include_directories(drop_files PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(drop_files PRIVATE tarnvell_platform user32 shell32)

  foreach(t window_tests process_tests platform_tests)
    add_test(NAME ${t} COMMAND ${t})
    set_tests_properties(${t} PROPERTIES LABELS windows TIMEOUT 300)
  endforeach()
endif()
