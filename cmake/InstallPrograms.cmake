# The programs (component "tools"): zel, zel-server, zel-token, zel-wsdl and
# zel-inventory in bin/, each when built, with their manual pages and shell
# completions. zel-server and zel-token run on the
# sample service's library, which is no library for users to link: it goes to
# a folder of its own beside the libraries. The programs find the libraries
# from where they are installed, under any prefix.
set(ZEL_INSTALL_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/zel-types)
file(RELATIVE_PATH zel_bin_to_lib /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${CMAKE_INSTALL_LIBDIR})

# ZEL_INSTALLED_PROGRAMS: the programs installed (the package tests run them).
set(ZEL_INSTALLED_PROGRAMS "")
foreach(program IN ITEMS zel zel-server zel-token zel-wsdl zel-inventory)
  if(TARGET ${program})
    list(APPEND ZEL_INSTALLED_PROGRAMS ${program})
  endif()
endforeach()
if(NOT ZEL_INSTALLED_PROGRAMS)
  return()
endif()

# A program linked against the static builds (StaticPrograms.cmake) looks
# for no library of this project.
foreach(program IN LISTS ZEL_INSTALLED_PROGRAMS)
  get_target_property(static ${program} ZEL_LINK_STATIC)
  if(NOT static)
    set_target_properties(${program} PROPERTIES
      INSTALL_RPATH "$ORIGIN/${zel_bin_to_lib};$ORIGIN/${zel_bin_to_lib}/zel-types")
  endif()
endforeach()
install(TARGETS ${ZEL_INSTALLED_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        COMPONENT tools)

# Their manual pages and completions (ProgramDocuments.cmake), where man,
# bash-completion and zsh look for them.
foreach(program IN LISTS ZEL_INSTALLED_PROGRAMS)
  if(program IN_LIST ZEL_DOCUMENTED_PROGRAMS)
    set(dir ${ZEL_PROGRAM_DOCUMENTS_DIR})
    install(FILES ${dir}/man1/${program}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
            COMPONENT tools)
    install(FILES ${dir}/bash/${program}
            DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT tools)
    install(FILES ${dir}/zsh/_${program} DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions
            COMPONENT tools)
  endif()
endforeach()

if(TARGET zel-sample-service)
  set_target_properties(zel-sample-service PROPERTIES INSTALL_RPATH "$ORIGIN/..")
  install(TARGETS zel-sample-service LIBRARY DESTINATION ${ZEL_INSTALL_PRIVATE_LIBDIR}
          COMPONENT tools)
endif()
