# Writes OUTPUT, the manual page PAGE with the texts that the catalog PO
# translates put into its language: every line of the page that is a whole
# text of the catalog, a caption after a notice's number ("1. Warning"), or
# "CAPTION: TEXT" as the examples show a notice. A text over several lines is
# matched with ".br" between them. Run by cmake/install.cmake at build time.
cmake_minimum_required(VERSION 3.20)

# Semicolons stand in for themselves only once the page is written, so that
# lists of lines and texts keep them.
set(semicolon "@SEMICOLON@")
file(READ ${PO} po)
string(REPLACE ";" "${semicolon}" po "${po}")
string(REPLACE "\n" ";" lines "${po}")

# The catalog as pairs in two lists; "\n" and the other escapes decoded.
set(ids "")
set(strs "")
set(state "")
set(id "")
set(str "")
macro(take_entry)
  if(NOT id STREQUAL "" AND NOT str STREQUAL "")
    list(APPEND ids "${id}")
    list(APPEND strs "${str}")
  endif()
  set(id "")
  set(str "")
  set(state "")
endmacro()
foreach(line IN LISTS lines)
  if(line MATCHES "^msgid \"(.*)\"$")
    take_entry()
    set(state id)
    set(id "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^msgstr \"(.*)\"$")
    set(state str)
    set(str "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^\"(.*)\"$" AND state STREQUAL "id")
    string(APPEND id "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^\"(.*)\"$" AND state STREQUAL "str")
    string(APPEND str "${CMAKE_MATCH_1}")
  elseif(line STREQUAL "")
    take_entry()
  endif()
endforeach()
take_entry()

# A catalog text as the page writes it: lines joined by ".br".
function(as_page out text)
  string(REPLACE "\\\"" "\"" text "${text}")
  string(REGEX REPLACE "\\\\n$" "" text "${text}")
  string(REPLACE "\\n" "\n.br\n" text "${text}")
  string(REPLACE "\\\\" "\\e" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

file(READ ${PAGE} page)
string(REPLACE ";" "${semicolon}" page "${page}")
list(LENGTH ids count)
math(EXPR last "${count} - 1")
set(pairs "")
foreach(i RANGE ${last})
  list(GET ids ${i} english)
  list(GET strs ${i} translated)
  as_page(english "${english}")
  as_page(translated "${translated}")
  # Text written without spaces may break after any of its characters (those
  # of Japanese take three bytes each in UTF-8).
  string(REGEX REPLACE "([^\n -~][^\n -~][^\n -~])" "\\1\\\\:" translated
         "${translated}")
  list(APPEND pairs "${english}")
  set(translation_${i} "${translated}")
endforeach()
foreach(caption Warning Information)
  list(FIND ids "${caption}" c)
  set(caption_${caption} "${translation_${c}}")
endforeach()
foreach(i RANGE ${last})
  list(GET pairs ${i} english)
  set(translated "${translation_${i}}")
  # As the examples show a notice, and as the notices' list names a caption.
  foreach(caption Warning Information)
    string(REPLACE "\n${caption}: ${english}\n"
           "\n${caption_${caption}}: ${translated}\n" page "${page}")
  endforeach()
  foreach(n 1 2 3 4 5 6)
    string(REPLACE "\n${n}. ${english}\n" "\n${n}. ${translated}\n" page "${page}")
  endforeach()
  string(REPLACE "\n${english}\n" "\n${translated}\n" page "${page}")
endforeach()
string(REPLACE "${semicolon}" ";" page "${page}")
# man reads a page in another language in that language's old encoding
# unless its first line names one.
file(WRITE ${OUTPUT} ".\\\" -*- coding: UTF-8 -*-\n${page}")
