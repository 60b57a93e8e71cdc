# Debian packages, made by `cpack -G DEB` in the build tree:
#   libzel-types<major>  the shared libraries (component "runtime"); its
#                        dependencies come from dpkg-shlibdeps
#   libzel-types-dev     headers, CMake package, pkg-config files, the
#                        generator (component "development")
#   zel-types-tools      the programs: zel, zel-server, zel-token, zel-wsdl,
#                        zel-inventory (component "tools", when they are built)
# and beside each package with programs or libraries its debug symbols
# (<package>-dbgsym, a .ddeb): the packaged files are stripped. Each package
# carries the Debian copyright file in usr/share/doc/<package>/.
set(CPACK_PACKAGE_NAME zel-types)
set(CPACK_PACKAGE_VENDOR "zel-types")
set(CPACK_PACKAGE_CONTACT "zel-types maintainers <zel-types@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
# Debug symbols go to the -dbgsym packages; what is packaged is stripped.
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
# Installed-Size as dpkg counts it (CPack counts files behind links twice).
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/DebInstalledSize.cmake)

set(zel_runtime_package libzel-types${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${zel_runtime_package})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
    "zel-types shared libraries: the zel API's type library, its runtime, wire format and HTTP transport")

set(zel_development_package libzel-types-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME ${zel_development_package})
# The generated headers need a C++20 compiler; add_type_library runs the
# generator with Python 3 and formats with clang-format when there is one.
get_property(zel_dev_depends GLOBAL PROPERTY ZEL_DEBIAN_DEV_DEPENDS)
list(PREPEND zel_dev_depends "${zel_runtime_package} (= ${PROJECT_VERSION})" "python3")
list(JOIN zel_dev_depends ", " CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SUGGESTS "cmake, pkgconf, clang-format")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
    "zel-types development files: headers, CMake package, pkg-config files and the type library generator")
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
set(zel_components RUNTIME DEVELOPMENT)

if(ZEL_INSTALLED_PROGRAMS)
  set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME zel-types-tools)
  set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION net)
  set(CPACK_DEBIAN_TOOLS_PACKAGE_SHLIBDEPS ON)
  # dpkg-shlibdeps finds the project's own libraries in the build tree (they
  # are in the runtime package, not installed on the packaging machine); the
  # dependency on them is the runtime package of this very version.
  set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "${zel_runtime_package} (= ${PROJECT_VERSION})")
  get_property(zel_libraries GLOBAL PROPERTY ZEL_LIBRARIES)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "")
  foreach(library IN LISTS zel_libraries)
    get_target_property(folder ${library} BINARY_DIR)
    list(APPEND CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${folder})
  endforeach()
  set(CPACK_COMPONENT_TOOLS_DESCRIPTION
      "zel-types programs: zel (command-line client), zel-server (the sample service over HTTP or https), zel-token, zel-wsdl and zel-inventory")
  set(CPACK_COMPONENT_TOOLS_DEPENDS runtime)
  list(APPEND zel_components TOOLS)
endif()

# The copyright file of each package, where Debian looks for it.
foreach(component IN LISTS zel_components)
  string(TOLOWER ${component} install_component)
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian-copyright RENAME copyright
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_${component}_PACKAGE_NAME}
          COMPONENT ${install_component})
endforeach()
string(TOLOWER "${zel_components}" CPACK_COMPONENTS_ALL)

include(CPack)
