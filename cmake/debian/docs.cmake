# Writes usr/share/doc/tarnvell/copyright and changelog.gz for the Debian
# package, both made from the files users read: LICENSE and CHANGELOG.md.
set(debian ${CMAKE_BINARY_DIR}/debian)

# copyright: the licence body, each line indented, blank lines as " .".
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" _ "${licence}")
set(holder "${CMAKE_MATCH_1}")
string(FIND "${licence}" "Permission is hereby" start)
string(SUBSTRING "${licence}" ${start} -1 body)
string(STRIP "${body}" body)
string(REPLACE "\n\n" "\n.\n" body "${body}")
string(REPLACE "\n" "\n " body "${body}")
file(WRITE ${debian}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: tarnvell
Upstream-Contact: ${TARNVELL_MAINTAINER}

Files: *
Copyright: ${holder}
License: Expat

License: Expat
 ${body}
")

# changelog: this version's entries of CHANGELOG.md, as one Debian entry. Its
# heading is "## VERSION", or "## VERSION (YYYY-MM-DD)" once released.
file(READ ${PROJECT_SOURCE_DIR}/CHANGELOG.md changes)
if(NOT changes MATCHES "\n## ${PROJECT_VERSION}( \\([0-9-]+\\))?\n+([^#]*)")
  message(FATAL_ERROR "CHANGELOG.md has no section for ${PROJECT_VERSION}")
endif()
string(STRIP "${CMAKE_MATCH_2}" items)
string(REPLACE "\n  " "\n    " items "${items}")
string(REPLACE "\n- " "\n  * " items "\n${items}")
string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${debian}/changelog
"tarnvell (${PROJECT_VERSION}) unstable; urgency=medium
${items}

 -- ${TARNVELL_MAINTAINER}  ${date}
")
find_program(TARNVELL_GZIP gzip REQUIRED)
execute_process(COMMAND ${TARNVELL_GZIP} -9nf ${debian}/changelog)

install(FILES ${debian}/copyright ${debian}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
