# zel_library(<target> NAME <name> [HEADERS <include folder>]
#             [DESCRIPTION <text>] [PKG_CONFIG_REQUIRES <modules>...])
#
# Marks a shared library of this project as one that users link: a versioned
# soname (VERSION and SOVERSION from the project's version), the C++20
# requirement carried to every user, the alias Zel::<name> (the name the
# installed package exports it under, so that a project that pulls this one in
# with add_subdirectory or FetchContent links the same names), and the facts
# the install rules need (cmake/Install.cmake): the folder of its public
# headers, a one-line description and the pkg-config modules it requires.
set_property(GLOBAL PROPERTY ZEL_LIBRARIES "")

function(zel_library target)
  cmake_parse_arguments(ARG "" "NAME;HEADERS;DESCRIPTION" "PKG_CONFIG_REQUIRES" ${ARGN})
  set_target_properties(${target} PROPERTIES
    VERSION ${zel-types_VERSION}
    SOVERSION ${zel-types_VERSION_MAJOR}
    EXPORT_NAME ${ARG_NAME}
    # The libraries are installed side by side and find each other there.
    INSTALL_RPATH "$ORIGIN"
    ZEL_HEADERS "${ARG_HEADERS}"
    ZEL_DESCRIPTION "${ARG_DESCRIPTION}"
    ZEL_PKG_CONFIG_REQUIRES "${ARG_PKG_CONFIG_REQUIRES}")
  if(ARG_HEADERS)
    target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${ARG_HEADERS}>)
  endif()
  get_target_property(features ${target} INTERFACE_COMPILE_FEATURES)
  if(NOT "cxx_std_20" IN_LIST features)
    target_compile_features(${target} PUBLIC cxx_std_20)
  endif()
  add_library(Zel::${ARG_NAME} ALIAS ${target})
  set_property(GLOBAL APPEND PROPERTY ZEL_LIBRARIES ${target})
  # The static build the shipped programs link (StaticPrograms.cmake).
  zel_add_static_twin(${target})
endfunction()
