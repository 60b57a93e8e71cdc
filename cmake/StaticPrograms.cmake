# The shipped programs link this project's own libraries statically: a program
# then starts without the dynamic loader mapping, relocating and binding a
# shared object per library (most of zel-server's start-up before this). The
# installed package still ships the shared libraries and the CMake package
# for C++ users; only the programs' link changes.
#
# zel_link_project_libraries(<target> <PUBLIC|PRIVATE|INTERFACE> <libs>...)
#
# Links <target> to <libs> like target_link_libraries; each library of this
# project among them (ZEL_STATIC_TWINS) is linked as its shared build, or as
# its static build when the program at the head of the link has the property
# ZEL_LINK_STATIC set. Libraries that programs and tests share link this way,
# so that one program never gets both builds of a library.
#
# zel_link_program_statically(<program>)
#
# Sets ZEL_LINK_STATIC on <program> when ZEL_STATIC_PROGRAMS is on.
#
# zel_add_static_twin(<lib> [SUBSTITUTE <link> <replacement>]...)
#
# Makes <lib>-static at the end of the current folder, where <lib> is defined
# and its imported dependencies are seen: the very object files of <lib>
# (compiled once, position independent) handed to the program's link, with
# <lib>'s usage requirements and its links mapped to the static builds (and
# each SUBSTITUTE link replaced by its replacement). zel_library calls it for
# every library users link. Every object file goes in, as in the shared
# library: the libraries register their types from static constructors, which
# a program names no symbol of (an archive would leave them out), and an
# object file is linked once however often the libraries name each other.
option(ZEL_STATIC_PROGRAMS "Link the shipped programs against static builds of this project's libraries" ON)

set_property(GLOBAL PROPERTY ZEL_STATIC_TWINS "")

function(zel_link_project_libraries target scope)
  get_property(twins GLOBAL PROPERTY ZEL_STATIC_TWINS)
  set(static "$<BOOL:$<TARGET_PROPERTY:ZEL_LINK_STATIC>>")
  set(items)
  foreach(library IN LISTS ARGN)
    if(library IN_LIST twins)
      list(APPEND items "$<${static}:${library}-static>"
           "$<$<NOT:${static}>:${library}>")
    else()
      list(APPEND items ${library})
    endif()
  endforeach()
  target_link_libraries(${target} ${scope} ${items})
endfunction()

function(zel_link_program_statically program)
  if(ZEL_STATIC_PROGRAMS)
    # No library of this project to look for at run time: the system's are
    # found where the system keeps them, without trying the build folders.
    set_target_properties(${program} PROPERTIES ZEL_LINK_STATIC ON SKIP_BUILD_RPATH ON)
    # The C++ and C libraries first among the shared objects, as when the
    # runtime was a shared library of its own: mimalloc's shared library (the
    # runtime's value allocator) defines malloc and operator new too, and
    # ahead of them it would take over every allocation of the program (and
    # keep freed memory).
    target_link_options(${program} PRIVATE
                        "LINKER:--push-state,--no-as-needed,-lstdc++,-lm,-lc,--pop-state")
  endif()
endfunction()

function(zel_add_static_twin library)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "SUBSTITUTE")
  set_property(GLOBAL APPEND PROPERTY ZEL_STATIC_TWINS ${library})
  set_target_properties(${library} PROPERTIES ZEL_STATIC_SUBSTITUTES "${ARG_SUBSTITUTE}")
  # A deferred call's arguments are read when it runs: the name goes in now.
  cmake_language(EVAL CODE "cmake_language(DEFER CALL zel_make_static_twin [[${library}]])")
endfunction()

# zel_static_twin_substitute(<lib> <link> <replacement> [<link> <replacement>]...)
#
# Adds SUBSTITUTE pairs to the static twin of <lib>, for a library whose twin
# zel_library made.
function(zel_static_twin_substitute library)
  set_property(TARGET ${library} APPEND PROPERTY ZEL_STATIC_SUBSTITUTES ${ARGN})
endfunction()

function(zel_make_static_twin library)
  get_property(twins GLOBAL PROPERTY ZEL_STATIC_TWINS)
  set(twin ${library}-static)
  add_library(${twin} INTERFACE)
  target_sources(${twin} INTERFACE $<TARGET_OBJECTS:${library}>)
  add_dependencies(${twin} ${library})
  foreach(property IN ITEMS INTERFACE_INCLUDE_DIRECTORIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES
                            INTERFACE_COMPILE_DEFINITIONS INTERFACE_COMPILE_OPTIONS
                            INTERFACE_COMPILE_FEATURES INTERFACE_LINK_OPTIONS)
    get_target_property(value ${library} ${property})
    if(value)
      set_target_properties(${twin} PROPERTIES ${property} "${value}")
    endif()
  endforeach()
  # Everything the shared build links, public and private: the program now
  # links it.
  get_target_property(links ${library} LINK_LIBRARIES)
  get_target_property(substitutes ${library} ZEL_STATIC_SUBSTITUTES)
  set(mapped)
  foreach(link IN LISTS links)
    list(FIND substitutes "${link}" at)
    if(at GREATER_EQUAL 0 AND NOT at MATCHES "[13579]$")
      math(EXPR at "${at} + 1")
      list(GET substitutes ${at} replacement)
      list(APPEND mapped ${replacement})
    elseif(link IN_LIST twins)
      list(APPEND mapped ${link}-static)
    elseif(link)
      list(APPEND mapped "${link}")
    endif()
  endforeach()
  target_link_libraries(${twin} INTERFACE ${mapped})
endfunction()
