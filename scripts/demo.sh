#!/usr/bin/env bash
# Sets the machine up, builds the project and runs the main job: zel-demo, a
# client conversation with the sample storage-policy service through the
# library's stubs, over HTTP on a loopback port (the service is embedded).
# Arguments go to zel-demo: --wire prints every message, --api-version V
# picks the version, --url talks to a running zel-server.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset default -DZEL_BUILD_TYPE_LIBRARY=ON
cmake --build --preset default --target zel-demo
./build/default/examples/zel-demo/zel-demo "$@"
