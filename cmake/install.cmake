# What `cmake --install` puts where; CPack packs the same files.
# Included at the end of the top-level CMakeLists.txt, once every program
# target (the Linux/macOS window too, when built) is known.
include(GNUInstallDirs)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)

if(WIN32)
  # The Windows zip: the window and the command line with a short guide and
  # the licence beside them, both with Windows line ends so that any editor
  # shows them right.
  configure_file(docs/windows-readme.txt ${CMAKE_BINARY_DIR}/README.txt
                 @ONLY NEWLINE_STYLE CRLF)
  configure_file(LICENSE ${CMAKE_BINARY_DIR}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(TARGETS tarnvell tarnvell-cli RUNTIME DESTINATION .)
  install(FILES ${CMAKE_BINARY_DIR}/README.txt ${CMAKE_BINARY_DIR}/LICENSE.txt
          DESTINATION .)
  return()
endif()

install(TARGETS tarnvell RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Bash completion, where bash-completion looks for it: by the command's name.
install(FILES cli/tarnvell.bash RENAME tarnvell
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# One manual page covers the command line and the window; tarnvell-gui(1) is
# a link to it. Compressed where gzip is found, as man readers expect.
set(man ${CMAKE_BINARY_DIR}/man)
configure_file(docs/tarnvell.1 ${man}/tarnvell.1 @ONLY)
find_program(TARNVELL_GZIP gzip)
if(TARNVELL_GZIP)
  add_custom_command(OUTPUT ${man}/tarnvell.1.gz
    COMMAND ${TARNVELL_GZIP} -9nf -k ${man}/tarnvell.1
    DEPENDS ${man}/tarnvell.1
    COMMENT "Compressing the manual page")
  add_custom_target(tarnvell_man ALL DEPENDS ${man}/tarnvell.1.gz)
  set(page tarnvell.1.gz)
else()
  set(page tarnvell.1)
endif()
string(REPLACE tarnvell tarnvell-gui gui_page ${page})
file(REMOVE ${man}/${gui_page})
file(CREATE_LINK ${page} ${man}/${gui_page} SYMBOLIC)
install(FILES ${man}/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
if(TARGET tarnvell-gui)
  install(FILES ${man}/${gui_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# The Debian package carries the licence in its copyright file instead.
install(FILES README.md CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
if(NOT TARNVELL_DEBIAN)
  install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

