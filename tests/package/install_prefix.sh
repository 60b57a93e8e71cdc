#!/usr/bin/env bash
# Installs the build tree into an empty prefix and checks that what got
# installed stands on its own: no file names the build or the source tree,
# the libraries find each other beside themselves only, and the programs
# (those built) run from the prefix with nothing set in the environment, each
# with its manual page and bash and zsh completions.
# Usage: install_prefix.sh BUILD_DIR PREFIX SOURCE_DIR LIBDIR VERSION [PROGRAM...]
set -euo pipefail
build="$1"
prefix="$2"
source="$3"
libdir="$prefix/$4"
version="$5"
shift 5

rm -rf "$prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

for library in kestrum lumo lumo-wire hox-types zel-types; do
  [ -e "$libdir/lib$library.so" ] || { echo "missing: lib$library.so in $libdir"; exit 1; }
  soname="$(readelf -d "$libdir/lib$library.so" | sed -n 's/.*SONAME.*\[\(.*\)\]/\1/p')"
  [ "$soname" = "lib$library.so.1" ] || { echo "lib$library.so: soname '$soname'"; exit 1; }
  runpath="$(readelf -d "$libdir/lib$library.so" | sed -n 's/.*R\(UN\)\{0,1\}PATH.*\[\(.*\)\]/\2/p')"
  [ "$runpath" = '$ORIGIN' ] || { echo "lib$library.so: run path '$runpath'"; exit 1; }
done
for header in Kestrum/Ref.h Lumo/Lumo.h Lumo/Wire/StubAdapters.h Hox/Vm/ProfileSpec.h \
              Olyx/Zel/Profile/ProfileManager.h; do
  [ -e "$prefix/include/zel-types/$header" ] || { echo "missing header: $header"; exit 1; }
done
for program in "$@"; do
  [ -x "$prefix/bin/$program" ] || { echo "missing program: bin/$program"; exit 1; }
  env -u LD_LIBRARY_PATH "$prefix/bin/$program" --version | grep -qxF "$program $version" ||
    { echo "bin/$program --version does not run from the prefix"; exit 1; }
  # Its manual page, readable by man, and its shell completions.
  page="$prefix/share/man/man1/$program.1"
  [ -f "$page" ] || { echo "missing manual page: share/man/man1/$program.1"; exit 1; }
  if command -v man >/dev/null; then
    man -l "$page" 2>/dev/null | grep -q "^NAME" || { echo "man cannot read $page"; exit 1; }
  fi
  bash_completion="$prefix/share/bash-completion/completions/$program"
  grep -q "^complete .* $program$" "$bash_completion" ||
    { echo "missing bash completion: $bash_completion"; exit 1; }
  bash -n "$bash_completion" || { echo "$bash_completion is not bash"; exit 1; }
  grep -qx "#compdef $program" "$prefix/share/zsh/vendor-completions/_$program" ||
    { echo "missing zsh completion: share/zsh/vendor-completions/_$program"; exit 1; }
done
if grep -rIl -e "$build" -e "$source" "$prefix"; then
  echo "the files above name the build or the source tree"
  exit 1
fi
echo "installed into $prefix"
