# Run by cpack once the packages are made (CPACK_POST_BUILD_SCRIPTS). CPack's
# Installed-Size counts the file behind every symbolic link once more, so that
# a library package claims about twice its size. Each Debian package is built
# again with the size dpkg-gencontrol would give: every regular file in KiB
# rounded up, one KiB for every other entry.
find_program(ZEL_DPKG_DEB dpkg-deb)
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.d?deb$")
    continue()
  endif()
  if(NOT ZEL_DPKG_DEB)
    message(WARNING "no dpkg-deb: the Installed-Size of ${package} is CPack's")
    continue()
  endif()
  set(tree "${package}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND ${ZEL_DPKG_DEB} --raw-extract "${package}" "${tree}"
                  COMMAND_ERROR_IS_FATAL ANY)
  file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE "${tree}" "${tree}/*")
  set(kib 0)
  foreach(entry IN LISTS entries)
    if(entry MATCHES "^DEBIAN(/|$)")
      continue()
    endif()
    if(IS_SYMLINK "${tree}/${entry}" OR IS_DIRECTORY "${tree}/${entry}")
      math(EXPR kib "${kib} + 1")
    else()
      file(SIZE "${tree}/${entry}" bytes)
      math(EXPR kib "${kib} + (${bytes} + 1023) / 1024")
    endif()
  endforeach()
  file(READ "${tree}/DEBIAN/control" control)
  string(REGEX REPLACE "\nInstalled-Size: [0-9]+\n" "\nInstalled-Size: ${kib}\n" control "${control}")
  file(WRITE "${tree}/DEBIAN/control" "${control}")
  execute_process(COMMAND ${ZEL_DPKG_DEB} --root-owner-group -Zgzip --build "${tree}" "${package}"
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${tree}")
endforeach()
