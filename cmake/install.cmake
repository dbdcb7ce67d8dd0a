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
# a link to it. The English page is docs/tarnvell.1; the Japanese one beside
# it is the same page with the texts po/ja.po translates put in Japanese, made
# at build time. Compressed where gzip is found, as man readers expect.
set(man ${CMAKE_BINARY_DIR}/man)
configure_file(docs/tarnvell.1 ${man}/tarnvell.1 @ONLY)
add_custom_command(OUTPUT ${man}/ja/tarnvell.1
  COMMAND ${CMAKE_COMMAND} -DPAGE=${man}/tarnvell.1 -DPO=${TARNVELL_PO}/ja.po
          -DOUTPUT=${man}/ja/tarnvell.1
          -P ${PROJECT_SOURCE_DIR}/cmake/man-translated.cmake
  DEPENDS ${man}/tarnvell.1 ${TARNVELL_PO}/ja.po
          ${PROJECT_SOURCE_DIR}/cmake/man-translated.cmake
  COMMENT "Making the Japanese manual page"
  VERBATIM)
set(man_pages ${man}/ja/tarnvell.1)
find_program(TARNVELL_GZIP gzip)
foreach(lang_dir "" ja/)
  set(source ${man}/${lang_dir}tarnvell.1)
  if(TARNVELL_GZIP)
    add_custom_command(OUTPUT ${source}.gz
      COMMAND ${TARNVELL_GZIP} -9nf -k ${source}
      DEPENDS ${source}
      COMMENT "Compressing the manual page ${lang_dir}tarnvell.1")
    list(APPEND man_pages ${source}.gz)
    set(page tarnvell.1.gz)
  else()
    set(page tarnvell.1)
  endif()
  string(REPLACE tarnvell tarnvell-gui gui_page ${page})
  file(MAKE_DIRECTORY ${man}/${lang_dir})
  file(REMOVE ${man}/${lang_dir}${gui_page})
  file(CREATE_LINK ${page} ${man}/${lang_dir}${gui_page} SYMBOLIC)
  install(FILES ${man}/${lang_dir}${page}
          DESTINATION ${CMAKE_INSTALL_MANDIR}/${lang_dir}man1)
  if(TARGET tarnvell-gui)
    install(FILES ${man}/${lang_dir}${gui_page}
            DESTINATION ${CMAKE_INSTALL_MANDIR}/${lang_dir}man1)
  endif()
endforeach()
add_custom_target(tarnvell_man ALL DEPENDS ${man_pages})

# The Debian package carries the licence in its copyright file instead.
install(FILES README.md CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
if(NOT TARNVELL_DEBIAN)
  install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

