# add_type_library(<target> SCHEMA <dir> [HEADER_PREFIX <prefix>] [LINK <libs>...]
#                  [VERSION <version>] [SOVERSION <soversion>])
#
# Builds a shared type library from a schema folder: zelgen generates the
# records, classes, stubs and loaders into the build tree at build time, and
# the generated sources are compiled into <target>. The list of generated files
# is read from the generator at configure time; a change to the schema or to
# the generator re-runs the configuration. LINK names the libraries the
# generated code builds on: the runtime (Zel::Lumo, Zel::Kestrum) and any type
# library whose types the schema uses.
#
# zelgen_generate(<sources-var> SCHEMA <dir> OUT_DIR <dir> [HEADER_PREFIX <prefix>]
#                 [INCLUDE_ROOT_VAR <var>] [HEADERS_VAR <var>])
#
# The generation step alone: runs zelgen over the schema into OUT_DIR at build
# time and sets <sources-var> to the generated sources (with the stamp that
# runs the generator), to be compiled into a target of the caller's. The
# runtime (platform/lumo) generates the records of its own types this way;
# add_type_library is built on it.
#
# install_type_library_headers(<target> DESTINATION <dir> [COMPONENT <component>])
#
# Installs the generated headers of <target> below <dir>, in the folders they
# are included by (<Prefix>/<Package>/<Type>.h).
#
# This file serves this project's own tree and, installed beside the CMake
# package, the projects that use the package (find_package(zel-types) defines
# the functions): the installed package sets ZEL_TYPES_GENERATOR_DIR to the
# installed generator before it includes this file.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

if(ZEL_TYPES_GENERATOR_DIR)
  set(ZELGEN_DIR ${ZEL_TYPES_GENERATOR_DIR} CACHE INTERNAL "")
  set(ZELGEN_STYLE ${ZEL_TYPES_GENERATOR_DIR}/clang-format-style CACHE INTERNAL "")
else()
  set(ZELGEN_DIR ${CMAKE_CURRENT_LIST_DIR}/../tools/zelgen CACHE INTERNAL "")
  set(ZELGEN_STYLE ${CMAKE_CURRENT_LIST_DIR}/../.clang-format CACHE INTERNAL "")
endif()
find_program(ZELGEN_CLANG_FORMAT NAMES clang-format clang-format-14)

function(zelgen_generate sources_var)
  cmake_parse_arguments(ARG "" "SCHEMA;OUT_DIR;HEADER_PREFIX;INCLUDE_ROOT_VAR;HEADERS_VAR" "" ${ARGN})
  if(NOT DEFINED ARG_HEADER_PREFIX)
    set(ARG_HEADER_PREFIX "")
  endif()
  if(NOT ARG_SCHEMA OR NOT EXISTS ${ARG_SCHEMA}/library.zel)
    message(FATAL_ERROR "zelgen_generate: SCHEMA (${ARG_SCHEMA}) must name a folder with library.zel")
  endif()
  get_filename_component(schema ${ARG_SCHEMA} ABSOLUTE)
  set(out_dir ${ARG_OUT_DIR})
  file(GLOB schema_files CONFIGURE_DEPENDS ${schema}/*.zel)
  file(GLOB generator_files CONFIGURE_DEPENDS ${ZELGEN_DIR}/zelgen/*.py)
  # The generator writes no bytecode beside itself (it may be installed read-only).
  set(zelgen ${CMAKE_COMMAND} -E env PYTHONDONTWRITEBYTECODE=1 ${Python3_EXECUTABLE} -m zelgen
             --schema ${schema} --header-prefix=${ARG_HEADER_PREFIX})
  set(zelgen_write ${zelgen})
  if(ZELGEN_CLANG_FORMAT AND EXISTS ${ZELGEN_STYLE})
    list(APPEND zelgen_write --clang-format ${ZELGEN_CLANG_FORMAT} --style ${ZELGEN_STYLE})
  endif()

  execute_process(
    COMMAND ${zelgen} --list
    WORKING_DIRECTORY ${ZELGEN_DIR}
    OUTPUT_VARIABLE listed
    ERROR_VARIABLE errors
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "zelgen refused the schema ${schema}:\n${errors}")
  endif()
  string(REGEX REPLACE "\n$" "" listed "${listed}")
  string(REPLACE "\n" ";" listed "${listed}")
  list(TRANSFORM listed PREPEND ${out_dir}/ OUTPUT_VARIABLE generated)
  set(sources ${generated})
  list(FILTER sources INCLUDE REGEX "\\.cpp$")
  set(headers ${listed})
  list(FILTER headers INCLUDE REGEX "\\.h$")

  # The generator rewrites only files whose text changed; the stamp records the run.
  file(RELATIVE_PATH schema_name ${CMAKE_SOURCE_DIR} ${schema})
  set(stamp ${out_dir}/.stamp)
  add_custom_command(
    OUTPUT ${stamp}
    BYPRODUCTS ${generated}
    COMMAND ${zelgen_write} --out ${out_dir}
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    WORKING_DIRECTORY ${ZELGEN_DIR}
    DEPENDS ${schema_files} ${generator_files}
    COMMENT "Generating the sources of ${schema_name} with zelgen"
    VERBATIM)
  set(${sources_var} ${stamp} ${sources} PARENT_SCOPE)
  if(ARG_HEADERS_VAR)
    set(${ARG_HEADERS_VAR} ${headers} PARENT_SCOPE)
  endif()
  if(ARG_INCLUDE_ROOT_VAR)
    execute_process(
      COMMAND ${zelgen} --print-root
      WORKING_DIRECTORY ${ZELGEN_DIR}
      OUTPUT_VARIABLE include_root
      OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(${ARG_INCLUDE_ROOT_VAR} ${include_root} PARENT_SCOPE)
  endif()
endfunction()

function(add_type_library target)
  cmake_parse_arguments(ARG "" "SCHEMA;HEADER_PREFIX;VERSION;SOVERSION" "LINK" ${ARGN})
  # zelgen_generate checks the schema folder and defaults the prefix.
  set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/generated)
  zelgen_generate(sources SCHEMA ${ARG_SCHEMA} OUT_DIR ${out_dir} HEADER_PREFIX "${ARG_HEADER_PREFIX}"
                  INCLUDE_ROOT_VAR include_root HEADERS_VAR headers)

  add_library(${target} SHARED ${sources})
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${out_dir}/${include_root}>)
  target_link_libraries(${target} PUBLIC ${ARG_LINK})
  # The generated headers need C++20, and so do the programs that include them.
  target_compile_features(${target} PUBLIC cxx_std_20)
  if(ARG_VERSION)
    set_target_properties(${target} PROPERTIES VERSION ${ARG_VERSION})
  endif()
  if(ARG_SOVERSION)
    set_target_properties(${target} PROPERTIES SOVERSION ${ARG_SOVERSION})
  endif()
  set_target_properties(${target} PROPERTIES
    ZELGEN_OUTPUT_DIR ${out_dir}
    ZELGEN_INCLUDE_ROOT ${include_root}
    ZELGEN_HEADERS "${headers}")
endfunction()

function(install_type_library_headers target)
  cmake_parse_arguments(ARG "" "DESTINATION;COMPONENT" "" ${ARGN})
  if(NOT ARG_DESTINATION)
    message(FATAL_ERROR "install_type_library_headers(${target}): DESTINATION is required")
  endif()
  set(component)
  if(ARG_COMPONENT)
    set(component COMPONENT ${ARG_COMPONENT})
  endif()
  get_target_property(out_dir ${target} ZELGEN_OUTPUT_DIR)
  get_target_property(root ${target} ZELGEN_INCLUDE_ROOT)
  get_target_property(headers ${target} ZELGEN_HEADERS)
  # One install rule per folder, the headers below the include root.
  set(folders)
  foreach(header IN LISTS headers)
    string(LENGTH "${root}/" root_length)
    string(SUBSTRING "${header}" ${root_length} -1 relative)
    get_filename_component(folder "${relative}" DIRECTORY)
    string(MAKE_C_IDENTIFIER "folder_${folder}" key)
    if(NOT DEFINED ${key})
      list(APPEND folders "${folder}")
    endif()
    list(APPEND ${key} ${out_dir}/${header})
  endforeach()
  foreach(folder IN LISTS folders)
    string(MAKE_C_IDENTIFIER "folder_${folder}" key)
    install(FILES ${${key}} DESTINATION ${ARG_DESTINATION}/${folder} ${component})
  endforeach()
endfunction()
