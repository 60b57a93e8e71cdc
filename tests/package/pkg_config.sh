#!/usr/bin/env bash
# Compiles and runs a program with nothing but what pkg-config says about the
# installed zel-types.
# Usage: pkg_config.sh PREFIX WORK SOURCE LIBDIR
set -euo pipefail
prefix="$1"
work="$2"
source="$3"
libdir="$prefix/$4"
rm -rf "$work"
mkdir -p "$work"
export PKG_CONFIG_PATH="$libdir/pkgconfig"
pkg-config --exists --print-errors zel-types zel-http
# shellcheck disable=SC2046
${CXX:-c++} ${CXXFLAGS:-} -o "$work/uses-types" "$source" $(pkg-config --cflags --libs zel-types) \
  ${LDFLAGS:-} -Wl,-rpath,"$libdir"
"$work/uses-types"
