#!/usr/bin/env bash
# Sets the machine up, builds the project and runs the main job: the
# inventory of everything the type libraries register with the runtime.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset default
cmake --build --preset default --target zel-inventory
./build/default/tools/zel-inventory
