#!/usr/bin/env bash
# Makes the Debian packages with cpack, checks their declared dependencies,
# installs them and builds the installed-package consumer against them.
# By default the packages are unpacked into a scratch root (dpkg -x) and apt
# only checks, without changing the machine, that their dependencies can be
# met. With ZEL_TEST_DEB_INSTALL=system (a disposable machine, as in CI) they
# are installed for real with apt-get and removed again at the end.
# Usage: deb.sh BUILD_DIR WORK CONSUMER_SOURCE
set -euo pipefail
build="$1"
work="$2"
consumer="$3"

rm -rf "$work"
mkdir -p "$work"
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >cpack.log 2>&1) ||
  { cat "$work/cpack.log"; exit 1; }
runtime="$(ls "$work"/out/libzel-types1_*.deb)"
dev="$(ls "$work"/out/libzel-types-dev_*.deb)"
version="$(dpkg-deb -f "$runtime" Version)"

depends="$(dpkg-deb -f "$runtime" Depends)"
echo "$(basename "$runtime"): Depends: $depends"
for needed in libc6 libstdc++6; do
  grep -q "$needed" <<<"$depends" || { echo "the runtime package does not declare $needed"; exit 1; }
done
depends="$(dpkg-deb -f "$dev" Depends)"
echo "$(basename "$dev"): Depends: $depends"
grep -qF "libzel-types1 (= $version)" <<<"$depends" ||
  { echo "the development package does not depend on the runtime package"; exit 1; }
runtime_files="$(dpkg-deb -c "$runtime")"
dev_files="$(dpkg-deb -c "$dev")"
if grep -E '\.h$|\.so$|cmake' <<<"$runtime_files"; then
  echo "the runtime package holds development files"
  exit 1
fi
grep -q 'usr/lib/cmake/zel-types/zel-typesConfig.cmake' <<<"$dev_files" ||
  { echo "the development package has no CMake package"; exit 1; }

if [ "${ZEL_TEST_DEB_INSTALL:-}" = "system" ]; then
  trap 'apt-get purge -y libzel-types-dev libzel-types1 >/dev/null 2>&1 || true' EXIT
  apt-get install -y "$runtime" "$dev"
  prefix=/usr
else
  apt-get install --simulate "$runtime" "$dev" >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; exit 1; }
  grep -q "^Inst libzel-types-dev" "$work/apt.log" || { cat "$work/apt.log"; exit 1; }
  dpkg -x "$runtime" "$work/root"
  dpkg -x "$dev" "$work/root"
  prefix="$work/root/usr"
fi
bash "$(dirname "$0")/build_and_run.sh" "$consumer" "$work/consumer" \
  -DCMAKE_PREFIX_PATH="$prefix" -- greet
