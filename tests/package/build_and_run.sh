#!/usr/bin/env bash
# Configures a project in a fresh build folder, builds it and runs one of its
# programs. Compiler, generator, build type, flags and launcher come from the
# environment (CXX, CMAKE_GENERATOR, CMAKE_BUILD_TYPE, CXXFLAGS, LDFLAGS,
# CMAKE_CXX_COMPILER_LAUNCHER), as for any CMake project; BUILD_TARGET, when
# set, builds that target only.
# Usage: build_and_run.sh SOURCE BUILD [cmake arguments...] -- PROGRAM [arguments...]
set -euo pipefail
source="$1"
build="$2"
shift 2
configure=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  configure+=("$1")
  shift
done
[ "${1:-}" = "--" ] && shift

rm -rf "$build"
cmake -S "$source" -B "$build" "${configure[@]}" >"$build.configure.log" 2>&1 ||
  { cat "$build.configure.log"; exit 1; }
cmake --build "$build" -j 2 ${BUILD_TARGET:+--target "$BUILD_TARGET"}
program="$1"
shift
"$build/$program" "$@"
