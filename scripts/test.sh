#!/usr/bin/env bash
# Builds and runs the whole test suite. Usage: bash scripts/test.sh [preset]
# (default, asan or tsan; default when omitted). Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

preset="${1:-default}"

bash scripts/setup.sh
cmake --preset "$preset"
cmake --build --preset "$preset"
ctest --preset "$preset"
