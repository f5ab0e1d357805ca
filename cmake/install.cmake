# Install folders, and the one-line install of a program with its manual page:
#   tessel_install_program(<target> <component> <manual page source>)
# The component names the Debian package the program goes to (see
# packaging/CMakeLists.txt): library, development, tools or monitor.
include(GNUInstallDirs)

# The monitor's package; its documents, among them the user guide that the
# About box opens, go to share/doc/<package> as in every Debian package.
set(TESSEL_MONITOR_PACKAGE tessel)

# Makes <output> a build-time copy of <source> compressed the way Debian wants
# it (gzip -9, no name and no time stamp inside, so a rebuild is identical).
function(tessel_gzip source output)
  get_filename_component(name ${output} NAME_WLE)
  get_filename_component(dir ${output} DIRECTORY)
  file(RELATIVE_PATH relative ${PROJECT_BINARY_DIR} ${output})
  string(MAKE_C_IDENTIFIER "gzip_${relative}" target)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${dir}/${name}
    COMMAND gzip -9nf ${dir}/${name}
    DEPENDS ${source}
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${output})
endfunction()

function(tessel_install_program target component manpage)
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${component})
  get_filename_component(name ${manpage} NAME)
  string(REGEX MATCH "[1-9]$" section ${name})
  set(packed ${PROJECT_BINARY_DIR}/man/man${section}/${name}.gz)
  tessel_gzip(${manpage} ${packed})
  install(FILES ${packed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT ${component})
endfunction()
