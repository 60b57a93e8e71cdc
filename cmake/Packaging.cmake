# Debian packages, made by `cpack -G DEB` in the build tree:
#   libzel-types<major>  the shared libraries (component "runtime"); its
#                        dependencies come from dpkg-shlibdeps
#   libzel-types-dev     headers, CMake package, pkg-config files, the
#                        generator (component "development")
set(CPACK_PACKAGE_NAME zel-types)
set(CPACK_PACKAGE_VENDOR "zel-types")
set(CPACK_PACKAGE_CONTACT "zel-types maintainers <zel-types@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL runtime development)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)

set(zel_runtime_package libzel-types${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${zel_runtime_package})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
    "zel-types shared libraries: the zel API's type library, its runtime, wire format and HTTP transport")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libzel-types-dev)
# The generated headers need a C++20 compiler; add_type_library runs the
# generator with Python 3 and formats with clang-format when there is one.
get_property(zel_dev_depends GLOBAL PROPERTY ZEL_DEBIAN_DEV_DEPENDS)
list(PREPEND zel_dev_depends "${zel_runtime_package} (= ${PROJECT_VERSION})" "python3")
list(JOIN zel_dev_depends ", " CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SUGGESTS "cmake, pkgconf, clang-format")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
    "zel-types development files: headers, CMake package, pkg-config files and the type library generator")
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)

include(CPack)
