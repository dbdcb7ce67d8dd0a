# Packages made by CPack from the install rules: a Debian package on Linux,
# a zip on Windows. scripts/package builds both into dist/.
option(TARNVELL_DEBIAN "Install the Debian package's copyright and changelog" OFF)
set(TARNVELL_MAINTAINER "Tarnvell developers <tarnvell@tarnvell.invalid>"
    CACHE STRING "Maintainer named in the packages")
if(TARNVELL_DEBIAN)
  include(${CMAKE_CURRENT_LIST_DIR}/debian/docs.cmake)
  include(${CMAKE_CURRENT_LIST_DIR}/debian/strip.cmake)
endif()

set(CPACK_PACKAGE_NAME tarnvell)
set(CPACK_PACKAGE_VENDOR "The Tarnvell developers")
set(CPACK_PACKAGE_CONTACT "${TARNVELL_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "split and join font container files")
set(CPACK_PACKAGE_DESCRIPTION
"Tarnvell takes font container files (.fnt) apart and puts them together
again. A container holds two members: a PCX image and a text file. Splitting
NAME.fnt writes NAME.pcx and NAME.txt beside it; joining a .pcx and a .txt
writes a .fnt beside the second of them. Members are copied byte for byte.")
if(TARGET tarnvell-gui)
  string(APPEND CPACK_PACKAGE_DESCRIPTION "

The package holds the command-line program tarnvell, the window tarnvell-gui
that files are dragged onto, with its menu entry, and the manual page.")
endif()
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # Unpacks into the folder the user chose: the exe and its two texts.
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME tarnvell-${PROJECT_VERSION}-win64)
  else()
    set(CPACK_PACKAGE_FILE_NAME tarnvell-${PROJECT_VERSION}-win32)
  endif()
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # tarnvell_VERSION_ARCH.deb
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TARNVELL_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  if(TARGET tarnvell-gui)
    # The window cannot open a screen without Qt's platform plugins, which
    # the Qt libraries only recommend.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
  endif()
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
else()
  set(CPACK_GENERATOR TGZ)
endif()

include(CPack)
