#!/usr/bin/env bash
# Installs the build tree into an empty prefix and checks that what got
# installed stands on its own: no file names the build or the source tree,
# and the libraries find each other beside themselves only.
# Usage: install_prefix.sh BUILD_DIR PREFIX SOURCE_DIR
set -euo pipefail
build="$1"
prefix="$2"
source="$3"

rm -rf "$prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

for library in kestrum lumo lumo-wire hox-types zel-types; do
  [ -e "$prefix/lib/lib$library.so" ] || { echo "missing: lib$library.so"; exit 1; }
  soname="$(readelf -d "$prefix/lib/lib$library.so" | sed -n 's/.*SONAME.*\[\(.*\)\]/\1/p')"
  [ "$soname" = "lib$library.so.1" ] || { echo "lib$library.so: soname '$soname'"; exit 1; }
  runpath="$(readelf -d "$prefix/lib/lib$library.so" | sed -n 's/.*R\(UN\)\{0,1\}PATH.*\[\(.*\)\]/\2/p')"
  [ "$runpath" = '$ORIGIN' ] || { echo "lib$library.so: run path '$runpath'"; exit 1; }
done
for header in Kestrum/Ref.h Lumo/Lumo.h Lumo/Wire/StubAdapters.h Hox/Vm/ProfileSpec.h \
              Olyx/Zel/Profile/ProfileManager.h; do
  [ -e "$prefix/include/zel-types/$header" ] || { echo "missing header: $header"; exit 1; }
done
if grep -rIl -e "$build" -e "$source" "$prefix"; then
  echo "the files above name the build or the source tree"
  exit 1
fi
echo "installed into $prefix"
