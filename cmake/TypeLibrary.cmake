# add_type_library(<target> SCHEMA <dir> [HEADER_PREFIX <prefix>] [LINK <libs>...])
#
# Builds a shared type library from a schema folder: zelgen generates the
# records, classes, stubs and loaders into the build tree at build time, and
# the generated sources are compiled into <target>. The list of generated files
# is read from the generator at configure time; a change to the schema or to
# the generator re-runs the configuration.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(ZELGEN_DIR ${CMAKE_CURRENT_LIST_DIR}/../zel-types/generator CACHE INTERNAL "")
find_program(ZELGEN_CLANG_FORMAT NAMES clang-format clang-format-14)

function(add_type_library target)
  cmake_parse_arguments(ARG "" "SCHEMA;HEADER_PREFIX" "LINK" ${ARGN})
  if(NOT DEFINED ARG_HEADER_PREFIX)
    set(ARG_HEADER_PREFIX "")
  endif()
  set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/generated)
  file(GLOB schema_files CONFIGURE_DEPENDS ${ARG_SCHEMA}/*.zel)
  file(GLOB generator_files CONFIGURE_DEPENDS ${ZELGEN_DIR}/zelgen/*.py)
  set(zelgen ${Python3_EXECUTABLE} -m zelgen --schema ${ARG_SCHEMA} --header-prefix=${ARG_HEADER_PREFIX})
  set(zelgen_write ${zelgen})
  if(ZELGEN_CLANG_FORMAT AND EXISTS ${CMAKE_SOURCE_DIR}/.clang-format)
    list(APPEND zelgen_write --clang-format ${ZELGEN_CLANG_FORMAT} --style ${CMAKE_SOURCE_DIR}/.clang-format)
  endif()

  execute_process(
    COMMAND ${zelgen} --list
    WORKING_DIRECTORY ${ZELGEN_DIR}
    OUTPUT_VARIABLE listed
    ERROR_VARIABLE errors
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "zelgen refused the schema of ${target}:\n${errors}")
  endif()
  string(REGEX REPLACE "\n$" "" listed "${listed}")
  string(REPLACE "\n" ";" listed "${listed}")
  list(TRANSFORM listed PREPEND ${out_dir}/ OUTPUT_VARIABLE generated)
  set(sources ${generated})
  list(FILTER sources INCLUDE REGEX "\\.cpp$")

  # The generator rewrites only files whose text changed; the stamp records the run.
  set(stamp ${out_dir}/.stamp)
  add_custom_command(
    OUTPUT ${stamp}
    BYPRODUCTS ${generated}
    COMMAND ${zelgen_write} --out ${out_dir}
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    WORKING_DIRECTORY ${ZELGEN_DIR}
    DEPENDS ${schema_files} ${generator_files}
    COMMENT "Generating ${target} from its schema"
    VERBATIM)

  add_library(${target} SHARED ${stamp} ${sources})
  execute_process(
    COMMAND ${zelgen} --print-root
    WORKING_DIRECTORY ${ZELGEN_DIR}
    OUTPUT_VARIABLE include_root
    OUTPUT_STRIP_TRAILING_WHITESPACE)
  target_include_directories(${target} PUBLIC ${out_dir}/${include_root})
  target_link_libraries(${target} PUBLIC ${ARG_LINK})
  set_target_properties(${target} PROPERTIES ZELGEN_OUTPUT_DIR ${out_dir})
endfunction()
