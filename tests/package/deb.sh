#!/usr/bin/env bash
# Makes the Debian packages with cpack and checks them: declared dependencies,
# the multiarch library folder, stripped binaries beside their debug-symbol
# packages, a copyright file in each, a truthful Installed-Size. Then installs
# the library, development and tools packages, runs each program's --version
# from there and builds the installed-package consumer against them.
# By default the packages are unpacked into a scratch root (dpkg -x) and apt
# only checks, without changing the machine, that their dependencies can be
# met. With ZEL_TEST_DEB_INSTALL=system (a disposable machine, as in CI) they
# are installed for real with apt-get and removed again at the end.
# Usage: deb.sh BUILD_DIR WORK CONSUMER_SOURCE LIBDIR [PROGRAM...]
set -euo pipefail
build="$1"
work="$2"
consumer="$3"
libdir="usr/$4"
shift 4
programs=("$@")

fail() {
  echo "$*"
  exit 1
}

rm -rf "$work"
mkdir -p "$work"
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >cpack.log 2>&1) ||
  { cat "$work/cpack.log"; exit 1; }
runtime="$(ls "$work"/out/libzel-types1_*.deb)"
dev="$(ls "$work"/out/libzel-types-dev_*.deb)"
packages=("$runtime" "$dev")
if [ ${#programs[@]} -gt 0 ]; then
  tools="$(ls "$work"/out/zel-types-tools_*.deb)"
  packages+=("$tools")
  # The tools package carries each program's manual page and completions.
  tools_files="$(dpkg-deb -c "$tools")"
  for program in "${programs[@]}"; do
    for file in "usr/share/man/man1/$program.1" "usr/share/bash-completion/completions/$program" \
                "usr/share/zsh/vendor-completions/_$program"; do
      grep -q "\./$file$" <<<"$tools_files" || fail "the tools package has no $file"
    done
  done
fi
version="$(dpkg-deb -f "$runtime" Version)"

depends="$(dpkg-deb -f "$runtime" Depends)"
echo "$(basename "$runtime"): Depends: $depends"
for needed in libc6 libstdc++6; do
  grep -q "$needed" <<<"$depends" || fail "the runtime package does not declare $needed"
done
for package in "${packages[@]:1}"; do
  depends="$(dpkg-deb -f "$package" Depends)"
  echo "$(basename "$package"): Depends: $depends"
  grep -qF "libzel-types1 (= $version)" <<<"$depends" ||
    fail "$(basename "$package") does not depend on the runtime package"
done
runtime_files="$(dpkg-deb -c "$runtime")"
dev_files="$(dpkg-deb -c "$dev")"
if grep -E '\.h$|\.so$|cmake' <<<"$runtime_files"; then
  fail "the runtime package holds development files"
fi
grep -q "\./$libdir/libzel-types\.so\.1 " <<<"$runtime_files" ||
  fail "the runtime package has no libzel-types.so.1 in $libdir"
grep -q "\./$libdir/cmake/zel-types/zel-typesConfig.cmake" <<<"$dev_files" ||
  fail "the development package has no CMake package in $libdir"

# Each package: its copyright file, stripped binaries whose symbols are in
# its -dbgsym package, and an Installed-Size of what it installs.
for package in "${packages[@]}"; do
  name="$(dpkg-deb -f "$package" Package)"
  tree="$work/contents/$name"
  mkdir -p "$tree"
  dpkg-deb -x "$package" "$tree"
  grep -q "^License: Apache-2.0" "$tree/usr/share/doc/$name/copyright" ||
    fail "$name has no copyright file"
  kib=0
  while IFS= read -r -d '' entry; do
    if [ -f "$entry" ] && [ ! -L "$entry" ]; then
      kib=$((kib + ($(stat -c %s "$entry") + 1023) / 1024))
    else
      kib=$((kib + 1))
    fi
  done < <(find "$tree" -mindepth 1 -print0)
  declared="$(dpkg-deb -f "$package" Installed-Size)"
  echo "$name: Installed-Size $declared KiB, files $kib KiB"
  if [ $((declared - kib)) -lt -1 ] || [ $((declared - kib)) -gt 1 ]; then
    fail "$name: Installed-Size $declared KiB, but it installs $kib KiB"
  fi
  binaries="$(find "$tree" -type f -exec file {} + | grep ": *ELF " || true)"
  [ -z "$binaries" ] && continue
  if grep "not stripped" <<<"$binaries"; then
    fail "$name holds binaries that are not stripped"
  fi
  symbols="$(ls "$work"/out/"$name"-dbgsym_*.ddeb)" || fail "$name has no -dbgsym package"
  symbol_files="$(dpkg-deb -c "$symbols")"
  grep -q '/usr/lib/debug/\.build-id/.*\.debug$' <<<"$symbol_files" ||
    fail "$(basename "$symbols") holds no debug symbols"
done

if [ "${ZEL_TEST_DEB_INSTALL:-}" = "system" ]; then
  trap 'apt-get purge -y zel-types-tools libzel-types-dev libzel-types1 >/dev/null 2>&1 || true' EXIT
  apt-get install -y "${packages[@]}"
  root=""
else
  apt-get install --simulate "${packages[@]}" >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; exit 1; }
  grep -q "^Inst libzel-types-dev" "$work/apt.log" || { cat "$work/apt.log"; exit 1; }
  root="$work/root"
  for package in "${packages[@]}"; do
    dpkg -x "$package" "$root"
  done
  export LD_LIBRARY_PATH="$root/$libdir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
fi
for program in "${programs[@]}"; do
  "$root/usr/bin/$program" --version | tee "$work/version.out"
  grep -qxF "$program $version" "$work/version.out" || fail "$program --version"
done
# The installed server answers the installed client, which prints JSON.
"$root/usr/bin/zel-server" --port 0 >"$work/server.out" 2>&1 &
server_pid=$!
url=""
for _ in $(seq 100); do
  url="$(grep -o 'http://127\.0\.0\.1:[0-9]*/zel' "$work/server.out" | head -n 1 || true)"
  [ -n "$url" ] && break
  sleep 0.1
done
answer="$("$root/usr/bin/zel" call --url "$url" --json ServiceInstance retrieveContent 2>&1)" ||
  { kill "$server_pid"; fail "the installed zel could not call the installed zel-server: $answer"; }
kill "$server_pid"
wait "$server_pid" 2>/dev/null || true
grep -q '^{"aboutInfo":{"name":' <<<"$answer" || fail "zel call --json printed no JSON: $answer"
bash "$(dirname "$0")/build_and_run.sh" "$consumer" "$work/consumer" \
  -DCMAKE_PREFIX_PATH="$root/usr" -- greet
