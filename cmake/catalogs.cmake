# The translations: each po/NAME.po listed in po/LINGUAS is checked and
# compiled by msgfmt, and the compiled catalogs are built into every program
# through the library tarnvell_language (language/), which picks the user's.
find_program(TARNVELL_MSGFMT msgfmt REQUIRED)  # Debian's gettext
set(TARNVELL_PO ${PROJECT_SOURCE_DIR}/po)
file(STRINGS ${TARNVELL_PO}/LINGUAS TARNVELL_LINGUAS REGEX "^[^#]")
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY
  CMAKE_CONFIGURE_DEPENDS ${TARNVELL_PO}/LINGUAS)

set(mos "")
set(TARNVELL_POS "")
foreach(lang IN LISTS TARNVELL_LINGUAS)
  list(APPEND TARNVELL_POS ${TARNVELL_PO}/${lang}.po)
  set(mo ${CMAKE_BINARY_DIR}/po/${lang}.mo)
  add_custom_command(OUTPUT ${mo}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/po
    COMMAND ${TARNVELL_MSGFMT} --check -o ${mo} ${TARNVELL_PO}/${lang}.po
    DEPENDS ${TARNVELL_PO}/${lang}.po
    COMMENT "Compiling the ${lang} catalog"
    VERBATIM)
  list(APPEND mos ${mo})
endforeach()

string(REPLACE ";" "," names "${TARNVELL_LINGUAS}")
set(catalogs_cpp ${CMAKE_BINARY_DIR}/catalogs.cpp)
add_custom_command(OUTPUT ${catalogs_cpp}
  COMMAND ${CMAKE_COMMAND} -DNAMES=${names} -DDIR=${CMAKE_BINARY_DIR}/po
          -DOUTPUT=${catalogs_cpp} -P ${CMAKE_CURRENT_LIST_DIR}/embed-catalogs.cmake
  DEPENDS ${mos} ${CMAKE_CURRENT_LIST_DIR}/embed-catalogs.cmake
  COMMENT "Building the catalogs into the programs"
  VERBATIM)

add_library(tarnvell_language STATIC language/catalog.cpp
  language/language.cpp language/text.cpp ${catalogs_cpp})
if(WIN32)
  target_sources(tarnvell_language PRIVATE language/windows.cpp)
endif()
target_link_libraries(tarnvell_language PUBLIC tarnvell_core)

# The menu entry's and the file type's names in every language, from the
# same catalogs (gui/CMakeLists.txt installs them).
function(tarnvell_translate_file kind template output)
  add_custom_command(OUTPUT ${output}
    COMMAND ${TARNVELL_MSGFMT} --${kind} --template=${template} -d ${TARNVELL_PO}
            -o ${output}
    DEPENDS ${template} ${TARNVELL_PO}/LINGUAS ${TARNVELL_POS}
    COMMENT "Translating ${template}"
    VERBATIM)
endfunction()
