# Fuzz targets. Every build replays each target's corpus (the minimized seeds
# kept beside its source) as a test, with any compiler; with ZEL_FUZZ=ON and
# clang the libFuzzer program is built too, every library instrumented:
#   CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DZEL_FUZZ=ON \
#     -DZEL_SANITIZE=address,undefined -DZEL_BUILD_TESTS=OFF
#   ninja -C build/fuzz zel-http-fuzz
#   mkdir -p /tmp/corpus && build/fuzz/platform/http/fuzz/zel-http-fuzz \
#     -runs=10000000 /tmp/corpus platform/http/fuzz/corpus
option(ZEL_FUZZ "Build the libFuzzer programs (clang, with ZEL_SANITIZE=address,...)" OFF)
if(ZEL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang" OR NOT ZEL_SANITIZE MATCHES "address")
    message(FATAL_ERROR "ZEL_FUZZ needs clang and ZEL_SANITIZE with address")
  endif()
  # Coverage from every library the targets run, not only their own files.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# zel_fuzz_target(<name> SOURCES ... LIBRARIES ... [INCLUDES ...] CORPUS <dir>):
# the sources define LLVMFuzzerTestOneInput.
function(zel_fuzz_target name)
  cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;LIBRARIES;INCLUDES" ${ARGN})
  set(programs)
  if(ZEL_BUILD_TESTS)
    add_executable(${name}-replay ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/cmake/fuzz/ReplayMain.cpp)
    add_test(NAME ${name}.corpus COMMAND ${name}-replay ${ARG_CORPUS})
    list(APPEND programs ${name}-replay)
  endif()
  if(ZEL_FUZZ)
    add_executable(${name} ${ARG_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    list(APPEND programs ${name})
  endif()
  foreach(program IN LISTS programs)
    target_link_libraries(${program} PRIVATE ${ARG_LIBRARIES})
    target_include_directories(${program} PRIVATE ${ARG_INCLUDES})
  endforeach()
endfunction()
