# The Debian package's programs without the compiler's notes (.comment), as
# Debian ships its own; runs after the programs' install rules have stripped
# them.
install(CODE "
  foreach(program tarnvell tarnvell-gui)
    set(file \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\")
    if(EXISTS \"\${file}\")
      execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment \"\${file}\"
                      COMMAND_ERROR_IS_FATAL ANY)
    endif()
  endforeach()
")
