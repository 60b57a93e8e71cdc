# The install folders (GNUInstallDirs). The Debian packages are made from the
# install tree with the prefix /usr, where GNUInstallDirs puts libraries in the
# multiarch folder (lib/x86_64-linux-gnu); but GNUInstallDirs decides that from
# the prefix at configure time, and the build tree's prefix is not /usr. So on
# a Debian system the libraries go to the multiarch folder under any prefix
# (find_package looks there too); -DCMAKE_INSTALL_LIBDIR=lib overrides.
if(PROJECT_IS_TOP_LEVEL AND CMAKE_LIBRARY_ARCHITECTURE AND EXISTS /etc/debian_version
   AND NOT ZEL_LIBDIR_CHOSEN)
  # A build tree configured before keeps GNUInstallDirs' plain default: replace
  # that once, and nothing a user chose.
  get_property(help CACHE CMAKE_INSTALL_LIBDIR PROPERTY HELPSTRING)
  if(NOT DEFINED CMAKE_INSTALL_LIBDIR
     OR (CMAKE_INSTALL_LIBDIR STREQUAL "lib" AND help STREQUAL "Object code libraries (lib)"))
    set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE}
        CACHE PATH "Object code libraries (lib/${CMAKE_LIBRARY_ARCHITECTURE})" FORCE)
  endif()
  set(ZEL_LIBDIR_CHOSEN ON CACHE INTERNAL "The library folder was chosen once")
endif()
include(GNUInstallDirs)
