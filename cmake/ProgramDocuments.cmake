# Each program's manual page and bash and zsh completions, made after it is
# built by the program itself (its hidden --generate-man and
# --generate-completion options), so that they always tell its options as
# parsed. Into ${PROJECT_BINARY_DIR}/program-documents: man1/NAME.1,
# bash/NAME, zsh/_NAME. ZEL_DOCUMENTED_PROGRAMS lists the programs.
set(ZEL_PROGRAM_DOCUMENTS_DIR ${PROJECT_BINARY_DIR}/program-documents)
set(ZEL_DOCUMENTED_PROGRAMS "")
foreach(program IN ITEMS zel zel-server zel-token zel-wsdl zel-inventory)
  if(NOT TARGET ${program})
    continue()
  endif()
  list(APPEND ZEL_DOCUMENTED_PROGRAMS ${program})
  set(dir ${ZEL_PROGRAM_DOCUMENTS_DIR})
  set(outputs ${dir}/man1/${program}.1 ${dir}/bash/${program} ${dir}/zsh/_${program})
  add_custom_command(OUTPUT ${outputs}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}/man1 ${dir}/bash ${dir}/zsh
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}> -DARGS=--generate-man
            -DOUTPUT=${dir}/man1/${program}.1 -P ${PROJECT_SOURCE_DIR}/cmake/RunToFile.cmake
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}>
            -DARGS=--generate-completion=bash -DOUTPUT=${dir}/bash/${program}
            -P ${PROJECT_SOURCE_DIR}/cmake/RunToFile.cmake
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}>
            -DARGS=--generate-completion=zsh -DOUTPUT=${dir}/zsh/_${program}
            -P ${PROJECT_SOURCE_DIR}/cmake/RunToFile.cmake
    DEPENDS ${program} ${PROJECT_SOURCE_DIR}/cmake/RunToFile.cmake
    COMMENT "Manual page and completions of ${program}" VERBATIM)
  add_custom_target(${program}-documents ALL DEPENDS ${outputs})
endforeach()
