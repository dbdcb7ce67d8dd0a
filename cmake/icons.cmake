# The program's icon in pixel sizes, drawn at build time from the one
# drawing, gui/tarnvell.svg, so that a change to it reaches every size.

# tarnvell_icon_pngs(OUT SIZE...): a square PNG of each size,
# icons/tarnvell-SIZE.png in the current build folder; their paths go to OUT.
function(tarnvell_icon_pngs out)
  find_program(TARNVELL_RSVG_CONVERT rsvg-convert)
  if(NOT TARNVELL_RSVG_CONVERT)
    message(FATAL_ERROR "rsvg-convert draws the icons: install librsvg2-bin "
                        "(bash scripts/deps gui), or leave the window out "
                        "with -DTARNVELL_GUI=OFF")
  endif()
  set(svg ${PROJECT_SOURCE_DIR}/gui/tarnvell.svg)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/icons)
  set(pngs "")
  foreach(size IN LISTS ARGN)
    set(png ${dir}/tarnvell-${size}.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
      COMMAND ${TARNVELL_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${svg}
      DEPENDS ${svg}
      COMMENT "Drawing the ${size}x${size} icon"
      VERBATIM)
    list(APPEND pngs ${png})
  endforeach()
  set(${out} ${pngs} PARENT_SCOPE)
endfunction()
