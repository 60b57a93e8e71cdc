#!/usr/bin/env bash
# A program linked against the static builds of this project's libraries:
# it needs no shared library of this project and neither libpq, SQLite nor
# OpenSSL (loaded on their first use: a PostgreSQL database, a data file, a
# signature or https), its malloc and operator new are the C and
# C++ libraries' own (not those of mimalloc's shared library, which defines
# them too), and its run path names no folder. (Its tests as a server or a
# client check that everything it links registers and works.)
# Usage: static_link.sh PROGRAM
set -euo pipefail
program="$1"
fail() { echo "FAILED: $program: $*"; exit 1; }

needed="$(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')"
for library in libkestrum liblumo liblumo-wire liblumo-json libhox-types libzel-types libzel-http \
               libzel-sample-service libpq libsqlite3 libssl libcrypto; do
  if grep -q "^$library\.so" <<<"$needed"; then fail "needs $library"; fi
done
if readelf -d "$program" | grep -qE "\((RUNPATH|RPATH)\)"; then
  fail "has a run path: $(readelf -d "$program" | grep -E '\((RUNPATH|RPATH)\)')"
fi

bindings="$(LD_DEBUG=bindings "$program" --version 2>&1 >/dev/null)"
for symbol in malloc free _Znwm _ZdlPv; do
  grep -F "symbol \`$symbol'" <<<"$bindings" | grep -q " to [^ ]*libmimalloc" &&
    fail "$symbol is bound to mimalloc's: $(grep -F "symbol \`$symbol'" <<<"$bindings" | head -1)"
done
"$program" --version | grep -q "[0-9]" || fail "--version printed no version"
echo "static link of $(basename "$program") as expected"
