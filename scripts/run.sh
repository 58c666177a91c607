#!/usr/bin/env bash
# Installs what is missing, builds and installs the program folder, and runs the server.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh
cmake -S . -B build -G Ninja -DKESTO_BUILD_TESTS=OFF >/dev/null
cmake --build build -j "$(nproc)"
cmake --install build --prefix stage >/dev/null
echo "Built. The server program is not part of the build yet."
