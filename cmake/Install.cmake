# Install rules: the libraries marked by zel_library (cmake/ZelLibrary.cmake)
# with their public and generated headers, the CMake package zel-types
# (imported targets Zel::<name>, the generator and add_type_library), and one
# pkg-config file per library. Two components: "runtime" (the shared
# libraries) and "development" (everything needed to build against them).
include(CMakePackageConfigHelpers)

set(ZEL_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/zel-types)
set(ZEL_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/zel-types)
set(ZEL_INSTALL_GENERATORDIR ${CMAKE_INSTALL_DATADIR}/zel-types/generator)
set(ZEL_INSTALL_PKGCONFIGDIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

get_property(zel_libraries GLOBAL PROPERTY ZEL_LIBRARIES)
install(TARGETS ${zel_libraries} EXPORT zel-types-targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
  INCLUDES DESTINATION ${ZEL_INSTALL_INCLUDEDIR})

# The pkg-config files find the prefix from where they lie, so that an
# installed tree can be moved (and installed with --prefix).
file(RELATIVE_PATH zel_pc_to_prefix /prefix/${ZEL_INSTALL_PKGCONFIGDIR} /prefix)
foreach(library IN LISTS zel_libraries)
  get_target_property(headers ${library} ZEL_HEADERS)
  if(headers)
    install(DIRECTORY ${headers}/ DESTINATION ${ZEL_INSTALL_INCLUDEDIR} COMPONENT development
            FILES_MATCHING PATTERN "*.h")
  endif()
  get_target_property(generated ${library} ZELGEN_OUTPUT_DIR)
  if(generated)
    install_type_library_headers(${library} DESTINATION ${ZEL_INSTALL_INCLUDEDIR}
                                 COMPONENT development)
  endif()

  set(pc_name ${library})
  get_target_property(pc_description ${library} ZEL_DESCRIPTION)
  get_target_property(pc_requires ${library} ZEL_PKG_CONFIG_REQUIRES)
  if(NOT pc_requires)
    set(pc_requires "")
  endif()
  list(JOIN pc_requires ", " pc_requires)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/pkg-config.pc.in
                 ${PROJECT_BINARY_DIR}/pkgconfig/${library}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/${library}.pc
          DESTINATION ${ZEL_INSTALL_PKGCONFIGDIR} COMPONENT development)
endforeach()

# What the imported targets need from other packages: the libraries' public
# links. A library whose public headers or links need another package adds a
# find_dependency() argument list to the global property ZEL_PACKAGE_DEPENDENCIES.
set_property(GLOBAL APPEND PROPERTY ZEL_PACKAGE_DEPENDENCIES "Threads")
get_property(zel_dependencies GLOBAL PROPERTY ZEL_PACKAGE_DEPENDENCIES)
list(REMOVE_DUPLICATES zel_dependencies)
set(ZEL_FIND_DEPENDENCIES "")
foreach(dependency IN LISTS zel_dependencies)
  string(APPEND ZEL_FIND_DEPENDENCIES "find_dependency(${dependency})\n")
endforeach()
set(ZEL_EXPORTED_NAMES "")
foreach(library IN LISTS zel_libraries)
  get_target_property(name ${library} EXPORT_NAME)
  list(APPEND ZEL_EXPORTED_NAMES ${name})
endforeach()

install(EXPORT zel-types-targets NAMESPACE Zel:: FILE zel-typesTargets.cmake
        DESTINATION ${ZEL_INSTALL_CMAKEDIR} COMPONENT development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/zel-typesConfig.cmake.in
  ${PROJECT_BINARY_DIR}/zel-typesConfig.cmake
  INSTALL_DESTINATION ${ZEL_INSTALL_CMAKEDIR}
  PATH_VARS ZEL_INSTALL_GENERATORDIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zel-typesConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/zel-typesConfig.cmake
              ${PROJECT_BINARY_DIR}/zel-typesConfigVersion.cmake
              ${CMAKE_CURRENT_LIST_DIR}/TypeLibrary.cmake
        DESTINATION ${ZEL_INSTALL_CMAKEDIR} COMPONENT development)

# The generator (Python 3, standard library only) and the style it formats with.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/tools/zelgen/zelgen
        DESTINATION ${ZEL_INSTALL_GENERATORDIR} COMPONENT development
        FILES_MATCHING PATTERN "*.py")
install(FILES ${PROJECT_SOURCE_DIR}/.clang-format RENAME clang-format-style
        DESTINATION ${ZEL_INSTALL_GENERATORDIR} COMPONENT development)

include(${CMAKE_CURRENT_LIST_DIR}/InstallPrograms.cmake)
